#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing. Runs apt-get as root, otherwise through sudo.
# With --fuzz: what the fuzz targets need instead (clang, its libFuzzer and
# sanitizer runtimes, llvm-symbolizer for readable stacks).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev libgl-dev
  qt6-translations-l10n
  libminizip-dev zlib1g-dev
  libqt6sql6-sqlite libsqlite3-dev libgumbo-dev libuchardet-dev libstemmer-dev
  xvfb xauth unzip zip python3 fonts-dejavu-core
  util-linux
  desktop-file-utils appstream
  dpkg-dev file lintian perl man-db
)
if [ "${1:-}" = --fuzz ]; then
  packages=(clang-14 libclang-rt-14-dev llvm-14)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
