# Helpers for the end-to-end tests: the built program copied alone into a temporary program
# folder, its own Xvfb display with the chosen desktop, the stand-in services behind http_proxy
# and a recording default browser. Source it from a test script; call e2e_setup first.
#
# E2E_DESKTOP chooses the desktop (ctest runs every script on each):
#   bare       no window manager, trayer as the notification area (XEmbed)
#   xfwm4-on   xfwm4 with its compositor, xfce4-panel at the top (taskbar, pager, status tray:
#              StatusNotifierItem, with XEmbed beside it)
#   xfwm4-off  the same without the compositor
#   openbox    openbox, tint2 at the bottom (taskbar, XEmbed notification area, clock)
#   sway       a Wayland session: sway headless with XWayland and floating windows, no panel, no
#              notification area. The client is started as on a Wayland session (XDG_SESSION_TYPE,
#              WAYLAND_DISPLAY, no QT_QPA_PLATFORM) and picks X11 itself. sway centres the windows
#              wherever they asked to be, so only their captions are compared there; the bar,
#              which the client then takes out of the window manager's hands, stands at its place.
# Xfce's panel stands at the top as Xfce puts it; its strut leaves the bottom of the work area,
# which is all the layout reads, at the screen's bottom. tint2 stands at the bottom as tint2 puts
# it and takes 30 pixels off the work area, so every window is laid out 30 pixels higher there:
# the expected places come from the work area the client sees (work_area_bottom).
set -euo pipefail

: "${KELVORA_BIN:?}" "${KELVORA_STANDIN:?}" "${KELVORA_IMG_DIR:?}"
E2E_DESKTOP=${E2E_DESKTOP:-bare}
E2E_PIDS=()

# Stops what the test started, the newest first: the clients before the desktop, the desktop
# before the display.
e2e_cleanup() {
  local i
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do kill "${E2E_PIDS[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${E2E_SWAY_DIR:-}" ] && rm -rf "$E2E_SWAY_DIR"
  [ -n "${E2E_DIR:-}" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$E2E_DIR"
  return 0
}

# E2E_STEP, when set, names the step a failure happened in.
fail() {
  echo "FAIL${E2E_STEP:+ ($E2E_STEP)} on $E2E_DESKTOP: $*" >&2
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

# e2e_setup: program folder with the data folder (signed-out dl.txt), img beside it, a display
# with the desktop E2E_DESKTOP (on bare X without a notification area when E2E_NO_TRAY=1), the
# stand-in services.
e2e_setup() {
  E2E_DIR=$(mktemp -d /tmp/kelvora-e2e-XXXXXX)
  trap e2e_cleanup EXIT
  E2E_PROG="$E2E_DIR/prog folder"
  mkdir -p "$E2E_PROG/paz/l/s/r" "$E2E_PROG/temp"
  cp "$KELVORA_BIN" "$E2E_PROG/kelvora"
  cp -r "$KELVORA_IMG_DIR" "$E2E_PROG/img"
  printf ' 0 \r\n' >"$E2E_PROG/paz/l/s/r/dl.txt"
  # A home of its own, where the desktops find their settings; nothing of the session the test
  # was started from.
  # The same for its runtime and temporary folders (the client's instance lock, the engine's
  # files), and none of the desktop's own platform, scaling or theme choices.
  export HOME="$E2E_DIR/home" XDG_CONFIG_HOME="$E2E_DIR/home/.config"
  export XDG_RUNTIME_DIR="$E2E_DIR/runtime" TMPDIR="$E2E_DIR/tmp"
  unset SESSION_MANAGER XDG_DATA_HOME XDG_CACHE_HOME WAYLAND_DISPLAY XDG_SESSION_TYPE \
    XDG_CURRENT_DESKTOP QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR \
    QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI GDK_SCALE
  mkdir -p "$HOME" "$TMPDIR"
  mkdir -m 700 "$XDG_RUNTIME_DIR"

  if [ "$E2E_DESKTOP" = sway ]; then
    e2e_sway  # its XWayland is the display
  else
    # -noreset: a display that resets when its last client leaves drops the connections made
    # meanwhile (dbus-launch looks in and leaves just before the window manager connects).
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$E2E_DIR/display" \
      >/dev/null 2>&1 &
    E2E_PIDS+=($!)
    wait_for 10 test -s "$E2E_DIR/display" || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$E2E_DIR/display")"
  fi
  e2e_desktop

  "$KELVORA_STANDIN" --port-file "$E2E_DIR/port" >"$E2E_DIR/standin.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 test -s "$E2E_DIR/port" || fail "stand-in services did not start"
  E2E_PORT=$(cat "$E2E_DIR/port")
  export http_proxy="http://127.0.0.1:$E2E_PORT" no_proxy=""
  export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
  export BROWSER="$KELVORA_SOURCE_DIR/scripts/record-url.sh"
  export KELVORA_URL_LOG="$E2E_DIR/opened-urls.txt"
}

# ---- desktops ---------------------------------------------------------------------------------

# A session bus of the test's own, so that the client never reaches a notification area outside
# the test; the panels and the client find each other on it.
e2e_session_bus() {
  local line
  while IFS= read -r line; do
    case "$line" in
      DBUS_SESSION_BUS_ADDRESS=*) export DBUS_SESSION_BUS_ADDRESS="${line#*=}" ;;
      DBUS_SESSION_BUS_PID=*) E2E_PIDS+=("${line#*=}") ;;
    esac
  done < <(dbus-launch 2>/dev/null)
  [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no session bus"
  export NO_AT_BRIDGE=1
}

