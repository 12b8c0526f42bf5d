#!/usr/bin/env bash
# `make package`: the Debian package holds what `make install` installs and names the shared
# libraries the program needs.
set -euo pipefail
build_dir=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB -B "$out" --config "$build_dir/CPackConfig.cmake" > /dev/null
deb=$(ls "$out"/tonvane_*.deb)
contents=$(dpkg-deb --contents "$deb")
for file in ./usr/bin/tonvane ./usr/share/man/man1/tonvane.1 ./usr/share/applications/tonvane.desktop \
            ./usr/share/metainfo/org.tonvane.Tonvane.metainfo.xml \
            ./usr/share/icons/hicolor/48x48/apps/tonvane.png ./usr/share/icons/hicolor/256x256/apps/tonvane.png; do
  grep -q " $file\$" <<<"$contents" || { echo "missing from the package: $file"; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
for library in libflac12 libmp3lame0 libvorbisenc2 libogg0 libopusenc0 libopus0 libfreetype6 libfontconfig1 libpng16-16 libx11-6 libxext6 libcurl4 libebur128-1; do
  grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; exit 1; }
done
echo "package $(basename "$deb") holds its files and names its libraries"
