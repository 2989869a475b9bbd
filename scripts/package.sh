#!/usr/bin/env bash
# Builds the Debian package build/muzyka_<version>_amd64.deb (CPack) from a release build in build/ (or
# $BUILD_DIR); extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh "$@"
build_dir=${BUILD_DIR:-build}
version=$(sed -n 's/^project(Muzyka VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# The package's changelog must carry the version that the package gets.
if ! head -1 packaging/debian/changelog | grep -qF "muzyka ($version)"; then
  echo "package.sh: packaging/debian/changelog has no entry for version $version at its top" >&2
  exit 1
fi
rm -f "$build_dir"/muzyka_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
ls "$build_dir"/muzyka_"$version"_amd64.deb