# The window manager named on the root window once it manages the screen.
wm_name() {
  local check
  check=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/{print $NF}')
  [ -n "$check" ] || return 1
  xprop -id "$check" -notype _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p'
}
wm_is() { [ "$(wm_name)" = "$1" ]; }

# The bottom of the work area in pixels: the screen's height when no window manager publishes one.
work_area_bottom() {
  xprop -root -notype _NET_WORKAREA 2>/dev/null |
    awk -F'[=,]' 'NF > 4{print $3 + $5; found = 1} END{if (!found) print 1080}'
}

# The panel of that window class is mapped, reserves a strip at the top or the bottom, and the
# window manager has taken that strip off the work area.
strut_applied() {
  local id strut area
  id=$(xdotool search --onlyvisible --class "$1" 2>/dev/null | head -n1)
  [ -n "$id" ] || return 1
  strut=$(xprop -id "$id" -notype _NET_WM_STRUT_PARTIAL | awk -F'[=,]' 'NF > 4{print $4 + 0, $5 + 0}')
  area=$(xprop -root -notype _NET_WORKAREA | awk -F'[=,]' 'NF > 4{print $3 + 0, 1080 - $3 - $5}')
  [ -n "$strut" ] && [ "$strut" != "0 0" ] && [ "$strut" = "$area" ]
}

# tint2's window owning the XEmbed notification area's selection marks itself with its
# orientation.
xembed_tray_ready() {
  local id
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/{print $1}'); do
    xprop -id "$id" _NET_SYSTEM_TRAY_ORIENTATION 2>/dev/null | grep -q '= ' && return 0
  done
  return 1
}
# A StatusNotifierItem host registered with the watcher on the session bus.
sni_tray_ready() {
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:IsStatusNotifierHostRegistered 2>/dev/null | grep -q 'boolean true'
}

# Xfce's panel: taskbar, pager and status tray at the top of the screen, as Xfce lays it out.
xfce_panel_config() {
  local dir="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
  mkdir -p "$dir"
  cat >"$dir/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="icon-size" type="uint" value="16"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
        <value type="int" value="3"/>
        <value type="int" value="4"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="tasklist"/>
    <property name="plugin-2" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-3" type="string" value="pager"/>
    <property name="plugin-4" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
    </property>
  </property>
</channel>
XML
}

