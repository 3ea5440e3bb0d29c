#!/usr/bin/env bash
# End to end: the minimise button of the navigation bar on the chosen desktop. On bare X without
# a notification area the bar stays on screen while the other windows go, and its exit button
# still ends the program. With the desktop's notification area (trayer, tint2: XEmbed; Xfce's
# status tray: StatusNotifierItem) the minimise leaves one icon in it; single clicks on it do
# nothing, a double-click brings the home view back (a start panel the window manager had
# minimised included, in its normal state) and the icon goes; the exit button ends the program
# leaving no icon. On sway, which has no notification area and minimises nothing, the minimise
# leaves the bar alone on the screen, and for good: the next click on the bar only brings the
# home view back.
source "$(dirname "$0")/lib.sh"
[ "$E2E_DESKTOP" = bare ] && E2E_NO_TRAY=1
e2e_setup

# --- no notification area: bare X, and sway, which also refuses the minimise ---------------------
if [ "$E2E_DESKTOP" = bare ] || [ "$E2E_DESKTOP" = sway ]; then
  E2E_STEP="no notification area"
  e2e_start_client
  wait_startup_done || fail "the start-up did not finish"
  expect_windows "${HOME_VIEW[@]}"
  bar_click questions
  expect_windows bar questions
  bar_click minimise
  expect_windows bar
  kill -0 "$E2E_CLIENT" || fail "the program ended"
  e2e_screenshot tray-fallback-minimised
  if [ "$E2E_DESKTOP" = sway ]; then
    E2E_STEP="refused minimise"
    bar_click questions
    expect_windows "${HOME_VIEW[@]}"
  fi
  bar_click exit
  expect_client_end "the exit button"
  if [ "$E2E_DESKTOP" = sway ]; then
    echo PASS
    exit 0
  fi

  trayer --edge bottom --align right --widthtype pixel --width 120 --height 40 \
    --transparent false >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 sh -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"' ||
    fail "trayer did not start"
fi

# --- the desktop's notification area ------------------------------------------------------------
E2E_STEP="notification area"
e2e_start_client
wait_startup_done || fail "the start-up did not finish"
expect_windows "${HOME_VIEW[@]}"
if has_wm; then
  xdotool windowminimize --sync "$(client_window_id tmall-panel)"
  expect_windows bar taobao-panel own-panel
fi
bar_click questions
expect_windows bar questions
bar_click minimise
wait_for 20 tray_icon_present || fail "no icon in the notification area"
expect_windows
e2e_screenshot tray-icon

# Two single clicks a second apart, each past the double-click interval: nothing comes back.
for click in 1 2; do
  E2E_STEP="single click $click"
  tray_click 1
  sleep 1
  expect_windows
  tray_icon_present || fail "a single click took the icon away"
done
E2E_STEP="double-click"

tray_click 2
expect_windows "${HOME_VIEW[@]}"
wait_for 10 tray_icon_gone || fail "the icon stayed after the restore"
e2e_screenshot tray-restored

bar_click exit
expect_client_end "the exit button"
tray_icon_present && fail "an icon was left behind"
echo PASS
