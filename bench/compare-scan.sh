#!/bin/sh
# Scans a folder with Sizemere's scanner (every file a record: --min-size 0), `du -sb` and
# `gdu -n -p -c` in one run, warm cache, each three times (the fastest counts), and prints the
# ratios. gdu is installed with apt when missing.
#   bench/compare-scan.sh DIR [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
DIR="${1:?usage: bench/compare-scan.sh DIR [BUILD_DIR]}"
BUILD="${2:-build}"
command -v gdu >/dev/null 2>&1 || ./scripts/deps gdu
[ -x "$BUILD/bench/scan" ] || ./scripts/build "$BUILD" >/dev/null

now() { date +%s.%N; }
fastest() { printf '%s\n' "$@" | sort -g | head -n 1; }
calc() { awk "BEGIN { print $1 }"; }

# Warm the cache.
du -sb "$DIR" >/dev/null

ours_runs=""; process_runs=""; line=""
for i in 1 2 3; do
    t0=$(now)
    line=$("$BUILD/bench/scan" --min-size 0 "$DIR" 2>/dev/null | tail -n 1)
    t1=$(now)
    ours_runs="$ours_runs $(printf '%s\n' "$line" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')"
    process_runs="$process_runs $(calc "$t1 - $t0")"
done
du_runs=""; du_bytes=""
for i in 1 2 3; do
    t0=$(now); du_bytes=$(du -sb "$DIR" | cut -f1); t1=$(now)
    du_runs="$du_runs $(calc "$t1 - $t0")"
done
gdu_runs=""
for i in 1 2 3; do
    t0=$(now); gdu -n -p -c "$DIR" >/dev/null; t1=$(now)
    gdu_runs="$gdu_runs $(calc "$t1 - $t0")"
done
gdu_rss_kb=""
if [ -x /usr/bin/time ]; then
    gdu_rss_kb=$(/usr/bin/time -f '%M' gdu -n -p -c "$DIR" 2>&1 >/dev/null | tail -n 1)
fi

# shellcheck disable=SC2086
ours=$(fastest $ours_runs); process=$(fastest $process_runs); du_s=$(fastest $du_runs); gdu_s=$(fastest $gdu_runs)
items=$(printf '%s\n' "$line" | sed -n 's/.*items=\([0-9]*\).*/\1/p')
per_record=$(printf '%s\n' "$line" | sed -n 's/.*rss_bytes_per_record=\([0-9.]*\).*/\1/p')
echo "sizemere: $line"
printf 'sizemere process (start to exit): %.3fs\n' "$process"
printf 'du -sb: %.3fs (%s bytes, folders counted at their own size)\n' "$du_s" "$du_bytes"
printf 'gdu -n -p -c: %.3fs%s\n' "$gdu_s" "${gdu_rss_kb:+, max RSS ${gdu_rss_kb} KB}"
gdu_per_entry=""
[ -n "$gdu_rss_kb" ] && [ -n "$items" ] && gdu_per_entry=$(calc "int($gdu_rss_kb * 1024 / $items)")
printf 'items=%s seconds=%s process_seconds=%.3f gdu_seconds=%.3f du_seconds=%.3f vs_gdu=%.2f process_vs_gdu=%.2f vs_du=%.2f rss_bytes_per_record=%s gdu_rss_bytes_per_entry=%s\n' \
    "$items" "$ours" "$process" "$gdu_s" "$du_s" \
    "$(calc "$ours / $gdu_s")" "$(calc "$process / $gdu_s")" "$(calc "$ours / $du_s")" \
    "$per_record" "${gdu_per_entry:-?}"
