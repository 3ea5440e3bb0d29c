#!/usr/bin/env bash
# Benchmarks: the client's start, memory, window switch, sign-in reload and form-request round
# trip, measured beside Debian's chromium in --app mode on the same stand-in pages, in one run.
# Installs what is missing (chromium included), builds into the folder given (default: build),
# runs on an Xvfb display of its own and prints a table of medians and ratios.
#   bash scripts/bench.sh [build-folder] [repetitions]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
reps=${2:-5}
bash "$top/scripts/deps.sh"
if ! command -v chromium >/dev/null 2>&1; then
  echo "Installing: chromium"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends chromium
fi
bash "$top/scripts/build.sh" "$dir"
build="$top/$dir"

work=$(mktemp -d /tmp/kelvora-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

"$build/tools/standin/kelvora_standin" --port-file "$work/port" >"$work/standin.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done

"$build/bench/kelvora_bench" --client "$build/kelvora" --img "$build/img" \
  --port "$(cat "$work/port")" --chromium "$(command -v chromium)" --reps "$reps"
