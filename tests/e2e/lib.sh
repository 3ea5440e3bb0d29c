# Helpers for the end-to-end tests: the built program copied alone into a temporary program
# folder, its own Xvfb display, the stand-in services behind http_proxy and a recording default
# browser. Source it from a test script; call e2e_setup first.
set -euo pipefail

: "${KELVORA_BIN:?}" "${KELVORA_STANDIN:?}" "${KELVORA_IMG_DIR:?}"
E2E_PIDS=()

e2e_cleanup() {
  local p
  for p in "${E2E_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${E2E_DIR:-}" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$E2E_DIR"
  return 0
}

fail() {
  echo "FAIL: $*" >&2
  e2e_screenshot "failure-$(basename "$0" .sh)" || true
  exit 1
}

# Polls a command until it succeeds or the seconds run out.
wait_for() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

# e2e_setup: program folder with the data folder (signed-out dl.txt), img beside it, a display,
# a notification area (unless E2E_NO_TRAY=1), the stand-in services.
e2e_setup() {
  E2E_DIR=$(mktemp -d /tmp/kelvora-e2e-XXXXXX)
  trap e2e_cleanup EXIT
  E2E_PROG="$E2E_DIR/prog folder"
  mkdir -p "$E2E_PROG/paz/l/s/r" "$E2E_PROG/temp"
  cp "$KELVORA_BIN" "$E2E_PROG/kelvora"
  cp -r "$KELVORA_IMG_DIR" "$E2E_PROG/img"
  printf ' 0 \r\n' >"$E2E_PROG/paz/l/s/r/dl.txt"

  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$E2E_DIR/display" >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 test -s "$E2E_DIR/display" || fail "Xvfb did not start"
  export DISPLAY=":$(cat "$E2E_DIR/display")"
  if [ "${E2E_NO_TRAY:-0}" != 1 ]; then
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 40 \
      --transparent false >/dev/null 2>&1 &
    E2E_PIDS+=($!)
  fi

  "$KELVORA_STANDIN" --port-file "$E2E_DIR/port" >"$E2E_DIR/standin.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 test -s "$E2E_DIR/port" || fail "stand-in services did not start"
  E2E_PORT=$(cat "$E2E_DIR/port")
  export http_proxy="http://127.0.0.1:$E2E_PORT" no_proxy=""
  export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
  export BROWSER="$KELVORA_SOURCE_DIR/scripts/record-url.sh"
  export KELVORA_URL_LOG="$E2E_DIR/opened-urls.txt"
  export HOME="$E2E_DIR/home"
  mkdir -p "$HOME"
}

# Starts the client from the program folder (the current directory holds img/). Sets E2E_CLIENT.
# The stand-in's request log starts empty for each client.
e2e_start_client() {
  curl -s --noproxy '*' -X POST "http://127.0.0.1:$E2E_PORT/__control/clear" >/dev/null
  (cd "$E2E_PROG" && exec ./kelvora >"$E2E_DIR/client.log" 2>&1) &
  E2E_CLIENT=$!
  E2E_PIDS+=($E2E_CLIENT)
}

# Waits until the start-up road has run to its end: its last request, the update check, has been
# made, so the windows stand where the layout put them.
startup_done() { standin_requests | grep -q "/app.php/index/up"; }
wait_startup_done() { wait_for "${1:-60}" startup_done; }

# Window id of a visible window whose caption matches the regular expression.
window_id() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
window_visible() { [ -n "$(window_id "$1")" ]; }
# "x y w h" of a window, in pixels.
window_geometry() {
  local id
  id=$(window_id "$1")
  [ -n "$id" ] || return 1
  xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# Stand-in control: script a reply (host path status body [mode] [once]).
standin_reply() {
  local host=$1 path=$2 status=$3 body=$4 mode=${5:-normal} once=${6:-0}
  curl -s --noproxy '*' -X POST --data-binary "$body" \
    "http://127.0.0.1:$E2E_PORT/__control/reply?host=$host&path=$path&status=$status&mode=$mode&once=$once" >/dev/null
}
# The requests received: method host path query body, tab-separated, one per line.
standin_requests() { curl -s --noproxy '*' "http://127.0.0.1:$E2E_PORT/__control/requests"; }

e2e_screenshot() {
  local dir="${KELVORA_ARTIFACTS:-/tmp}"
  mkdir -p "$dir"
  import -window root "$dir/$1.png" 2>/dev/null && echo "screenshot: $dir/$1.png"
}
