#!/bin/sh
# Scans a folder with Sizemere's scanner (bench/scan, every file a record: --min-size 0) and
# with its peers in one run, interleaved: every round runs each tool once, the order turning
# by one place a round, so a busy or quiet moment of the machine falls on all of them alike.
# Prints each tool's median time (start to exit of its process) with the fastest and slowest
# round, and Sizemere's ratio to each peer (medians, with the range of the rounds' ratios);
# also by bench/scan's own clock (scan to finished tree, without the program's start).
#   bench/compare-scan.sh [--rounds N] [--peers "ncdu gdu du"] [--threads N] [--cold] [--nice N]
#                         [--make flat[:FILES]|chain[:LEVELS]|tree[:ENTRIES]] DIR [BUILD_DIR]
# --make makes DIR first when it does not exist: one folder of FILES files (default 200,000),
# a chain of LEVELS nested folders (40,000), or the reference tree (1,000,000 entries).
# --cold empties the page cache before every run (root only); by default the cache is warm.
# --threads is handed to bench/scan. --nice runs every tool at that niceness: the scanner's
# threads run at 10 at least, so --nice 10 puts the peers on an equal footing on a busy
# machine (at 0 they take CPU time from the scanner there). Peers: ncdu (-0 -o /dev/null, its
# export; with an unlimited stack, which it needs for deep chains), gdu (-n -p -c), du (-sb);
# missing ones are installed with apt. The last line holds key=value figures.
set -eu
cd "$(dirname "$0")/.."
usage() {
    sed -n '7,8p' "$0" | sed 's/^# *//' >&2
    exit 2
}
ROUNDS=5
PEERS="ncdu gdu du"
THREADS=""
COLD=0
NICE=""
MAKE=""
while [ $# -gt 0 ]; do
    case "$1" in
    --rounds) ROUNDS="${2:?}"; shift 2 ;;
    --peers) PEERS="${2?}"; shift 2 ;;
    --threads) THREADS="${2:?}"; shift 2 ;;
    --cold) COLD=1; shift ;;
    --nice) NICE="${2:?}"; shift 2 ;;
    --make) MAKE="${2:?}"; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
    esac
done
DIR="${1:-}"
[ -n "$DIR" ] || usage
BUILD="${2:-build}"

if [ -n "$MAKE" ] && [ ! -e "$DIR" ]; then
    kind="${MAKE%%:*}"
    count=""
    case "$MAKE" in *:*) count="${MAKE#*:}" ;; esac
    case "$kind" in
    flat | chain) python3 bench/make-scan-case.py "$kind" "$DIR" $count ;;
    tree)
        maker="${SIZEMERE_MAKE_TREE:-}"
        for m in ../shared/bench/make-tree.py ../../shared/bench/make-tree.py; do
            [ -z "$maker" ] && [ -f "$m" ] && maker="$m"
        done
        [ -n "$maker" ] || { echo "no make-tree.py: set SIZEMERE_MAKE_TREE" >&2; exit 1; }
        python3 "$maker" "$DIR" "${count:-1000000}"
        ;;
    *) usage ;;
    esac
fi
[ -d "$DIR" ] || { echo "no folder $DIR" >&2; exit 1; }

for p in $PEERS; do
    command -v "$p" >/dev/null 2>&1 || ./scripts/deps "$p"
done
[ -x "$BUILD/bench/scan" ] || ./scripts/build "$BUILD" >/dev/null

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
# median, lowest and highest of the numbers given
stats() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'; }
drop() { [ "$COLD" = 1 ] && { sync; echo 3 >/proc/sys/vm/drop_caches; } || true; }

scan_args="--min-size 0"
[ -n "$THREADS" ] && scan_args="$scan_args --threads $THREADS"
at_nice=""
[ -n "$NICE" ] && at_nice="nice -n $NICE"
run_tool() {
    case "$1" in
    ours) $at_nice "$BUILD/bench/scan" $scan_args "$DIR" 2>/dev/null | tail -n 1 >"$tmp/line" ;;
    ncdu) $at_nice sh -c 'ulimit -s unlimited 2>/dev/null; exec ncdu -0 -o /dev/null "$1"' sh "$DIR" >/dev/null 2>&1 ;;
    gdu) $at_nice gdu -n -p -c "$DIR" >/dev/null 2>&1 ;;
    du) $at_nice du -sb "$DIR" >"$tmp/du" 2>/dev/null ;;
    esac
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
[ "$COLD" = 1 ] || du -sb "$DIR" >/dev/null # warm the cache
tools="ours $PEERS"
ntools=$(printf '%s\n' $tools | wc -l)
r=0
while [ "$r" -lt "$ROUNDS" ]; do
    order=$(printf '%s\n' $tools | awk -v r="$r" -v n="$ntools" '{ t[NR - 1] = $1 } END { for (i = 0; i < n; i++) print t[(i + r) % n] }')
    for t in $order; do
        drop
        t0=$(now)
        run_tool "$t" || echo "$t failed in round $((r + 1))" >&2
        t1=$(now)
        calc "$t1 - $t0" >>"$tmp/$t.times"
        [ "$t" = ours ] && sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$tmp/line" >>"$tmp/ours.scan"
    done
    r=$((r + 1))
done

line=$(cat "$tmp/line")
items=$(printf '%s\n' "$line" | sed -n 's/.*items=\([0-9]*\).*/\1/p')
per_record=$(printf '%s\n' "$line" | sed -n 's/.*rss_bytes_per_record=\([0-9.]*\).*/\1/p')
echo "sizemere: $line"
set -- $(stats $(cat "$tmp/ours.times")); ours_med=$1
printf 'sizemere (bench/scan, start to exit): median %.3fs (%.3f..%.3f)\n' "$1" "$2" "$3"
set -- $(stats $(cat "$tmp/ours.scan")); scan_med=$1
printf 'sizemere (its own clock, scan to finished tree): median %.3fs (%.3f..%.3f)\n' "$1" "$2" "$3"
summary="items=$items rounds=$ROUNDS cold=$COLD nice=${NICE:-0} seconds=$ours_med scan_seconds=$scan_med rss_bytes_per_record=$per_record"
for p in $PEERS; do
    set -- $(stats $(cat "$tmp/$p.times"))
    med=$1 low=$2 high=$3
    # the rounds' own ratios
    set -- $(paste "$tmp/ours.times" "$tmp/$p.times" | awk '{ print $1 / $2 }' | sort -g | awk 'NR == 1 { l = $1 } { h = $1 } END { print l, h }')
    ratio=$(calc "$ours_med / $med")
    scan_ratio=$(calc "$scan_med / $med")
    printf '%s: median %.3fs (%.3f..%.3f); sizemere/%s %.2f (rounds %.2f..%.2f), by its own clock %.2f\n' \
        "$p" "$med" "$low" "$high" "$p" "$ratio" "$1" "$2" "$scan_ratio"
    summary="$summary ${p}_seconds=$med vs_$p=$(printf '%.2f' "$ratio") scan_vs_$p=$(printf '%.2f' "$scan_ratio")"
done
if [ -x /usr/bin/time ] && printf '%s\n' $PEERS | grep -qx gdu && [ -n "$items" ] && [ "$items" -gt 0 ]; then
    drop
    gdu_kb=$(/usr/bin/time -f '%M' gdu -n -p -c "$DIR" 2>&1 >/dev/null | tail -n 1)
    summary="$summary gdu_rss_bytes_per_entry=$(calc "int($gdu_kb * 1024 / $items)")"
fi
echo "$summary"
