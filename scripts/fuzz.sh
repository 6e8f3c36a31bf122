#!/usr/bin/env bash
# Runs every fuzz target of a VEXOL_FUZZ build for a few seconds on its seed corpus.
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
seconds=${2:-20}
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
status=0
for target in "$build"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  corpus=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  echo "fuzzing $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -max_len=65536 -artifact_prefix="$build/crash-$name-" \
       "$corpus" >"$build/fuzz-$name.log" 2>&1; then
    echo "fuzz target $name failed:"; tail -40 "$build/fuzz-$name.log"; status=1
  else
    grep -E '^(Done|#[0-9]+.*DONE)' "$build/fuzz-$name.log" | tail -1 || true
  fi
  rm -rf "$corpus"
done
echo "fuzzing: $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
