#!/usr/bin/env bash
# The long run of every fuzz target, by hand:
#   tests/fuzz/run-long.sh [RUNS]      (default 1000000 inputs per target)
# Needs the main build's seed program (build/tests/fuzz_seeds, or
# $MURMURANT_BUILD_DIR). The corpus grows in build/fuzz-long/corpus/<target>
# across runs; findings land in build/fuzz-long/findings. Prints per target
# the inputs executed, the wall time, the corpus size and the findings.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
out=$build/fuzz-long
runs=${1:-1000000}
"$here/build-targets.sh" "$out" "$build/tests/fuzz_seeds"
mkdir -p "$out/findings"
status=0
printf '%-13s %10s %9s %14s %s\n' target inputs seconds corpus findings
for t in notification copy_data settings avi_triage; do
  corpus=$out/corpus/$t
  mkdir -p "$corpus"
  start=$(date +%s%N)
  "$out/${t}_fuzz" -runs="$runs" -timeout=5 -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$out/findings/$t-" "$corpus" "$out/seeds/$t" >"$out/$t.log" 2>&1 || status=1
  ms=$((($(date +%s%N) - start) / 1000000))
  done_runs=$(grep -o 'Done [0-9]* runs' "$out/$t.log" | grep -o '[0-9]*' || echo "?")
  files=$(find "$corpus" -type f | wc -l)
  bytes=$(du -sb "$corpus" | cut -f1)
  found=$(find "$out/findings" -name "$t-*" | wc -l)
  printf '%-13s %10s %5d.%03d %5s files %8s B %s\n' "$t" "$done_runs" $((ms / 1000)) \
    $((ms % 1000)) "$files" "$bytes" "$found"
done
[ $status -eq 0 ] || echo "run-long: a target stopped on a finding; see $out/*.log" >&2
exit $status
