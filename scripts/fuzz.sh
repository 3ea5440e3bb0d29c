#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz and runs each for a bounded time
# on a copy of its seed corpus (the repository is not changed). Fails when a target reports a
# crash, a broken check, a leak or an input slower than 5 s; the input is kept under
# build-fuzz/artifacts/<target>/. Inputs may be as long as 1 MB, and each run starts from a
# seed of that length as well, so that time growing faster than the input shows as a timeout.
# Usage: scripts/fuzz.sh [seconds per target, default 20] [target ...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(first_item site_text income shortcut)

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (Debian packages clang and libclang-rt-14-dev)" >&2
  exit 1
fi
build="$top/build-fuzz"
cmake -G Ninja -S "$top/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$build" >/dev/null

# Working corpora and the files the targets write go to memory when it can (the data-file writer
# flushes every file to disk).
base=${TMPDIR:-/tmp}
[[ -d /dev/shm && -w /dev/shm ]] && base=/dev/shm
work=$(mktemp -d "$base/kelvora-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=()
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/tmp" "$build/artifacts/$t"
  cp "$top/tests/fuzz/corpus/$t/"* "$work/$t/corpus/"
  # A long line of markers and blanks: 1 MB, the longest input the targets get.
  { printf '12'; head -c 1048000 /dev/zero | tr '\0' 'a'; printf ' bbb \r\n'; } \
    | head -c 1048576 >"$work/$t/corpus/long_line"
  options=(-max_total_time="$seconds" -timeout=5 -max_len=1048576 -rss_limit_mb=2048
           -artifact_prefix="$build/artifacts/$t/" -print_final_stats=1)
  # The shortcut writer remembers the names it wrote within the current second; that memory is
  # held on purpose and would send every input through the leak scan.
  [[ $t == shortcut ]] && options+=(-detect_leaks=0)
  if TMPDIR="$work/$t/tmp" "$build/fuzz_$t" "${options[@]}" "$work/$t/corpus" >"$work/$t/log" 2>&1
  then
    echo "fuzz_$t: $(grep -m1 '^#.*DONE' "$work/$t/log" | sed 's/^#\([0-9]*\).*cov: \([0-9]*\).*/\1 runs, coverage \2/')"
  else
    echo "fuzz_$t: FAILED" >&2
    tail -n 60 "$work/$t/log" >&2
    failed+=("$t")
  fi
done

if ((${#failed[@]})); then
  echo "fuzz.sh: findings in ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
