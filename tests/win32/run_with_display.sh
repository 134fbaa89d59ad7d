#!/usr/bin/env bash
# Runs a command on a virtual X screen of its own (Xvfb), for tests whose windows need one:
#   run_with_display.sh COMMAND...
# Exit code: the command's; 77 (skipped) when Xvfb is not installed.
set -uo pipefail
command -v Xvfb >/dev/null 2>&1 || { echo "skipped: Xvfb is not installed"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnleaf-x.XXXXXX")
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 5>&-
for _ in $(seq 1 50); do [[ -s "$work/display" ]] && break; sleep 0.2; done
code=1
if [[ -s "$work/display" ]]; then
    DISPLAY=":$(head -n 1 "$work/display")" "$@"
    code=$?
else
    echo "Xvfb did not start"
fi
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$work"
exit "$code"
