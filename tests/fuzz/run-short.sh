#!/usr/bin/env bash
# The short round of every fuzz target that the test suite runs: a fresh
# build (see build-targets.sh), then RUNS inputs per target from its seeds.
#   run-short.sh OUT SEEDS_PROGRAM [RUNS]
# Fails on the first finding, with libFuzzer's report and the input kept in
# OUT/findings.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
runs=${3:-20000}
"$here/build-targets.sh" "$out" "$2"
mkdir -p "$out/findings"
for t in notification copy_data settings avi_triage; do
  work=$(mktemp -d)
  start=$(date +%s%N)
  # A time bound as well, so a slow machine shortens the round instead of
  # the suite's deadline cutting it.
  if ! "$out/${t}_fuzz" -runs="$runs" -max_total_time=10 -seed=1 -timeout=5 -rss_limit_mb=1024 \
      -artifact_prefix="$out/findings/$t-" "$work" "$out/seeds/$t" >"$out/$t.log" 2>&1; then
    cat "$out/$t.log" >&2
    rm -rf "$work"
    echo "fuzz: $t found a fault; input in $out/findings" >&2
    exit 1
  fi
  rm -rf "$work"
  ms=$((($(date +%s%N) - start) / 1000000))
  printf 'fuzz: %-12s %s (%d.%03d s)\n' "$t" "$(grep -o 'Done [0-9]* runs' "$out/$t.log")" \
    $((ms / 1000)) $((ms % 1000))
done
