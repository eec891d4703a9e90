#!/usr/bin/env bash
# Builds the Debian package and checks its file list, its dependencies
# (one for every shared library the program links) and its configuration
# file; unpacked into a scratch root, the program answers -h.
#   package_test.sh BUILD_DIR
set -uo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v $tool > /dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done

(cd "$build" && cpack -G DEB -B "$tmp" > "$tmp/log" 2>&1) || { cat "$tmp/log"; fail "cpack"; }
deb=$(ls "$tmp"/raziva_*.deb 2> /dev/null | head -n 1)
[ -n "$deb" ] || fail "no package made"
dpkg-deb -c "$deb" | awk '{ print $6 }' > "$tmp/files"
for f in ./usr/bin/raziva ./usr/bin/raziva-soundings ./usr/share/raziva/sao.cty \
    ./usr/share/raziva/raziva.tim ./usr/share/raziva/name_conv ./usr/share/raziva/grib2_var.lup \
    ./usr/share/raziva/zup.clr ./usr/share/raziva/serif.fnt ./usr/zup/etc/zup.cfg \
    ./usr/share/man/man1/raziva.1.gz ./usr/share/doc/raziva/README.md; do
    grep -qx "$f" "$tmp/files" || { cat "$tmp/files"; fail "package lacks $f"; }
done
grep -q '/tests\?/\|\.o$\|\.a$' "$tmp/files" && fail "package holds build files"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[ -n "$depends" ] || fail "no dependencies declared"
# the package of every library the program links is a dependency
command -v objdump > /dev/null || { echo "SKIP: objdump not installed"; exit 77; }
for so in $(objdump -p "$build/raziva" | awk '$1 == "NEEDED" { print $2 }'); do
    lib=$(ldd "$build/raziva" | awk -v so="$so" '$1 == so && $3 ~ /^\// { print $3 }')
    [ -n "$lib" ] || fail "$so not found"
    pkg=$(dpkg -S "$(readlink -f "$lib")" 2> /dev/null | head -n 1 | cut -d: -f1)
    [ -z "$pkg" ] && pkg=$(dpkg -S "$lib" 2> /dev/null | head -n 1 | cut -d: -f1)
    [ -n "$pkg" ] || continue
    printf '%s\n' "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/[[:space:]]//g' | grep -xF "$pkg" > /dev/null ||
        fail "$lib ($pkg) is not a dependency"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -x /usr/zup/etc/zup.cfg > /dev/null ||
    fail "resource file is not a configuration file"

dpkg-deb -x "$deb" "$tmp/root"
"$tmp/root/usr/bin/raziva" -h > "$tmp/help" 2>&1 || fail "unpacked program does not run"
grep -q "^raziva syntax" "$tmp/help" || fail "unpacked program's help"
echo "package test passed"
