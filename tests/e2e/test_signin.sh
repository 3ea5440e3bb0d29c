#!/usr/bin/env bash
# End to end: a signed-out client opens the sign-in window from the account tab; a wrong password
# is refused and locks the button for the countdown; the demo account then signs in, and the
# client comes back as a member: the search pages on the member's site with the member's referral,
# the income queried for the new member number, the signed-in account tab picture.
source "$(dirname "$0")/lib.sh"
e2e_setup
e2e_start_client

: "${KELVORA_PLATFORM_HOST:?}"
wait_for 60 window_visible '^Form12$' || fail "the navigation bar did not appear"
wait_for 30 sh -c "curl -s --noproxy '*' http://127.0.0.1:$E2E_PORT/__control/requests | grep -q /app.php/index/up" ||
  fail "the start-up road did not end"

# Pixels from twips (15 twips per pixel under Xvfb at 96 dpi) inside a window.
click_in() {
  local caption=$1 x=$2 y=$3 geo
  geo=$(window_geometry "$caption") || fail "$caption not found"
  set -- $geo
  # No --sync: it waits for a motion that never comes when the pointer is there already.
  xdotool mousemove $(($1 + x / 15)) $(($2 + y / 15)) sleep 0.1 click 1
}
platform_requests() {
  standin_requests | awk -F'\t' -v h="$KELVORA_PLATFORM_HOST" -v p="$1" '$2 == h && $3 == p {print $5}'
}
# The message box is transient for the sign-in window that raised it, with no taskbar entry.
answer_box() {
  local box
  wait_for 20 window_visible '^Kelvora$' || fail "no message box"
  box=$(window_id '^Kelvora$')
  [ "$(xprop -id "$box" WM_TRANSIENT_FOR | awk '{print $NF}')" = \
    "$(printf '0x%x' "$(client_window_id signin)")" ] ||
    fail "the message box is not transient for the sign-in window: $(xprop -id "$box" WM_TRANSIENT_FOR)"
  expect_taskbar
  e2e_screenshot message-box
  xdotool windowfocus --sync "$(window_id '^Kelvora$')" key Return
  wait_for 10 sh -c "! xdotool search --onlyvisible --name '^Kelvora\$' >/dev/null" || fail "the box stayed"
}
# Types into a text box of the sign-in window: click into it, select all, type.
type_into() {
  click_in '^Kelvora-登录$' "$1" "$2"
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 30 "$3"
}
TEXT1="2700 1385"
TEXT2="2700 1857"
SIGN_IN="5020 2362"

# The home view has settled (the window manager has handled every map and unmap of the road);
# the account tab then opens the sign-in window alone beside the bar, active: the account typed
# at once lands in its first box.
expect_windows "${HOME_VIEW[@]}"
bar_click account
wait_for 10 window_active signin || fail "the sign-in window is not the active window"
xdotool type --delay 30 demo
expect_windows bar signin
e2e_screenshot signin-window

# A wrong password: the refusal, and the button locked while the countdown runs (a click right
# after the message sends nothing).
type_into $TEXT2 'wrong+&'
click_in '^Kelvora-登录$' $SIGN_IN
answer_box
refused_at=$SECONDS
click_in '^Kelvora-登录$' $SIGN_IN
sleep 0.5
((SECONDS - refused_at < 5)) || fail "too slow to try the locked button"
[ "$(platform_requests /app.php/index/index)" = "lsrname=demo&lsrpw=wrong%2B%26" ] ||
  fail "sign-in requests: $(platform_requests /app.php/index/index)"
e2e_screenshot signin-refused

# The countdown of ten seconds ends; the demo account signs in.
remaining=$((12 - (SECONDS - refused_at)))
((remaining > 0)) && sleep $remaining
type_into $TEXT2 demo123
click_in '^Kelvora-登录$' $SIGN_IN
wait_for 30 sh -c "[ \$(curl -s --noproxy '*' http://127.0.0.1:$E2E_PORT/__control/requests | grep -c /app.php/index/up) -ge 2 ]" ||
  fail "the client did not reload"
wait_for 20 sh -c "curl -s --noproxy '*' http://127.0.0.1:$E2E_PORT/__control/requests | grep -q 'id=20261'" ||
  fail "no income query for the new member"
expect_windows "${HOME_VIEW[@]}"
e2e_screenshot signed-in

data="$E2E_PROG/paz/l/s/r"
[ "$(od -An -tx1 "$data/dl.txt" | tr -d ' \n')" = "2031200d0a" ] || fail "dl.txt: $(od -An -tx1 "$data/dl.txt")"
[ "$(cat "$data/user.txt")" = $'demo\r' ] || fail "user.txt: $(cat -A "$data/user.txt")"
grep -q 'lsr=20261' "$data/app_url.txt" || fail "app_url.txt: $(cat "$data/app_url.txt")"

# The search pages came again from the member's own site with the member's referral.
for page in ss_taobao ss_tianmao ss_kelvora; do
  standin_requests | awk -F'\t' -v p="/APP.PHP/index/$page" '$2 == "shop20261.member.example" && $3 == p {print $4}' |
    grep -q '^lsr=20261$' || fail "$page was not loaded on the member site"
done

# The account tab shows the signed-in picture: the bar's tab region is nearer img/dl1.jpg than
# img/dl0.jpg.
geo=$(window_geometry '^Form12$') || fail "no bar"
set -- $geo
import -window root -crop "86x39+$(($1 + 3270 / 15))+$(($2))" "$E2E_DIR/tab.png" || fail "no screenshot"
distance() {
  convert "$E2E_DIR/tab.png" -resize 86x39! "$E2E_DIR/a.png"
  convert "$1" -resize 86x39! "$E2E_DIR/b.png"
  { compare -metric RMSE "$E2E_DIR/a.png" "$E2E_DIR/b.png" null: 2>&1 || true; } | awk '{print int($1)}'
}
in=$(distance "$E2E_PROG/img/dl1.jpg")
out=$(distance "$E2E_PROG/img/dl0.jpg")
[ "$in" -lt "$out" ] || fail "the account tab does not show the signed-in picture ($in vs $out)"
echo "PASS (account tab: $in from the signed-in picture, $out from the signed-out one)"
