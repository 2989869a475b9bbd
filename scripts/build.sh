#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR); extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
build_type=${BUILD_TYPE:-Release}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
