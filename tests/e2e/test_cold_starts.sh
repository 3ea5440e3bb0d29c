#!/usr/bin/env bash
# End to end, five cold starts in a row on the chosen desktop. After each start-up road exactly
# the bar and the three start panels are mapped, each at its laid-out place, and only the bar has
# a taskbar entry. The program ends by its exit button, or under a window manager every other
# time by the window manager's close on the bar, which ends it the same way: the process ends
# with 0, the instance lock is free, and the next start works.
source "$(dirname "$0")/lib.sh"
e2e_setup


for start in 1 2 3 4 5; do
  E2E_STEP="start $start"
  e2e_start_client
  wait_startup_done || fail "the start-up did not finish"
  expect_windows "${HOME_VIEW[@]}"
  expect_taskbar
  [ "$start" = 1 ] && e2e_screenshot home-view
  if has_wm && ((start % 2 == 0)); then
    wmctrl -i -c "$(client_window_id bar)"
    expect_client_end "the window manager's close on the bar"
  else
    bar_click exit
    expect_client_end "the exit button"
  fi
done
echo PASS
