#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit, integration (under Xvfb) and end to
# end. Extra arguments go to ctest (for example -L unit).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh"
bash "$top/scripts/build.sh" build
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
cd "$top/build"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure --timeout 300 "$@"
