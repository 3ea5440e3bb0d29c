#!/usr/bin/env bash
# A stand-in default browser: appends each address it is given to $KELVORA_URL_LOG.
printf '%s\n' "$*" >>"${KELVORA_URL_LOG:-/tmp/kelvora-opened-urls.txt}"
