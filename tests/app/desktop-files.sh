#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass their validators, and an install into a
# staging folder puts every file where desktops look for it.
set -euo pipefail
source_dir=$1
build_dir=$2
desktop-file-validate "$source_dir/resources/desktop/tonvane.desktop"
appstreamcli validate --no-net --pedantic "$source_dir/resources/desktop/org.tonvane.Tonvane.metainfo.xml"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build_dir" --prefix /usr > /dev/null
for file in bin/tonvane share/man/man1/tonvane.1 share/applications/tonvane.desktop \
            share/metainfo/org.tonvane.Tonvane.metainfo.xml \
            share/icons/hicolor/16x16/apps/tonvane.png share/icons/hicolor/32x32/apps/tonvane.png \
            share/icons/hicolor/48x48/apps/tonvane.png share/icons/hicolor/128x128/apps/tonvane.png \
            share/icons/hicolor/256x256/apps/tonvane.png; do
  [[ -s "$stage/usr/$file" ]] || { echo "missing after install: $file"; exit 1; }
done
echo "desktop files valid and installed"
