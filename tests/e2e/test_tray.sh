#!/usr/bin/env bash
# End to end: the minimise button of the navigation bar. Without a notification area the bar
# stays on screen while the other windows go, and its exit button still ends the program. With
# trayer providing one, the minimise leaves one icon in it, a double-click on the icon brings the
# home view back and the icon goes, and the exit button ends the program leaving no icon.
source "$(dirname "$0")/lib.sh"
E2E_NO_TRAY=1
e2e_setup

# The bar's controls at their design places (twips / 15), clicked in their middle.
bar_click() {
  local left_px=$1 width_px=$2 x y w h
  read -r x y w h < <(window_geometry '^Form12$') || fail "no bar to click"
  xdotool mousemove --sync $((x + left_px + width_px / 2)) $((y + 19)) click 1
}
click_questions() { bar_click 362 59; }
click_minimise() { bar_click 422 44; }
click_exit() { bar_click 465 46; }

# "x y w h" of the program's icon embedded in trayer's panel; nothing when there is none.
tray_icon() {
  xwininfo -root -tree | awk '
    /\("panel" "trayer"\)/ { inpanel = 1; next }
    inpanel && /^     0x/ { inpanel = 0 }
    inpanel && /\("kelvora" "kelvora"\)/ {
      split($(NF - 1), size, /[x+]/); split($NF, at, /\+/)
      print at[2], at[3], size[1], size[2]; exit }'
}
tray_icon_present() { [ -n "$(tray_icon)" ]; }
tray_icon_gone() { [ -z "$(tray_icon)" ]; }
home_view() {
  window_visible '^Form12$' && window_visible '^Kelvora搜淘宝$' &&
    window_visible '^Kelvora搜天猫$' && window_visible '^Kelvora搜Kelvo$'
}
home_view_gone() {
  ! window_visible '^Kelvora搜淘宝$' && ! window_visible '^Kelvora搜天猫$' &&
    ! window_visible '^Kelvora搜Kelvo$' && ! window_visible '^Kelvora-问题$'
}
client_ended() { ! kill -0 "$E2E_CLIENT" 2>/dev/null; }
expect_exit_zero() {
  wait_for 20 client_ended || fail "the exit button did not end the program"
  local code=0
  wait "$E2E_CLIENT" || code=$?
  [ "$code" = 0 ] || fail "the program ended with code $code"
}

# --- no notification area --------------------------------------------------------------------
e2e_start_client
wait_for 60 home_view || fail "the home view did not appear"
wait_startup_done || fail "the start-up did not finish"
click_questions
wait_for 30 window_visible '^Kelvora-问题$' || fail "the questions window did not open"
click_minimise
wait_for 20 home_view_gone || fail "the windows stayed after the minimise"
window_visible '^Form12$' || fail "without a notification area the bar vanished"
kill -0 "$E2E_CLIENT" || fail "the program ended"
e2e_screenshot tray-fallback-minimised
click_exit
expect_exit_zero

# --- trayer's notification area ---------------------------------------------------------------
trayer --edge bottom --align right --widthtype pixel --width 120 --height 40 \
  --transparent false >/dev/null 2>&1 &
E2E_PIDS+=($!)
wait_for 10 sh -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"' ||
  fail "trayer did not start"

e2e_start_client
wait_for 60 home_view || fail "the home view did not appear with trayer"
wait_startup_done || fail "the start-up did not finish with trayer"
click_questions
wait_for 30 window_visible '^Kelvora-问题$' || fail "the questions window did not open"
click_minimise
wait_for 20 tray_icon_present || fail "no icon in the notification area"
wait_for 10 home_view_gone || fail "the windows stayed after the minimise"
window_visible '^Form12$' && fail "the bar stayed on screen with an icon in the tray"
e2e_screenshot tray-icon

read -r ix iy iw ih < <(tray_icon)
xdotool mousemove --sync $((ix + iw / 2)) $((iy + ih / 2)) click --repeat 2 --delay 80 1
wait_for 20 home_view || fail "the double-click did not bring the home view back"
wait_for 10 tray_icon_gone || fail "the icon stayed after the restore"
window_visible '^Kelvora-问题$' && fail "the questions window came back with the home view"
e2e_screenshot tray-restored

click_exit
expect_exit_zero
tray_icon_present && fail "an icon was left behind"
echo PASS
