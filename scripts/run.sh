#!/usr/bin/env bash
# Builds the program and starts it from its program folder on the sample database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd build/program
[ -f Primer.mdb ] || ./make_sample_db Primer.mdb
exec "./Музыка"
