#!/usr/bin/env bash
# Builds the Debian package from the build tree and inspects it: file name, contents, control
# fields, lintian, and the desktop entry's and metainfo's validators.
#   check_package.sh <build dir>
set -uo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
deb="$out/sequor_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$out"; echo "FAIL: no $deb"; exit 1; }

contents="$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')"
for f in /usr/bin/sequor \
         /usr/share/applications/org.sequor.Sequor.desktop \
         /usr/share/icons/hicolor/scalable/apps/sequor.svg \
         /usr/share/metainfo/org.sequor.Sequor.metainfo.xml \
         /usr/share/man/man1/sequor.1.gz \
         /usr/share/doc/sequor/README.md.gz \
         /usr/share/doc/sequor/copyright \
         /usr/share/doc/sequor/changelog.gz; do
    grep -qx "$f" <<<"$contents" || fail "missing $f"
done
# Nothing of the build or test tree rides along.
extra="$(grep -v -e '/$' -e '^/usr/bin/sequor$' -e '^/usr/share/' <<<"$contents")"
[ -z "$extra" ] || fail "unexpected files: $extra"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = sequor ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = science ] || fail "Section: $(field Section)"
depends="$(field Depends)"
for d in libc6 libqt6core6 libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins; do
    grep -Eq "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done
grep -qi gpib <<<"$depends" && fail "linux-gpib must stay optional: $depends"

dpkg-deb -x "$deb" "$out/root"
desktop-file-validate "$out/root/usr/share/applications/org.sequor.Sequor.desktop" ||
    fail "desktop-file-validate"
grep -qx 'Categories=Science;Electronics;' "$out/root/usr/share/applications/org.sequor.Sequor.desktop" ||
    fail "desktop entry categories"
appstreamcli validate --no-net "$out/root/usr/share/metainfo/org.sequor.Sequor.metainfo.xml" ||
    fail "appstreamcli validate"
man_text="$(MANWIDTH=100 man -l "$out/root/usr/share/man/man1/sequor.1.gz" 2>&1)"
for s in "--bus" "--run" "SEQUOR_BUS" "LogFileName" "ConditionStatusWord" "timeout_scale" \
         "EXIT STATUS"; do
    grep -qF -- "$s" <<<"$man_text" || fail "man page lacks $s"
done
"$out/root/usr/bin/sequor" --version | grep -q "^Sequor, v" || fail "packaged sequor --version"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>&1
status=$?
cat "$out/lintian.txt"
[ $status -eq 0 ] || fail "lintian reports errors"
# Every warning lintian may still give is explained in the README.
readme="$(dirname "$0")/../../README.md"
for tag in $(sed -n 's/^W: [^:]*: \([^ ]*\).*/\1/p' "$out/lintian.txt" | sort -u); do
    grep -qF "$tag" "$readme" || fail "lintian warning $tag is not explained in the README"
done

echo "package: $(stat -c %s "$deb") bytes; Depends: $depends"
[ $failures -eq 0 ] && echo "package checks passed" || { echo "$failures check(s) failed"; exit 1; }
