#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: when everything is present it changes nothing and runs no apt-get at all.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake pkg-config clang libclang-rt-14-dev ccache
  # libraries linked into the program
  libmp3lame-dev libvorbis-dev libogg-dev libflac-dev libsodium-dev
  libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev libx11-dev libxext-dev
  fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  flac lame vorbis-tools sox libcdio-utils cuetools
  python3 python3-mutagen python3-libdiscid
  nginx-light libcairo2-dev xvfb x11-utils xdotool
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
else
  sudo_cmd=()
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
