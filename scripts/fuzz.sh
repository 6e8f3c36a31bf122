#!/usr/bin/env bash
# Runs the fuzz targets of a VEXOL_FUZZ build, each for a while, on its seed corpus.
# Usage: scripts/fuzz.sh BUILD_DIR [DURATION] [TARGET...]
#   DURATION  seconds, or with a unit: 90s, 30m, 1h (default 20 s, as CI runs it)
#   TARGET    dib, hive, avi, ...; all when none is named
# A long run by hand, one hour per target: scripts/fuzz.sh build-san 1h
# Each target's options (-max_len fitting its format, ...) come from fuzz/NAME.options
# and its dictionary from fuzz/NAME.dict. Set VEXOL_FUZZ_CORPUS to a folder to keep the
# inputs found (one subfolder per target) across runs; otherwise they are thrown away.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
duration=${2:-20}
shift $(( $# > 2 ? 2 : $# ))
case "$duration" in
  *h) seconds=$(( ${duration%h} * 3600 )) ;;
  *m) seconds=$(( ${duration%m} * 60 )) ;;
  *s) seconds=${duration%s} ;;
  *) seconds=$duration ;;
esac
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "fuzz.sh: bad duration '$duration'" >&2; exit 2; }
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
# The targets are built into BUILD_DIR/fuzz.
bin="$build/fuzz"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for target in "$bin"/fuzz_*; do
    [ -x "$target" ] && targets+=("$(basename "${target#"$bin"/fuzz_}")")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets in $bin (configure with -DVEXOL_FUZZ=ON)" >&2
  exit 1
fi
status=0
for name in "${targets[@]}"; do
  target="$bin/fuzz_$name"
  [ -x "$target" ] || { echo "fuzz.sh: no target $target" >&2; status=1; continue; }
  if [ -n "${VEXOL_FUZZ_CORPUS:-}" ]; then
    corpus="$VEXOL_FUZZ_CORPUS/$name"
    mkdir -p "$corpus"
  else
    corpus=$(mktemp -d)
  fi
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  options=()
  [ -f "fuzz/$name.options" ] && mapfile -t options < <(grep -v '^#' "fuzz/$name.options" | grep .)
  [ -f "fuzz/$name.dict" ] && options+=("-dict=fuzz/$name.dict")
  echo "fuzzing $name for ${seconds}s ${options[*]}"
  if ! "$target" -max_total_time="$seconds" "${options[@]}" -artifact_prefix="$build/crash-$name-" \
       "$corpus" >"$build/fuzz-$name.log" 2>&1; then
    echo "fuzz target $name failed:"; tail -40 "$build/fuzz-$name.log"; status=1
  else
    grep -E '^(Done|#[0-9]+.*DONE)' "$build/fuzz-$name.log" | tail -1 || true
  fi
  [ -n "${VEXOL_FUZZ_CORPUS:-}" ] || rm -rf "$corpus"
done
echo "fuzzing: $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
