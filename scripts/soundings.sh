#!/usr/bin/env bash
# soundings.sh - the sounding reports of many stations from many grid files,
# run in parallel with GNU parallel; one report file per grid file and
# station.  Installed as raziva-soundings.  Run with -h for the usage.
set -uo pipefail

prog=$(basename "$0")

usage() {
    cat <<EOF
Usage: $prog [options] STATIONS OUTDIR FILE...

Writes the sounding report of every station of STATIONS for every grid FILE
into OUTDIR/<file>/<station>.txt, running raziva in parallel with GNU
parallel.  STATIONS holds one station a line: an identifier (KOUN), a name
(Denver), a five-digit WMO number (72357) or "lat,lon" (35.2,-97.4); blank
lines and "#" comments are allowed.

An interrupted run started again with the same arguments resumes: finished
jobs are not redone (the job log is OUTDIR/.soundings/joblog).  Failures are
listed at the end with their exit statuses; the exit status is 0 when every
report was written, 1 when some failed, 2 for a usage error.

Options:
  -j N              jobs at once (default: one per CPU core)
  -t TIMES          forecast times, comma-separated, as raziva -ft takes
                    them (default: init); each report file holds every time
  -o "OPTIONS"      more raziva options, e.g. -o "-fp /data/raziva"
  -S, --sshlogin L  run the jobs on other machines too, as GNU parallel's
                    --sshlogin takes them ("4/host1,8/host2,:" with ":" for
                    this one); raziva and the files must be reachable under
                    the same paths on every machine
  --per-station     one job per file and station (default: one job per file
                    with all stations, when raziva reads station lists)
  --retry-failed    run the failed jobs of the last run again
  --fresh           forget an earlier run and do everything again
  -h, --help        this help

Environment: RAZIVA names the program (default: raziva beside this script,
else the one on the PATH).
EOF
}

die() {
    echo "$prog: $*" >&2
    exit 2
}

# ---------------------------------------------------------------------------
# The jobs.  They run in the shell that GNU parallel starts (also on other
# machines), so they get everything as arguments.

# The name of a report file for a station text.
_snd_safe() {
    printf '%s' "$1" | tr -c 'A-Za-z0-9._,+-' '_'
}

# Splits the reports of a run (each begins with "Date:" and "Station:") into
# one file per station, appending: _snd_split OUTPUT DIR
_snd_split() {
    awk -v dir="$2" '
        function safe(s) { gsub(/[^A-Za-z0-9._,+-]/, "_", s); return s }
        /^Date: / { date = $0; next }
        /^Station: / {
            if (f != "") close(f)
            f = dir "/" safe(substr($0, 10)) ".txt"
            print date >> f
            print >> f
            next
        }
        f != "" { print >> f }
    ' "$1"
}

# One grid file: _snd_job MODE RAZIVA OUTDIR TAG STATIONS TIMES RAZIVA_OPTIONS FILE [STATION]
# MODE "list" reads all stations through "-id @STATIONS"; MODE "one" runs
# the program for STATION alone.  Reports go to OUTDIR/TAG/, failures to
# OUTDIR/.soundings/failed/TAG[.STATION].
_snd_job() {
    local mode=$1 raziva=$2 out=$3 tag=$4 list=$5 times=$6 opts=$7 file=$8
    local station=${9:-}
    local key=$tag
    [ "$mode" = one ] && key="$tag.$(_snd_safe "$station")"
    local work="$out/.soundings/work/$key" failed="$out/.soundings/failed/$key"
    rm -rf "$work"
    mkdir -p "$work/rep" "$out/.soundings/failed" || return 2
    rm -f "$failed"
    local -a names
    if [ "$mode" = one ]; then
        names=("$station")
    else
        mapfile -t names < "$list"
    fi
    if [ ! -r "$file" ]; then
        local s
        for s in "${names[@]}"; do
            printf '%s\t%s\t10\tgrid file not found or not readable\n' "$file" "$s" >> "$failed"
        done
        rm -rf "$work"
        return 10
    fi
    local id="@$list"
    [ "$mode" = one ] && id=$station
    local rc=0 t status
    local -a extra=()
    # the options word is split like a shell would (quotes are kept together)
    [ -n "$opts" ] && eval "extra=($opts)"
    IFS=, read -ra tl <<< "$times"
    for t in "${tl[@]}"; do
        "$raziva" -ba -me warn,+out1,+out2,+out3 -pl none -id "$id" -ft "$t" "${extra[@]}" "$file" \
            < /dev/null > "$work/out" 2> "$work/err"
        status=$?
        [ $status -ne 0 ] && rc=$status
        awk -v f="$file" '{ print f ": " $0 }' "$work/err" >&2
        cat "$work/err" >> "$work/errors"
        _snd_split "$work/out" "$work/rep"
    done
    # every station without a report is a failure
    local s f why n=0
    for s in "${names[@]}"; do
        f="$work/rep/$(_snd_safe "$s").txt"
        if [ -s "$f" ]; then
            mkdir -p "$out/$tag" && mv -f "$f" "$out/$tag/$(_snd_safe "$s").txt"
            continue
        fi
        n=$((n + 1))
        if grep -qF "Station not found: $s" "$work/errors" 2>/dev/null ||
            { [ "$mode" = one ] && [ $rc -eq 31 ]; }; then
            printf '%s\t%s\t31\tstation not in the station database\n' "$file" "$s" >> "$failed"
        else
            why=$(grep -v '^$' "$work/errors" 2>/dev/null | tail -n 1)
            printf '%s\t%s\t%s\tno report%s\n' "$file" "$s" "$rc" "${why:+: $why}" >> "$failed"
        fi
    done
    rm -rf "$work"
    if [ $rc -ne 0 ]; then return $rc; fi
    [ $n -eq 0 ]
}

