#!/usr/bin/env bash
# Runs COMMAND... on a virtual X screen of its own (Xvfb, whose free display number it
# tells us itself). Exit code: the command's; 77 (skipped) when Xvfb is not installed.
set -uo pipefail
command -v Xvfb >/dev/null 2>&1 || { echo "skipped: Xvfb is not installed"; exit 77; }
display=$(mktemp "${TMPDIR:-/tmp}/tarnleaf-x.XXXXXX")
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$display"' EXIT
for _ in $(seq 1 50); do [[ -s "$display" ]] && break; sleep 0.2; done
[[ -s "$display" ]] || { echo "Xvfb did not start"; exit 1; }
DISPLAY=":$(head -n 1 "$display")" "$@"