# Starts E2E_DESKTOP on $DISPLAY and waits until its window manager manages the screen, its
# panel has taken its part of the work area and its notification area is there.
e2e_desktop() {
  e2e_session_bus
  case "$E2E_DESKTOP" in
    bare)
      [ "${E2E_NO_TRAY:-0}" = 1 ] && return 0
      trayer --edge bottom --align right --widthtype pixel --width 120 --height 40 \
        --transparent false >/dev/null 2>&1 &
      E2E_PIDS+=($!)
      wait_for 10 sh -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"' ||
        fail "trayer did not start"
      ;;
    xfwm4-on | xfwm4-off)
      xfce_panel_config
      xfwm4 --compositor="${E2E_DESKTOP#xfwm4-}" >"$E2E_DIR/wm.log" 2>&1 &
      E2E_PIDS+=($!)
      wait_for 60 wm_is Xfwm4 || fail "xfwm4 did not start: $(tail -n 5 "$E2E_DIR/wm.log")"
      xfce4-panel >"$E2E_DIR/panel.log" 2>&1 &
      E2E_PIDS+=($!)
      wait_for 60 strut_applied xfce4-panel ||
        fail "xfce4-panel did not take its place: $(tail -n 5 "$E2E_DIR/panel.log")"
      wait_for 60 sni_tray_ready ||
        fail "xfce4-panel's status tray did not start: $(tail -n 5 "$E2E_DIR/panel.log")"
      ;;
    openbox)
      openbox >"$E2E_DIR/wm.log" 2>&1 &
      E2E_PIDS+=($!)
      wait_for 60 wm_is Openbox || fail "openbox did not start: $(tail -n 5 "$E2E_DIR/wm.log")"
      tint2 -c /etc/xdg/tint2/tint2rc >"$E2E_DIR/panel.log" 2>&1 &
      E2E_PIDS+=($!)
      wait_for 60 strut_applied tint2 ||
        fail "tint2 did not take its place: $(tail -n 5 "$E2E_DIR/panel.log")"
      wait_for 60 xembed_tray_ready ||
        fail "tint2's notification area did not start: $(tail -n 5 "$E2E_DIR/panel.log")"
      ;;
    sway) wait_for 60 wm_is "wlroots wm" || fail "sway's XWayland has no window manager" ;;
    *) fail "unknown desktop $E2E_DESKTOP" ;;
  esac
}
has_wm() { [ "$E2E_DESKTOP" != bare ]; }
# The window manager's close request to a window (its close button).
wm_close() {
  if [ "$E2E_DESKTOP" = sway ]; then
    swaymsg "[id=$1] kill" >/dev/null
  else
    wmctrl -i -c "$1"
  fi
}
# Whether the window manager keeps the windows at the places the client gives them.
places_held() { [ "$E2E_DESKTOP" != sway ]; }

# sway headless with XWayland, as the unprivileged user nobody (sway refuses to run as root), in a
# runtime folder of that user's, without a session bus; every window of XWayland floats when it is
# first mapped (sway tiles it when it is mapped again). sway sets DISPLAY for what it
# starts: the first command lets root reach XWayland and then names the display.
e2e_sway() {
  E2E_SWAY_DIR=$(mktemp -d /tmp/kelvora-sway-XXXXXX)
  chmod 700 "$E2E_SWAY_DIR"
  cat >"$E2E_SWAY_DIR/config" <<'CONF'
xwayland enable
output HEADLESS-1 mode 1920x1080 position 0 0
default_border none
default_floating_border none
floating_minimum_size 1 x 1
focus_on_window_activation focus
for_window [shell="xwayland"] floating enable
exec sh -c 'xhost +si:localuser:root && echo "$DISPLAY" >"$XDG_RUNTIME_DIR/display.tmp" && mv "$XDG_RUNTIME_DIR/display.tmp" "$XDG_RUNTIME_DIR/display"'
CONF
  chown -R 65534:65534 "$E2E_SWAY_DIR"
  setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH="$PATH" \
    XDG_RUNTIME_DIR="$E2E_SWAY_DIR" HOME="$E2E_SWAY_DIR" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$E2E_SWAY_DIR/config" \
    >"$E2E_DIR/wm.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 60 test -s "$E2E_SWAY_DIR/display" ||
    fail "sway or its XWayland did not start: $(tail -n 5 "$E2E_DIR/wm.log")"
  export DISPLAY
  DISPLAY=$(cat "$E2E_SWAY_DIR/display")
  E2E_WAYLAND="$E2E_SWAY_DIR/$(cd "$E2E_SWAY_DIR" && ls wayland-? | head -n1)"
  SWAYSOCK=$(ls "$E2E_SWAY_DIR"/sway-ipc.*.sock | head -n1)
  export SWAYSOCK
}

