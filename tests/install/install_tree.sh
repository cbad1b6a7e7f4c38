#!/usr/bin/env bash
# install_tree.sh BUILD DIR: installs BUILD into DIR/staged/usr, moves the prefix to DIR/moved/usr
# (the installed program must not depend on where it was installed) and checks the tree.
set -euo pipefail
build=$1 dir=$2
rm -rf "$dir" && mkdir -p "$dir"
cmake --install "$build" --prefix "$dir/staged/usr" > /dev/null
mv "$dir/staged" "$dir/moved"
cd "$dir/moved/usr"
id=org.korvel.Korvel
fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/korvel bin/korvel-tool share/korvel/korvel.html share/korvel/korvel.en.html \
         share/korvel/translations/korvel_en.qm share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg \
         share/man/man1/korvel.1.gz share/man/man1/korvel-tool.1.gz share/doc/korvel/copyright; do
  [ -s "$f" ] || fail "missing $f"
done
plugins=none
for p in lib/korvel/plugins lib/*/korvel/plugins; do [ -d "$p" ] && plugins=$p; done
for p in korvel-webp korvel-tiff korvel-heif korvel-jxl korvel-raw; do
  [ -f "$plugins/$p.spi" ] && [ ! -x "$plugins/$p.spi" ] || fail "$p.spi missing or executable"
done
# Each PNG icon has the size its folder names (width and height from the PNG header).
for size in 16 22 24 32 48 64 128 256 512; do
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "share/icons/hicolor/${size}x$size/apps/$id.png")
  [ "$w $h" = "$size $size" ] || fail "icon ${size}x$size is ${w}x$h"
done
desktop-file-validate share/applications/$id.desktop
appstreamcli validate --no-net share/metainfo/$id.metainfo.xml
grep -qx 'Exec=korvel %F' share/applications/$id.desktop || fail "Exec line"
grep -q '^Name\[ja\]=' share/applications/$id.desktop && grep -q '^Comment\[ja\]=' share/applications/$id.desktop \
  || fail "Japanese name or comment"
grep -q '^Categories=Graphics;Viewer;' share/applications/$id.desktop || fail "categories"
for page in korvel korvel-tool; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done
# --help and --version answer without a display and exit 0.
for exe in korvel korvel-tool; do
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "bin/$exe" --version | grep -qx "$exe [0-9.]*" || fail "$exe --version"
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "bin/$exe" --help | grep -q "^[Uu]sage: $exe" || fail "$exe --help"
done
echo "installed tree OK"
