#!/usr/bin/env bash
# scripts/soundings.sh with two jobs at once: a station list with blank
# lines, comments, a repeated and an unknown station, a missing grid file;
# then a run interrupted after its first jobs and resumed without redoing
# them.
#   soundings_test.sh SOURCE_DIR PROGRAM
set -uo pipefail
src=$1 prog=$2
command -v parallel > /dev/null || { echo "SKIP: GNU parallel not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
script=$src/scripts/soundings.sh
cd "$tmp" || fail cd

cat > stations.txt <<'LIST'
# stations around the sample's point
KDDC

40,-100    # a point
KDDC
NOSUCH
LIST
cp "$src/data/sample.grb" a.grb
RAZIVA=$prog bash "$script" -j 2 -t h24 -o "-fp $src/data" stations.txt out a.grb missing.grb \
    > log 2>&1
rc=$?
[ $rc -eq 1 ] || { cat log; fail "status $rc with failures"; }
grep -q "Station: KDDC" out/a.grb/KDDC.txt || { cat log; fail "no KDDC report"; }
grep -q "Storm Parameters" out/a.grb/KDDC.txt || fail "KDDC report incomplete"
grep -q "Station: 40,-100" out/a.grb/40,-100.txt || fail "no report at 40,-100"
[ "$(grep -c '^Station:' out/a.grb/KDDC.txt)" -eq 1 ] || fail "repeated station reported twice"
grep -q "a.grb  NOSUCH  status 31" log || { cat log; fail "unknown station not listed"; }
grep -q "missing.grb  KDDC  status 10" log || { cat log; fail "missing file not listed"; }
grep -q "missing.grb: grid file not found" log || fail "missing file not reported"
grep -q "4 of 6 reports failed" log || { cat log; fail "failure count"; }
# one job per file and station gives the same reports
RAZIVA=$prog bash "$script" --per-station -j 2 -t h24 -o "-fp $src/data" stations.txt out2 a.grb \
    > log 2>&1
[ $? -eq 1 ] || { cat log; fail "per-station status"; }
cmp out/a.grb/KDDC.txt out2/a.grb/KDDC.txt || fail "per-station report differs"
grep -q "a.grb  NOSUCH  status 31" log || { cat log; fail "per-station: unknown station"; }

# Interrupted and resumed: a program that notes the file of each run and is
# slow.
cat > slow.sh <<SLOW
#!/usr/bin/env bash
for a in "\$@"; do last=\$a; done
echo "\$last" >> "$tmp/runs"
sleep 1
exec "$prog" "\$@"
SLOW
chmod +x slow.sh
for i in 1 2 3 4 5 6; do cp "$src/data/sample.grb" f$i.grb; done
printf 'KDDC\n' > one.txt
RAZIVA=$tmp/slow.sh setsid bash "$script" -j 2 -t h24 -o "-fp $src/data" one.txt res f?.grb \
    > log1 2>&1 &
pid=$!
for _ in $(seq 1 100); do
    [ -f res/.soundings/joblog ] && [ "$(wc -l < res/.soundings/joblog)" -ge 3 ] && break
    sleep 0.2
done
kill -INT -- -$pid 2> /dev/null
wait $pid
done_before=$(awk 'NR > 1 && $7 == 0 && $8 == 0' res/.soundings/joblog | wc -l)
[ "$done_before" -ge 2 ] && [ "$done_before" -lt 6 ] || { cat log1; fail "interrupt came at $done_before jobs"; }
runs_before=$(grep -c "^/" runs)   # program runs of the jobs
RAZIVA=$tmp/slow.sh bash "$script" -j 2 -t h24 -o "-fp $src/data" one.txt res f?.grb > log2 2>&1 ||
    { cat log1 log2; fail "resumed run failed"; }
grep -q "resuming" log2 || fail "no resume"
for i in 1 2 3 4 5 6; do
    grep -q "Station: KDDC" res/f$i.grb/KDDC.txt || fail "f$i.grb report missing after resume"
done
runs_after=$(($(grep -c "^/" runs) - runs_before))
[ "$runs_after" -le $((6 - done_before)) ] || fail "finished jobs redone ($runs_after runs)"
grep -q "6 reports written" log2 || { cat log2; fail "summary"; }
echo "soundings test passed"