# Starts the client from the program folder (the current directory holds img/). Sets E2E_CLIENT.
# The stand-in's request log starts empty for each client.
e2e_start_client() {
  curl -s --noproxy '*' -X POST "http://127.0.0.1:$E2E_PORT/__control/clear" >/dev/null
  if [ "$E2E_DESKTOP" = sway ]; then
    # As on a Wayland session, Qt's Wayland platform installed: the client picks X11 itself.
    (cd "$E2E_PROG" && exec env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland \
      WAYLAND_DISPLAY="$E2E_WAYLAND" ./kelvora >"$E2E_DIR/client.log" 2>&1) &
  else
    (cd "$E2E_PROG" && exec ./kelvora >"$E2E_DIR/client.log" 2>&1) &
  fi
  E2E_CLIENT=$!
  E2E_PIDS+=($E2E_CLIENT)
}

# Waits until the start-up road has run to its end: its last request, the update check, has been
# made, so the windows stand where the layout put them.
startup_done() { standin_requests | grep -q "/app.php/index/up"; }
wait_startup_done() { wait_for "${1:-60}" startup_done; }

# Waits for the client to end and checks that it ended with 0; $1 names what ended it.
client_ended() { ! kill -0 "$E2E_CLIENT" 2>/dev/null; }
expect_client_end() {
  wait_for 20 client_ended || fail "$1 did not end the program"
  local code=0
  wait "$E2E_CLIENT" || code=$?
  [ "$code" = 0 ] || fail "the program ended with code $code after $1"
}

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

# Saves the screen as <name>-<desktop>.png among the artefacts.
e2e_screenshot() {
  local dir="${KELVORA_ARTIFACTS:-/tmp}"
  mkdir -p "$dir"
  if [ "$E2E_DESKTOP" = sway ]; then
    XDG_RUNTIME_DIR="$E2E_SWAY_DIR" WAYLAND_DISPLAY="$E2E_WAYLAND" grim "$dir/$1-$E2E_DESKTOP.png" &&
      echo "screenshot: $dir/$1-$E2E_DESKTOP.png"
    return
  fi
  import -window root "$dir/$1-$E2E_DESKTOP.png" 2>/dev/null &&
    echo "screenshot: $dir/$1-$E2E_DESKTOP.png"
}

# ---- the client's windows -----------------------------------------------------------------------

# Every mapped window of the client, "caption x y w h" a line (the client window's own place,
# inside any frame the window manager put around it), sorted. A tooltip is named "(tooltip)"; the
# XEmbed notification-area icon, a window without caption inside the tray's window, is left out.
client_windows() {
  local id name
  for id in $(xdotool search --onlyvisible --pid "$E2E_CLIENT" 2>/dev/null); do
    name=$(xdotool getwindowname "$id" 2>/dev/null)
    if [ "$name" = kelvora ]; then
      if xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP; then
        name="(tooltip)"
      else
        xwininfo -id "$id" -children | awk '/Root window id:/{r = $4} /Parent window id:/{p = $4}
          END{exit r == p}' && continue
      fi
    fi
    xwininfo -id "$id" 2>/dev/null | awk -v name="$name" '
      /Map State:/{m = $3} /Absolute upper-left X/{x = $4} /Absolute upper-left Y/{y = $4}
      /Width:/{w = $2} /Height:/{h = $2} END{if (m == "IsViewable") print name, x, y, w, h}'
  done | sort
}

# Where the layout puts a window on the 1920x1080 screen, as client_windows prints it: twips to
# pixels at 15 twips a pixel, every window raised by the strip a panel takes off the bottom of the
# work area.
place() {
  local up=$((1080 - $(work_area_bottom)))
  local top=$((358 - up))
  case $1 in
    bar) echo "Form12 705 $((280 - up)) 510 39" ;;
    taobao-panel) echo "Kelvora搜淘宝 460 $top 316 365" ;;
    tmall-panel) echo "Kelvora搜天猫 802 $top 316 365" ;;
    own-panel) echo "Kelvora搜Kelvo 1147 $top 317 365" ;;
    taobao-page) echo "Kelvora搜淘宝 458 $top 1002 365" ;;
    tmall-page) echo "Kelvora搜天猫 458 $top 1002 365" ;;
    own-page) echo "Kelvora搜Kelvo 458 $top 1002 365" ;;
    signin) echo "Kelvora-登录 771 $top 378 192" ;;
    account) echo "Kelvora-账户信息 771 $top 379 191" ;;
    questions) echo "Kelvora-问题 616 $top 688 365" ;;
    sharing) echo "Kelvora-分享 616 $top 688 364" ;;
    *) fail "no place for $1" ;;
  esac
}
HOME_VIEW=(bar taobao-panel tmall-panel own-panel)

