#!/usr/bin/env bash
# Runs each command ROUNDS times, interleaved (one run of each command in turn), and prints the
# median wall time of each and how many times faster it is than the first command. Interleaving
# spreads the drift of a busy or virtual machine evenly over all commands; two warm-up runs of each
# fill the caches first.
#
#   bench/compare.sh ROUNDS 'command one' 'command two' ...
set -euo pipefail

if [ "$#" -lt 2 ]; then
  echo "usage: bench/compare.sh ROUNDS 'command' ['command' ...]" >&2
  exit 2
fi
rounds=$1
shift
commands=("$@")
times=$(mktemp -d)
trap 'rm -rf "$times"' EXIT

for index in "${!commands[@]}"; do
  for _ in 1 2; do bash -c "${commands[$index]}" >/dev/null 2>&1; done
done
for ((round = 0; round < rounds; round++)); do
  for index in "${!commands[@]}"; do
    start=$(date +%s%N)
    bash -c "${commands[$index]}" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000)) >>"$times/$index"
  done
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
first=$(median "$times/0")
printf '%10s  %8s  %s\n' "median ms" "speed-up" "command"
for index in "${!commands[@]}"; do
  value=$(median "$times/$index")
  awk -v v="$value" -v f="$first" -v c="${commands[$index]}" 'BEGIN { printf "%10.1f  %7.2fx  %s\n", v / 1000, f / v, c }'
done
