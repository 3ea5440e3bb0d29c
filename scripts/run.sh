#!/usr/bin/env bash
# Installs what is missing, builds, and starts the client with the local stand-in services. With
# no display, the client runs under Xvfb and a screenshot of its home view is saved.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh"
bash "$top/scripts/build.sh" build
build="$top/build"
demo="$build/demo"
mkdir -p "$demo"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT INT TERM

# The stand-in services play the product service, the cash-back platform and the member site;
# the client reaches them as its HTTP proxy.
rm -f "$demo/port"
"$build/tools/standin/kelvora_standin" --port-file "$demo/port" >"$demo/standin.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$demo/port" ] && break; sleep 0.1; done
export http_proxy="http://127.0.0.1:$(cat "$demo/port")"
export no_proxy=""
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$demo/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$demo/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$demo/display")"
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 40 \
    --transparent false >/dev/null 2>&1 &
  pids+=($!)
  export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
  # Pages the client hands to the default browser are listed here.
  export BROWSER="$top/scripts/record-url.sh"
  export KELVORA_URL_LOG="$demo/opened-urls.txt"
fi

# The client reads its pictures from img/ in the current directory and its data beside itself.
cd "$build"
./kelvora &
client=$!
pids+=($client)
echo "Kelvora is running (stand-in services on $http_proxy)."

if ((headless)); then
  for _ in $(seq 150); do
    xdotool search --onlyvisible --name '^Form12$' >/dev/null 2>&1 && break
    sleep 0.2
  done
  sleep 2
  import -window root "$demo/home-view.png"
  echo "No display: the client runs under Xvfb on $DISPLAY."
  echo "Screenshot of the home view: $demo/home-view.png"
  echo "Press Ctrl-C to stop."
fi
wait "$client"
