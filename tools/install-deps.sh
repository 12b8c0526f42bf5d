#!/usr/bin/env bash
# Installs the Debian packages a goal needs:
#   install-deps.sh build   building and running the program (make run, build, install, package)
#   install-deps.sh test    that, and what the tests need (make test, test-asan, test-tsan, fuzz)
#   install-deps.sh all     that, and what the benchmarks need (make bench); the default
# Idempotent: when everything is present it changes nothing and runs no apt-get at all. Package
# installs start no system service (nginx-light would otherwise serve port 80): the tests start
# their own servers on loopback ports.
set -euo pipefail

goal=${1:-all}

build_packages=(
  # toolchain
  build-essential cmake pkg-config ccache
  # libraries linked into the program
  libmp3lame-dev libvorbis-dev libogg-dev libflac-dev libopusenc-dev libopus-dev libsodium-dev libcurl4-openssl-dev nlohmann-json3-dev
  libjpeg62-turbo-dev libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev libx11-dev libxext-dev libxrender-dev
  libebur128-dev
  # fonts the program draws with: Latin, Arial metrics, Japanese, Chinese
  fonts-dejavu-core fonts-liberation2 fonts-ipafont-gothic fonts-wqy-microhei
  # the window program's check for a display (make run)
  x11-utils
)
test_packages=(
  clang libclang-rt-14-dev libgtest-dev libgmock-dev
  flac lame vorbis-tools opus-tools sox libcdio-utils cuetools
  python3 python3-mutagen python3-libdiscid libdiscid-dev
  nginx-light xvfb xdotool openbox xcompmgr desktop-file-utils appstream dpkg-dev
)
bench_packages=(
  libcairo2-dev libbenchmark-dev
)

case "$goal" in
  build) packages=("${build_packages[@]}") ;;
  test) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
  all) packages=("${build_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  *) echo "usage: install-deps.sh [build|test|all]" >&2; exit 2 ;;
esac

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
# Debian asks /usr/sbin/policy-rc.d whether a package may start its service; 101 says no.
policy=/usr/sbin/policy-rc.d
if [[ ! -e "$policy" ]]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" > /dev/null
  "${sudo_cmd[@]}" chmod 755 "$policy"
  trap '"${sudo_cmd[@]}" rm -f "$policy"' EXIT
fi
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
