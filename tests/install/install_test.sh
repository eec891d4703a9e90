#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed program
# from another folder: the full report with no -df, -fp or -me; a resource
# file of the current folder wins; an unwritable prefix is refused clearly.
#   install_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$tmp/pfx" > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "install"; }
for f in bin/raziva bin/raziva-soundings share/raziva/sao.cty share/raziva/raziva.tim \
    share/raziva/name_conv share/raziva/variable.lup share/raziva/zup.clr share/raziva/zup.fnl \
    share/raziva/modern.fnt zup/etc/zup.cfg share/man/man1/raziva.1.gz; do
    [ -e "$tmp/pfx/$f" ] || fail "not installed: $f"
done
grep -q "^\*file_path: *$tmp/pfx/share/raziva\$" "$tmp/pfx/zup/etc/zup.cfg" ||
    fail "resource file does not name the installed files"

mkdir "$tmp/elsewhere" && cd "$tmp/elsewhere" || fail "cd"
cp "$src/data/sample.grb" .
env -u zupdefault -u zupfile -u zupmess "$tmp/pfx/bin/raziva" -ba -id KDDC -ft h24 -pl none sample.grb \
    < /dev/null > out 2> err
rc=$?
[ $rc -eq 0 ] || { cat err; fail "installed run ended with $rc"; }
for want in "Station: KDDC" "LEV PRES" "Storm Parameters"; do
    grep -qi "$want" out || { cat out err; fail "report lacks '$want'"; }
done

# The user's own resource file wins over the installed one.
printf '*city_file: none\n' > zup.cfg
env -u zupdefault "$tmp/pfx/bin/raziva" -ba -id KDDC -ft h24 -pl none sample.grb < /dev/null > out 2> err
rc=$?
[ $rc -eq 31 ] || fail "./zup.cfg did not win (status $rc)"
rm zup.cfg

# A prefix that cannot be made or written.
touch "$tmp/plainfile"
cmake --install "$build" --prefix "$tmp/plainfile/pfx" > "$tmp/log" 2>&1 && fail "install into a file"
grep -q "raziva: cannot install into $tmp/plainfile/pfx" "$tmp/log" || { cat "$tmp/log"; fail "message"; }
if [ "$(id -u)" -ne 0 ]; then
    mkdir "$tmp/ro" && chmod 555 "$tmp/ro"
    cmake --install "$build" --prefix "$tmp/ro/pfx" > "$tmp/log" 2>&1 && fail "install into a read-only folder"
    grep -q "raziva: no permission to write in $tmp/ro" "$tmp/log" || { cat "$tmp/log"; fail "message"; }
    chmod 755 "$tmp/ro"
fi
echo "install test passed"