# The client's mapped windows are exactly these (names as for place), each at its place; where
# the window manager does not hold places, by caption alone, apart from the bar.
windows_are() {
  local n
  if places_held; then
    [ "$(client_windows)" = "$(for n in "$@"; do place "$n"; done | sort)" ]
  else
    [ "$(client_windows | awk '{print $1}' | sort)" = "$(for n in "$@"; do place "$n"; done | awk '{print $1}' | sort)" ] &&
      { [[ " $* " != *" bar "* ]] || client_windows | grep -qx "$(place bar)"; }
  fi
}

# A round trip through the window manager: a window mapped now is managed only after everything
# the window manager was sent before it. The probe window is gone again, frame and all, when
# this returns, so that nothing of it changes while the caller looks at the windows. Nothing to
# wait for without a window manager.
managed() { xprop -root _NET_CLIENT_LIST | grep -qiw "$(printf '0x%x' "$1")"; }
unmanaged() { ! managed "$1"; }
probe_id() { xdotool search --name "^$1\$" 2>/dev/null | head -n1; }
wm_round_trip() {
  has_wm || return 0
  local title="kelvora-e2e-probe-$RANDOM" probe id=
  xmessage -title "$title" -geometry +0+0 probe >/dev/null 2>&1 &
  probe=$!
  wait_for 20 sh -c "[ -n \"\$(xdotool search --name '^$title\$')\" ]" ||
    fail "the probe window did not appear"
  id=$(probe_id "$title")
  wait_for 20 managed "$id" || fail "the window manager did not take a new window"
  kill "$probe"
  wait "$probe" 2>/dev/null || true
  wait_for 20 unmanaged "$id" || fail "the window manager kept a closed window"
}

# Waits until the client shows exactly these windows (names as for place) at their places, and
# checks that this still holds once the window manager has handled everything sent before.
expect_windows() {
  wait_for 20 windows_are "$@" && wm_round_trip && windows_are "$@" && return 0
  fail "expected only: $*; the client shows:
$(client_windows)"
}


# Id of the client's mapped window of that name (as for place).
client_window_id() {
  local want id
  read -r -a want < <(place "$1")
  for id in $(xdotool search --onlyvisible --pid "$E2E_CLIENT" 2>/dev/null); do
    [ "$(xdotool getwindowname "$id")" = "${want[0]}" ] || continue
    places_held || { echo "$id" && return 0; }
    [ "$(xwininfo -id "$id" | awk '/Width:/{print $2}')" = "${want[3]}" ] && echo "$id" && return 0
  done
  return 1
}

# The client's window of that name (as for place) has the keyboard: the window manager's active
# window, or without one the X input focus. (Checked before expect_windows: its probe window
# takes the focus.)
window_active() {
  local id active
  id=$(client_window_id "$1") || return 1
  if has_wm; then
    active=$(xprop -root -notype _NET_ACTIVE_WINDOW | awk '{sub(",", "", $5); print $5}')
    [ "$((active))" = "$id" ]
  else
    [ "$(xdotool getwindowfocus)" = "$id" ]
  fi
}

# Captions of the client's windows that a taskbar lists: managed by the window manager, neither
# marked to skip the taskbar nor transient for another window.
taskbar_entries() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*'); do
    [ "$(xprop -id "$id" -notype _NET_WM_PID | awk '{print $3}')" = "$E2E_CLIENT" ] || continue
    xprop -id "$id" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR && continue
    xprop -id "$id" WM_TRANSIENT_FOR | grep -q 'window id' && continue
    xdotool getwindowname "$id"
  done | sort
}

