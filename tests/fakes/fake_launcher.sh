#!/bin/sh
# A stand-in for LANCEUR.sh. Appends to fake_launcher.log, beside itself, its
# two parameters and its working directory, one per line; then sleeps
# (seconds from fake_launcher.sleep, 2 by default) and appends "done".
here=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd -P)
log="$here/fake_launcher.log"
printf '%s\n' "$1" "$2" "$(pwd -P)" >>"$log"
delay=2
if [ -f "$here/fake_launcher.sleep" ]; then
    delay=$(cat "$here/fake_launcher.sleep")
fi
sleep "$delay"
echo done >>"$log"
