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
for _ in $(seq 1 50); do
    [[ -s "$work/display" ]] && break
    sleep 0.2
done
if [[ ! -s "$work/display" ]]; then
    echo "Xvfb did not start"; kill "$xvfb" 2>/dev/null; rm -rf "$work"; exit 1
fi
DISPLAY=":$(head -n 1 "$work/display")" "$@"
code=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$work"
exit "$code"
