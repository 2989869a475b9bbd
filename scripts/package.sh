#!/usr/bin/env bash
# Builds the Debian package build/muzyka_<version>_amd64.deb (CPack) from a release build without sanitizers in
# build/ (or $BUILD_DIR); extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_TYPE=Release bash scripts/build.sh -DESUN_SANITIZE=OFF "$@"
build_dir=${BUILD_DIR:-build}
version=$(sed -n 's/^project(Muzyka VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# The package's changelog and the AppStream releases must carry the version that the package gets.
if ! head -1 packaging/debian/changelog | grep -qF "muzyka ($version)"; then
  echo "package.sh: packaging/debian/changelog has no entry for version $version at its top" >&2
  exit 1
fi
if ! grep -qF "<release version=\"$version\"" packaging/muzyka.metainfo.xml; then
  echo "package.sh: packaging/muzyka.metainfo.xml has no release $version" >&2
  exit 1
fi
rm -f "$build_dir"/muzyka_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
ls "$build_dir"/muzyka_"$version"_amd64.deb
