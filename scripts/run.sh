#!/usr/bin/env bash
# Installs what is missing, builds, and starts the client with the local stand-in services. One
# line per stage; each stage's output goes to a log under build/demo, named when the stage fails.
# With no display, the client runs under Xvfb with a notification area and a screenshot of its
# home view is saved. Ctrl-C stops the client first, then the services and the display.
# The browser engine's informational logging is off unless KELVORA_VERBOSE=1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"
demo="$build/demo"
mkdir -p "$demo"

# stage <what> <log> <command...>: runs the command with its output in the log.
stage() {
  local what=$1 log=$2
  shift 2
  printf '%s ... ' "$what"
  if "$@" >"$log" 2>&1; then
    echo ok
  else
    echo "failed; see $log"
    exit 1
  fi
}

# Polls a command for up to the seconds given.
poll() {
  local end=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

# Everything started here is stopped in the reverse order: the client before the services and
# the display it draws on.
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  pids=()
}
trap cleanup EXIT
trap 'echo; exit 130' INT TERM

stage "Installing missing packages" "$demo/deps.log" bash "$top/scripts/deps.sh"
stage "Building" "$demo/build.log" bash "$top/scripts/build.sh" build

# The stand-in services play the product service, the cash-back platform and the member site;
# the client reaches them as its HTTP proxy.
rm -f "$demo/port"
printf 'Starting the stand-in services ... '
"$build/tools/standin/kelvora_standin" --port-file "$demo/port" >"$demo/standin.log" 2>&1 &
pids+=($!)
poll 10 test -s "$demo/port" || { echo "failed; see $demo/standin.log"; exit 1; }
port=$(cat "$demo/port")
echo "ok (127.0.0.1:$port)"
export http_proxy="http://127.0.0.1:$port"
export no_proxy=""
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
if [ "${KELVORA_VERBOSE:-0}" != 1 ]; then
  export QT_LOGGING_RULES="qt.webenginecontext.info=false;default.info=false${QT_LOGGING_RULES:+;$QT_LOGGING_RULES}"
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --log-level=3"
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$demo/runtime"
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
fi

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  printf 'Starting a virtual display with a notification area ... '
  rm -f "$demo/display"
  # A session of its own: Ctrl-C reaches the display only through the cleanup, after the client.
  # It never resets: a reset when a client leaves drops the connections made meanwhile.
  setsid Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$demo/display" \
    >"$demo/xvfb.log" 2>&1 &
  pids+=($!)
  poll 10 test -s "$demo/display" || { echo "failed; see $demo/xvfb.log"; exit 1; }
  export DISPLAY=":$(cat "$demo/display")"
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 40 \
    --transparent false >"$demo/trayer.log" 2>&1 &
  pids+=($!)
  poll 10 sh -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"' ||
    { echo "failed; see $demo/trayer.log"; exit 1; }
  # A session bus of its own, stopped with the display, rather than one the client would start.
  eval "$(dbus-launch --sh-syntax)"
  pids+=("$DBUS_SESSION_BUS_PID")
  echo "ok ($DISPLAY)"
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --disable-gpu"
  # Pages the client hands to the default browser are listed here.
  export BROWSER="$top/scripts/record-url.sh"
  export KELVORA_URL_LOG="$demo/opened-urls.txt"
fi

# The client reads its pictures from img/ in the current directory and its data beside itself.
curl -s --noproxy '*' -X POST "http://127.0.0.1:$port/__control/clear" >/dev/null
cd "$build"
./kelvora >"$demo/client.log" 2>&1 &
client=$!
pids+=($client)
echo "Kelvora is running (its output: $demo/client.log)."

if ((headless)); then
  # The home view is laid out once the start-up has made its last request, the update check, and
  # the bar and the three start panels are on screen.
  home_view() {
    curl -s --noproxy '*' "http://127.0.0.1:$port/__control/requests" | grep -q /app.php/index/up &&
      [ "$(xdotool search --onlyvisible --name '^(Form12|Kelvora搜.*)$' | wc -l)" -ge 4 ]
  }
  printf 'Waiting for the home view ... '
  poll 60 home_view || { echo "failed; see $demo/client.log"; exit 1; }
  import -window root "$demo/home-view.png"
  echo "ok"
  echo "No display: the client runs under Xvfb on $DISPLAY."
  echo "Screenshot of the home view: $demo/home-view.png"
fi
echo "Press Ctrl-C to stop."
wait "$client" || true
