#!/usr/bin/env bash
# Runs every built fuzz target for FUZZ_SECONDS (default 20) from its corpus and regression folders.
# A crash leaves its input in tests/fuzz/regressions/<target>/ (add it to git) and fails the run.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-20}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in "$build"/tests/fuzz/fuzz_*; do
  [[ -x "$target" ]] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  mkdir -p "$here/regressions/$name"
  seeds=("$here/regressions/$name")
  [[ -d "$here/corpus/$name" ]] && seeds+=("$here/corpus/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$here/regressions/$name/" "$corpus" "${seeds[@]}" > "$corpus.log" 2>&1; then
    tail -n 40 "$corpus.log"
    echo "fuzz: $name FAILED; the input is in tests/fuzz/regressions/$name/"
    status=1
  else
    grep -E '^(#[0-9]+ *DONE|Done)' "$corpus.log" | tail -n 1 || true
  fi
  rm -rf "$corpus" "$corpus.log"
done
exit $status
