#!/usr/bin/env bash
# End to end on the chosen desktop: every tab of the bar and every start panel shows its window
# alone beside the bar, at its laid-out place, active, with no taskbar entry of its own. Under a
# window manager, a window it minimised comes back in its normal state from its tab, and its close on a
# search page or a dialog only hides that window, which its tab brings back. The bar's tooltips
# show while another window is active.
source "$(dirname "$0")/lib.sh"
e2e_setup
e2e_start_client
wait_startup_done || fail "the start-up did not finish"
expect_windows "${HOME_VIEW[@]}"

# Every tab, each twice in a row apart from the first.
for tab in taobao:taobao-page tmall:tmall-page own:own-page account:signin share:sharing \
  questions:questions taobao:taobao-page; do
  E2E_STEP="tab ${tab%%:*}"
  bar_click "${tab%%:*}"
  wait_for 10 window_active "${tab#*:}" || fail "${tab#*:} is not the active window"
  expect_windows bar "${tab#*:}"
  expect_taskbar
done
e2e_screenshot search-page
unset E2E_STEP

# Every start panel, from the home view the notification area brings back.
for panel in taobao tmall own; do
  E2E_STEP="$panel panel"
  bar_click minimise
  wait_for 20 tray_icon_present || fail "no icon in the notification area"
  expect_windows
  tray_click 2
  expect_windows "${HOME_VIEW[@]}"
  panel_click "$panel-panel"
  wait_for 10 window_active "$panel-page" || fail "$panel-page is not the active window"
  expect_windows bar "$panel-page"
done
unset E2E_STEP

if has_wm; then
  # A search page minimised by the window manager, then its tab.
  E2E_STEP="minimised by the window manager"
  xdotool windowminimize --sync "$(client_window_id own-page)"
  expect_windows bar
  bar_click own
  expect_windows bar own-page
  xprop -id "$(client_window_id own-page)" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN &&
    fail "the page came back marked hidden"

  # The window manager's close on a search page and on a dialog hides it; its tab brings it back.
  for tab in own:own-page questions:questions; do
    E2E_STEP="closed by the window manager: ${tab#*:}"
    bar_click "${tab%%:*}"
    expect_windows bar "${tab#*:}"
    wmctrl -i -c "$(client_window_id "${tab#*:}")"
    expect_windows bar
    kill -0 "$E2E_CLIENT" || fail "the program ended"
    bar_click "${tab%%:*}"
    expect_windows bar "${tab#*:}"
  done
  unset E2E_STEP
fi

# The bar's tooltip while the questions window is the active one.
E2E_STEP=tooltip
bar_click questions
expect_windows bar questions
if has_wm; then
  xdotool windowactivate --sync "$(client_window_id questions)"
else
  xdotool windowfocus --sync "$(client_window_id questions)"
fi
read -r x y w h < <(window_geometry '^Form12$')
point_at $((x + 444)) $((y + 19))
xdotool mousemove_relative 1 1
tooltip_shown() { client_windows | grep -q '^(tooltip) '; }
wait_for 10 tooltip_shown || fail "no tooltip over the bar's minimise button"
echo PASS
