#!/usr/bin/env bash
# The manual page renders without warnings and lists every option of -h.
#   man_test.sh BUILD_DIR
set -uo pipefail
build=$1
page=$build/raziva.1
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$page" ] || fail "$page not made"
command -v groff > /dev/null || { echo "SKIP: groff not installed"; exit 77; }
warn=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warn" ] || fail "groff: $warn"
if command -v man > /dev/null; then
    warn=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null)
    [ -z "$warn" ] || fail "man: $warn"
fi
text=$(MANWIDTH=200 man -l "$page" 2> /dev/null || groff -man -Tutf8 "$page")
for opt in $("$build/raziva" -h | awk '/^ -/ { print $1 }'); do
    grep -q -- "^ *$opt\b" <<< "$text" || fail "option $opt missing from the page"
done
for sec in NAME SYNOPSIS OPTIONS PROMPTS "BATCH USE" "EXIT STATUS" ENVIRONMENT FILES; do
    grep -q "^$sec" <<< "$text" || fail "section $sec missing"
done
echo "manual page test passed"
