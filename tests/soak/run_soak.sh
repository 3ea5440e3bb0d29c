#!/usr/bin/env bash
# Runs the soak test on a display of its own with a notification area, the stand-in services
# behind http_proxy and a recording default browser (the end-to-end tests' setup). The browser
# engine exposes its garbage collector to the test (--expose-gc), which collects before each
# memory reading; KELVORA_SOAK_ENGINE_FLAGS adds engine switches of the caller's.
source "$(dirname "$0")/../e2e/lib.sh"
: "${KELVORA_SOAK:?}"
e2e_setup
export QTWEBENGINE_CHROMIUM_FLAGS="$QTWEBENGINE_CHROMIUM_FLAGS --js-flags=--expose-gc ${KELVORA_SOAK_ENGINE_FLAGS:-}"
cd "$E2E_PROG"
"$KELVORA_SOAK" "$@" || fail "soak test failed"