# Under a window manager: the bar is the client's only taskbar entry; every other window it
# manages skips the pager too (a message box by being transient), and every one carries the
# program's icon, the bar's.
expect_taskbar() {
  has_wm || return 0
  # sway has no X11 taskbar; its X11 window manager keeps only the states it acts on.
  [ "$E2E_DESKTOP" = sway ] && return 0
  local id name bar_icon=
  [ "$(taskbar_entries)" = Form12 ] || fail "taskbar entries: $(taskbar_entries | tr '\n' ',')"
  id=$(client_window_id bar) || fail "no bar"
  bar_icon=$(xprop -id "$id" -notype _NET_WM_ICON | md5sum)
  for id in $(xprop -root _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*'); do
    [ "$(xprop -id "$id" -notype _NET_WM_PID | awk '{print $3}')" = "$E2E_CLIENT" ] || continue
    name=$(xdotool getwindowname "$id")
    [ "$(xprop -id "$id" -notype _NET_WM_ICON | md5sum)" = "$bar_icon" ] ||
      fail "$name does not carry the program's icon"
    [ "$name" = Form12 ] && continue
    xprop -id "$id" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_PAGER ||
      xprop -id "$id" WM_TRANSIENT_FOR | grep -q 'window id' || fail "$name is on the pager"
  done
}

# ---- input ------------------------------------------------------------------------------------

# Moves the pointer to a point of the screen (mousemove --sync waits for a motion that never
# comes when the pointer is there already).
point_at() {
  [ "$(xdotool getmouselocation | awk '{print $1, $2}')" = "x:$1 y:$2" ] ||
    xdotool mousemove --sync "$1" "$2"
}
# A left click at a point; further arguments go to xdotool click (--repeat 2 --delay 80).
click_at() {
  point_at "$1" "$2"
  shift 2
  xdotool click "$@" 1
}
# The bar's controls, clicked in their middle (design places in twips / 15).
bar_click() {
  local x y w h cx
  case $1 in
    taobao) cx=38 ;;
    tmall) cx=110 ;;
    own) cx=182 ;;
    account) cx=261 ;;
    share) cx=333 ;;
    questions) cx=392 ;;
    minimise) cx=444 ;;
    exit) cx=488 ;;
    *) fail "no bar control $1" ;;
  esac
  read -r x y w h < <(window_geometry '^Form12$') || fail "no bar to click"
  click_at $((x + cx)) $((y + 19))
}
# A start panel (taobao-panel, ...), clicked in its middle, below its hover overlay.
panel_click() {
  local name x y w h
  read -r name x y w h < <(place "$1")
  click_at $((x + w / 2)) $((y + h / 2))
}

# ---- the notification area --------------------------------------------------------------------

# On Xfce's panel the client shows a StatusNotifierItem, drawn by the panel's status tray (the
# only plugin of the panel that runs in a process of its own); elsewhere an XEmbed icon window.
tray_is_sni() { [ "${E2E_DESKTOP#xfwm4}" != "$E2E_DESKTOP" ]; }
sni_items() {
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems 2>/dev/null | awk -F'"' '/string/{print $2}'
}
# "x y w h" of the program's icon in the notification area; nothing when there is none.
tray_icon() {
  local id=
  if tray_is_sni; then
    [ -n "$(sni_items)" ] || return 0
    id=$(xdotool search --onlyvisible --class wrapper-2.0 2>/dev/null | head -n1)
  else
    for id in $(xdotool search --onlyvisible --pid "$E2E_CLIENT" 2>/dev/null); do
      [ "$(xdotool getwindowname "$id")" = kelvora ] && break
      id=
    done
  fi
  [ -n "$id" ] || return 0
  xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{if (w > 8) print x, y, w, h}'
}
tray_icon_present() { [ -n "$(tray_icon)" ]; }
tray_icon_gone() { [ -z "$(tray_icon)" ]; }
# Clicks the icon in its middle: once, or twice within the double-click interval.
tray_click() {
  local x y w h
  read -r x y w h < <(tray_icon) || fail "no icon in the notification area"
  click_at $((x + w / 2)) $((y + h / 2)) --repeat "${1:-1}" --delay 80
}
