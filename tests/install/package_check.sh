#!/usr/bin/env bash
# package_check.sh BUILD DIR: builds the Debian package of BUILD into DIR and checks it: files
# under /usr, dependencies computed from the binaries, no lintian error (warnings are printed).
set -euo pipefail
build=$1 dir=$2
rm -rf "$dir" && mkdir -p "$dir"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$dir" > "$dir/cpack.log"
deb=$(ls "$dir"/korvel_*.deb)
fail() { echo "FAIL: $*" >&2; exit 1; }
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/korvel ./usr/bin/korvel-tool ./usr/share/applications/org.korvel.Korvel.desktop \
         ./usr/share/korvel/korvel.en.html ./usr/share/korvel/translations/korvel_en.qm \
         ./usr/share/doc/korvel/copyright ./usr/share/doc/korvel/changelog.gz; do
  grep -qx "$f" <<< "$files" || fail "$f not in the package"
done
[ "$(grep -c '/korvel/plugins/korvel-.*\.spi$' <<< "$files")" = 5 ] || fail "plug-ins not in the package"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libjpeg62-turbo libwebp7 qt6-wayland qt6-translations-l10n libqt6svg6; do
  grep -q "\b$lib\b" <<< "$depends" || fail "$lib not among the dependencies: $depends"
done
# The format libraries the plug-ins open on first use are recommended.
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -q '\blibjxl' <<< "$recommends" || fail "libjxl not among the recommendations: $recommends"
grep -q '\blibraw[0-9]' <<< "$recommends" || fail "LibRaw not among the recommendations: $recommends"
report=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1) || { echo "$report"; fail "lintian errors"; }
grep -v 'root privileges' <<< "$report" || true
echo "package OK: $deb"
