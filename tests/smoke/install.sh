#!/usr/bin/env bash
# cmake --install puts the program, its desktop entry and its icon in place.
set -eu
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
cmake --install "$build" --prefix "$dest/usr" >/dev/null
for f in usr/bin/quillon usr/share/applications/quillon.desktop \
         usr/share/icons/hicolor/scalable/apps/quillon.svg \
         usr/share/icons/hicolor/48x48/apps/quillon.png \
         usr/share/metainfo/io.github.quillon_renamer.quillon.metainfo.xml \
         usr/share/doc/quillon/LICENSE usr/share/doc/quillon/copyright \
         usr/share/doc/quillon/changelog.gz usr/share/man/man1/quillon.1.gz; do
  if [ ! -e "$dest/$f" ]; then echo "FAIL: $f not installed"; exit 1; fi
done
echo "PASS: installed layout complete"
