#!/usr/bin/env bash
# End to end, the faults a user or the services would notice: a site text that comes by way of a
# redirection, a site check answered with a negative number (accepted, as any number but zero),
# and the Taobao switch with a pipe in the place of a tab picture.
source "$(dirname "$0")/lib.sh"
: "${KELVORA_PRODUCT_HOST:?}"
e2e_setup
data="$E2E_PROG/paz/l/s/r"

# A reply moved elsewhere: a 302 with a Location header, once.
standin_redirect() {
  local path=$1 target=$2
  curl -s --noproxy '*' -X POST --data-binary "moved" \
    "http://127.0.0.1:$E2E_PORT/__control/reply?host=$KELVORA_PRODUCT_HOST&path=$path&status=302&once=1&location=http://$KELVORA_PRODUCT_HOST$target" >/dev/null
}
product_paths() { standin_requests | awk -F'\t' -v h="$KELVORA_PRODUCT_HOST" '$2 == h {print $1, $3}'; }
home_view() { window_visible '^Form12$' && window_visible '^Kelvora搜淘宝$'; }
stop_client() {
  kill "$E2E_CLIENT" 2>/dev/null || true
  wait "$E2E_CLIENT" 2>/dev/null || true
}

# 1. Nothing stored: the site-text request is redirected; the text at the new place is stored.
site='http://moved.member.example/?lsr=3131'
standin_redirect /app.php/index/wang /app.php/index/wang_moved
standin_reply "$KELVORA_PRODUCT_HOST" /app.php/index/wang_moved 200 "$site"
e2e_start_client
wait_for 60 home_view || fail "no home view after a redirected site text"
wait_startup_done 30 || fail "the start-up did not finish"
product_paths | grep -qx 'GET /app.php/index/wang_moved' || fail "redirect not followed: $(product_paths)"
[ "$(cat "$data/app_url.txt")" = "$site"$'\r' ] || fail "app_url.txt: $(cat -A "$data/app_url.txt")"
stop_client

# 2. A stored address checked with the answer -1 is kept: no fresh site text is asked for.
stored=$'http://kept.member.example/?lsr=4242\r\n'
printf '%s' "$stored" >"$data/app_url.txt"
standin_reply "$KELVORA_PRODUCT_HOST" /app.php/index/wang_yu 200 "-1"
e2e_start_client
wait_for 60 home_view || fail "no home view after the site check"
wait_startup_done 30 || fail "the start-up did not finish"
product_paths | grep -q ' /app.php/index/wang$' && fail "the stored address was rejected: $(product_paths)"
[ "$(cat "$data/app_url.txt")" = "${stored%$'\n'}" ] || fail "app_url.txt changed: $(cat -A "$data/app_url.txt")"
kept_site_page() { standin_requests | grep -q $'\tkept.member.example\t/APP.PHP/index/ss_taobao\tlsr=4242'; }
wait_for 30 kept_site_page || fail "the search pages are not on the kept site"
expect_windows "${HOME_VIEW[@]}"

# 3. The Taobao panel's click while the selected tab's picture is a pipe that nobody writes: the
#    pipe counts as a missing picture. The click must not hang on it: the search page (wider than
#    the panel of the same caption) is shown, and the next tab click switches again.
shown_windows() {
  xdotool search --onlyvisible --name '^Kelvora' 2>/dev/null | while read -r id; do
    echo "$(xdotool getwindowname "$id") $(xdotool getwindowgeometry "$id" | awk '/Geometry/ {print $2}')"
  done | sort | tr '\n' ';'
}
picture="$E2E_PROG/img/nav_taobao.jpg"
rm "$picture"
mkfifo "$picture"
read -r x y w h < <(window_geometry '^Kelvora搜淘宝$') || fail "no Taobao panel"
[ "$w" = 316 ] || fail "the Taobao panel is $w pixels wide"
xdotool mousemove $((x + 20)) $((y + 20)) sleep 0.1 click 1
taobao_page() { [[ "$(shown_windows)" =~ ^Kelvora搜淘宝\ ([0-9]+)x[0-9]+\;$ ]] && ((BASH_REMATCH[1] > 316)); }
wait_for 20 taobao_page || fail "the Taobao page is not shown alone: $(shown_windows)"
bar_click tmall
tmall_page() { [[ "$(shown_windows)" =~ ^Kelvora搜天猫\ [0-9]+x[0-9]+\;$ ]]; }
wait_for 20 tmall_page || fail "the client hangs on the pipe: $(shown_windows)"
stop_client
echo PASS
