#!/usr/bin/env bash
# Compares the platform move (orvalink-bench-move) with `mv` and with `cp -a` + `rm -rf` on one
# cross-device pair, for 2 files of 1 GiB and for 100,000 files of 4 KiB in 10,000 folders.
# Needs root (it mounts the file systems it measures on). See bench/README.md.
#
#   sudo bench/move-compare.sh BUILD_DIR [RUNS=5] [SOURCE=tmpfs|disk] [CASES="small big"]
#
# The destination is always a tmpfs of its own. SOURCE=tmpfs puts the source on another tmpfs;
# SOURCE=disk keeps it in WORK (default /var/tmp/orvalink-bench-move), on whatever file system
# that lies. Every run builds a fresh source tree (flushed before the clock starts) and runs the
# three tools in a rotating order, so a disturbance elsewhere on the machine hits all of them.
# Each line is "case tool run seconds"; the summary gives each tool's median.
set -euo pipefail

build=${1:?usage: move-compare.sh BUILD_DIR [RUNS] [SOURCE] [CASES]}
runs=${2:-5}
source_kind=${3:-tmpfs}
cases=${4:-small big}
work=${WORK:-/var/tmp/orvalink-bench-move}
move="$build/bench/orvalink-bench-move"
make_tree="$build/bench/orvalink-bench-move-tree"

mkdir -p "$work/src" "$work/dst"
cleanup() {
    umount "$work/dst" 2>/dev/null || true
    [ "$source_kind" = tmpfs ] && umount "$work/src" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mount -t tmpfs -o size=3g tmpfs "$work/dst"
if [ "$source_kind" = tmpfs ]; then
    mount -t tmpfs -o size=3g tmpfs "$work/src"
fi
echo "cores: $(nproc); source: $(findmnt -no FSTYPE,SOURCE -T "$work/src"); destination: tmpfs"

run_tool() {
    case $1 in
    orvalink) "$move" "$2" "$3" >/dev/null ;;
    orvalink-one-look) ORVALINK_BENCH_NO_SECOND_LOOK=1 "$move" "$2" "$3" >/dev/null ;;
    mv) mv "$2" "$3" ;;
    cp-rm) cp -a "$2" "$3" && rm -rf "$2" ;;
    esac
}

# TOOLS="orvalink orvalink-one-look mv cp-rm" adds the platform move without its second look over
# the source, to show what that look costs.
read -r -a tools <<<"${TOOLS:-orvalink mv cp-rm}"
results=$(mktemp)
for case_name in $cases; do
    case $case_name in
    small) shape=(100000 10000 4096) ;;
    big) shape=(2 1 1073741824) ;;
    *) echo "unknown case $case_name" >&2; exit 2 ;;
    esac
    for ((run = 1; run <= runs; run++)); do
        for ((i = 0; i < ${#tools[@]}; i++)); do
            tool=${tools[(i + run) % ${#tools[@]}]}
            "$make_tree" "$work/src/tree" "${shape[@]}"
            start=$(date +%s%N)
            run_tool "$tool" "$work/src/tree" "$work/dst/tree"
            end=$(date +%s%N)
            if [ -e "$work/src/tree" ] || [ ! -d "$work/dst/tree" ]; then
                echo "$tool did not move the tree" >&2
                exit 1
            fi
            rm -rf "$work/dst/tree"
            seconds=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')
            echo "$case_name $tool $run $seconds" | tee -a "$results"
        done
    done
done

echo "median seconds:"
for case_name in $cases; do
    for tool in "${tools[@]}"; do
        awk -v c="$case_name" -v t="$tool" '$1 == c && $2 == t { print $4 }' "$results" | sort -n |
            awk -v c="$case_name" -v t="$tool" '{ v[NR] = $1 } END {
                m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                printf "%s %s %.2f\n", c, t, m }'
    done
done
rm -f "$results"