# ---------------------------------------------------------------------------
# The run.

jobs="" times=init opts="" ssh="" mode="" retry=0 fresh=0
while [ $# -gt 0 ]; do
    case $1 in
    -j) [ $# -ge 2 ] || die "-j needs a number"; jobs=$2; shift 2 ;;
    -j*) jobs=${1#-j}; shift ;;
    -t) [ $# -ge 2 ] || die "-t needs the forecast times"; times=$2; shift 2 ;;
    -o) [ $# -ge 2 ] || die "-o needs raziva options"; opts=$2; shift 2 ;;
    -S | --sshlogin) [ $# -ge 2 ] || die "$1 needs the logins"; ssh=$2; shift 2 ;;
    --sshlogin=*) ssh=${1#*=}; shift ;;
    --per-station) mode=one; shift ;;
    --retry-failed) retry=1; shift ;;
    --fresh) fresh=1; shift ;;
    -h | --help) usage; exit 0 ;;
    --) shift; break ;;
    -*) die "unknown option $1 (see $prog -h)" ;;
    *) break ;;
    esac
done
[ $# -ge 3 ] || { usage >&2; exit 2; }
[ -z "$jobs" ] || [[ $jobs =~ ^[0-9]+%?$ ]] || die "-j takes a number of jobs, not '$jobs'"
[[ $times =~ ^[^,]+(,[^,]+)*$ ]] || die "-t takes forecast times separated by commas, not '$times'"
command -v parallel > /dev/null || die "GNU parallel is not installed (Debian package parallel)"

stations_in=$1 out=$2
shift 2
[ -r "$stations_in" ] && [ -f "$stations_in" ] || die "$stations_in: station list not found or not readable"
mkdir -p "$out/.soundings" 2> /dev/null && [ -w "$out" ] || die "$out: cannot write the output folder"
out=$(cd "$out" && pwd)

raziva=${RAZIVA:-}
if [ -z "$raziva" ]; then
    here=$(cd "$(dirname "$0")" && pwd)
    if [ -x "$here/raziva" ]; then raziva=$here/raziva; else raziva=$(command -v raziva || true); fi
fi
[ -n "$raziva" ] || die "raziva not found: put it on the PATH or name it in RAZIVA"
[[ $raziva == /* ]] || raziva=$(cd "$(dirname "$raziva")" && pwd)/$(basename "$raziva")
[ -x "$raziva" ] || die "$raziva: not an executable program"

# The station list as the program reads it: comments and blanks removed,
# each station once.
list="$out/.soundings/stations"
sed -e 's/#.*//' -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' "$stations_in" |
    awk 'NF && !seen[$0]++' > "$list.new"
dups=$(sed -e 's/#.*//' -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' "$stations_in" |
    awk 'NF && seen[$0]++ == 1' | tr '\n' ' ')
[ -z "$dups" ] || echo "$prog: listed more than once, reported once: $dups" >&2
[ -s "$list.new" ] || die "$stations_in: no station in the list"
mv -f "$list.new" "$list"
nstations=$(wc -l < "$list")

# One job per file with every station, once the program reads station lists
# ("-id @FILE"); else one job per file and station.
if [ -z "$mode" ]; then
    mode=one
    for f in "$@"; do
        [ -f "$f" ] && [ -r "$f" ] || continue
        probe=$("$raziva" -ba -me warn -pl none -id "@$out/.soundings/no-such-list" -ft init "$f" \
            < /dev/null 2>&1)
        [[ $probe == *"Unable to open station file"* ]] && mode=list
        break
    done
fi

# Report folders are named after the files; files of the same name in
# different folders get their path in the name.
declare -A count=()
for f in "$@"; do
    b=$(basename "$f")
    count[$b]=$((${count[$b]:-0} + 1))
done
files=() tags=()
for f in "$@"; do
    b=$(basename "$f")
    if [ "${count[$b]}" -gt 1 ]; then
        t=${f#./}
        t=${t#/}
        b=${t//\//_}
    fi
    [ -r "$f" ] && [ -f "$f" ] || echo "$prog: $f: grid file not found or not readable" >&2
    [[ $f == /* ]] || f=$PWD/$f
    files+=("$f")
    tags+=("$b")
done

# A changed list of jobs starts a new job log (parallel resumes by job number).
sig=$( { echo "$mode|$times|$opts|$raziva"; cat "$list"; printf '%s\n' "${files[@]}"; } | md5sum | cut -d' ' -f1)
meta="$out/.soundings"
joblog="$meta/joblog"
resume=()
if [ $fresh -eq 1 ] || [ ! -f "$meta/signature" ] || [ "$(cat "$meta/signature")" != "$sig" ]; then
    [ -f "$joblog" ] && mv -f "$joblog" "$joblog.old"
    rm -rf "$meta/failed" "$meta/work"
    echo "$sig" > "$meta/signature"
elif [ -f "$joblog" ]; then
    if [ $retry -eq 1 ]; then resume=(--resume-failed); else resume=(--resume); fi
    echo "$prog: resuming the run in $out (--fresh starts again)" >&2
fi

export PARALLEL_SHELL=${BASH:-bash}
par=(parallel -q --will-cite --joblog "$joblog" "${resume[@]}" --halt never)
[ -n "$jobs" ] && par+=(-j "$jobs")
export -f _snd_job _snd_split _snd_safe
export prog
[ -n "$ssh" ] && par+=(--sshlogin "$ssh" --env _snd_job --env _snd_split --env _snd_safe --env prog)

if [ "$mode" = list ]; then
    "${par[@]}" --link _snd_job list "$raziva" "$out" {1} "$list" "$times" "$opts" {2} \
        ::: "${tags[@]}" ::: "${files[@]}"
else
    "${par[@]}" --colsep '\t' _snd_job one "$raziva" "$out" {1} "$list" "$times" "$opts" {2} {3} \
        :::: <(paste <(printf '%s\n' "${tags[@]}") <(printf '%s\n' "${files[@]}")) :::: "$list"
fi
prc=$?

# Failures: what the jobs recorded, and jobs that ended without a record
# (killed, or stopped by a signal).
total=$((${#files[@]} * nstations))
report=$(cat "$meta"/failed/* 2> /dev/null)
mapfile -t names < "$list"
lost=$(awk -F'\t' 'NR > 1 && ($7 != 0 || $8 != 0) { print $1 "\t" $7 "\t" $8 }' "$joblog" 2> /dev/null |
    while IFS=$'\t' read -r seq ev sg; do
        # job numbers follow the input order
        if [ "$mode" = list ]; then
            i=$((seq - 1)) st="*" key=${tags[$((seq - 1))]}
        else
            i=$(((seq - 1) / nstations)) st=${names[$(((seq - 1) % nstations))]}
            key="${tags[$i]}.$(_snd_safe "$st")"
        fi
        [ -f "$meta/failed/$key" ] ||
            printf '%s\t%s\t%s\tjob ended%s\n' "${files[$i]}" "$st" "$ev" \
                "$([ "$sg" != 0 ] && echo " by signal $sg")"
    done)
[ -n "$lost" ] && report=$(printf '%s\n%s' "$report" "$lost")
report=$(printf '%s\n' "$report" | sed '/^$/d')
nfail=$(printf '%s' "$report" | grep -c . || true)
if [ "$nfail" -gt 0 ]; then
    echo "$prog: $nfail of $total reports failed (file, station, exit status, reason):" >&2
    printf '%s\n' "$report" | awk -F'\t' '{ printf "  %s  %s  status %s  %s\n", $1, $2, $3, $4 }' >&2
    echo "$prog: reports in $out; run again to resume, --retry-failed to redo the failures" >&2
    exit 1
fi
if [ $prc -ne 0 ]; then
    echo "$prog: GNU parallel ended with status $prc; run again to resume" >&2
    exit 1
fi
echo "$prog: $total reports written to $out" >&2
exit 0
