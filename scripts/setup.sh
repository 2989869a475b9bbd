#!/usr/bin/env bash
# Installs what the build, the program and the tests need. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-multimedia-dev
  qt6-webengine-dev qt6-webengine-dev-tools qt6-translations-l10n libgl-dev libxkbcommon-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  libjpeg62-turbo-dev sqlite3 libsqlite3-dev qt6-svg-dev qt6-charts-dev mdbtools-dev libxlsxwriter-dev
  fonts-liberation xvfb xauth poppler-utils python3 python3-openpyxl libxtst-dev
  dpkg-dev file lintian appstream desktop-file-utils xdotool x11-utils
  postgresql-15 libqt6sql6-psql libpq-dev
  abcm2ps abcmidi libfluidsynth-dev timgm6mb-soundfont
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # The lab server's tests start a private server of their own; installing PostgreSQL makes and starts no
  # system server here (its "main" cluster is not made: pg_createcluster makes one when a school wants it).
  if [[ " ${missing[*]} " == *" postgresql-15 "* ]] && [ ! -e /etc/postgresql-common/createcluster.conf ]; then
    $sudo mkdir -p /etc/postgresql-common/createcluster.d
    echo "create_main_cluster = false" | $sudo tee /etc/postgresql-common/createcluster.d/muzyka-tests.conf >/dev/null
  fi
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
