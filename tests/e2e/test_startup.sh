#!/usr/bin/env bash
# End to end: the built program in a temporary program folder starts against the stand-in
# services, asks them in the order of the start-up road, stores the site text, lays out its home
# view; a second start is refused; a silent update service leaves no search page on the screen;
# without a network it ends before any window.
source "$(dirname "$0")/lib.sh"
e2e_setup
e2e_start_client

wait_for 60 window_visible '^Form12$' || fail "the navigation bar did not appear"
# The road ends with the update check; the home view stands where the layout put it.
wait_startup_done 30 || fail "no update check"
expect_windows "${HOME_VIEW[@]}"

order=$(standin_requests | awk -F'\t' -v h="$KELVORA_PRODUCT_HOST" '$2 == h {print $3}' | tr '\n' ' ')
[ "$order" = "/app.php/index/nav /app.php/index/wang /app.php/index/wang_yu /app.php/index/up " ] ||
  fail "requests out of order: $order"

stored=$(cat "$E2E_PROG/paz/l/s/r/app_url.txt")
case "$stored" in http://*lsr=*) ;; *) fail "app_url.txt holds: $stored" ;; esac

# A second start shows the refusal and leaves the first running.
(cd "$E2E_PROG" && exec ./kelvora >"$E2E_DIR/second.log" 2>&1) &
second=$!
E2E_PIDS+=($second)
wait_for 30 window_visible '^错误$' || fail "no refusal box"
xdotool windowfocus --sync "$(window_id '^错误$')" key Return
wait_for 10 sh -c "! kill -0 $second 2>/dev/null" || fail "the second instance did not end"
kill -0 "$E2E_CLIENT" || fail "the first instance ended"
expect_windows "${HOME_VIEW[@]}"
kill "$E2E_CLIENT"
wait "$E2E_CLIENT" 2>/dev/null || true

# An update service that never answers: the road's show and hide of each search page is done
# before its next step, so while the update check waits, only the home view is on the screen.
: "${KELVORA_PRODUCT_HOST:?}"
standin_reply "$KELVORA_PRODUCT_HOST" /app.php/index/up 200 0 stall 1
e2e_start_client
wait_startup_done 60 || fail "no update check"
E2E_STEP="update check waiting"
expect_windows "${HOME_VIEW[@]}"
unset E2E_STEP
kill "$E2E_CLIENT"
wait "$E2E_CLIENT" 2>/dev/null || true

# Without a network (a namespace with loopback only, and that down) the start ends at its message.
if unshare -n true 2>/dev/null; then
  (cd "$E2E_PROG" && exec unshare -n ./kelvora >"$E2E_DIR/nonet.log" 2>&1) &
  nonet=$!
  E2E_PIDS+=($nonet)
  wait_for 30 window_visible '^Kelvora$' || fail "no connection message"
  window_visible '^Form12$' && fail "a window was shown without a network"
  window_visible '^Kelvora搜淘宝$' && fail "a panel was shown without a network"
  xdotool windowfocus --sync "$(window_id '^Kelvora$')" key Return
  wait_for 10 sh -c "! kill -0 $nonet 2>/dev/null" || fail "the client did not end"
else
  echo "unshare -n is not permitted here; network check not run"
fi
echo PASS
