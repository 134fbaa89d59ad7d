#!/usr/bin/env bash
# Runs a Windows program under Wine as if it were the native one, for the whole-program
# tests that start servers inside network namespaces:
#   TARNLEAF_WINE_EXE=path/to/program.exe TARNLEAF_WINE_TEMPLATE=prefix wine-run.sh ARGS...
# Wine creates sockets in its wineserver, so each run gets a Wine prefix of its own (hard
# links to the template, with private registry files): its wineserver starts here, inside
# the caller's namespace. SIGTERM and SIGINT are passed on as SIGINT, which Wine delivers to
# the console program as Ctrl+C. The exit code is the program's; the prefix is removed.
set -uo pipefail

exe=${TARNLEAF_WINE_EXE:?TARNLEAF_WINE_EXE names the program}
template=${TARNLEAF_WINE_TEMPLATE:?TARNLEAF_WINE_TEMPLATE names an initialised Wine prefix}
wine=${TARNLEAF_WINE:-wine}

prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarnleaf-wine.XXXXXX")
if ! cp -al "$template/." "$prefix/" 2>/dev/null; then
    rm -rf "$prefix" && mkdir -p "$prefix" && cp -a "$template/." "$prefix/"
fi
# Wine rewrites these in place of the old ones; each run keeps its own.
for reg in system.reg user.reg userdef.reg; do
    [[ -f "$template/$reg" ]] && { rm -f "$prefix/$reg"; cp "$template/$reg" "$prefix/$reg"; }
done
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} \
    WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}

child=
trap '[[ -n "$child" ]] && kill -INT "$child" 2>/dev/null' TERM INT
"$wine" "$exe" "$@" <&0 &
child=$!
# `wait` returns early when a trapped signal arrives: wait again, a bounded number of times
# (the caller's own timeout bounds the whole run).
for _ in $(seq 1 100); do
    wait "$child"
    code=$?
    kill -0 "$child" 2>/dev/null || break
    sleep 0.05
done
if kill -0 "$child" 2>/dev/null; then
    kill -KILL "$child" 2>/dev/null
    wait "$child" 2>/dev/null
    code=137
fi
# The prefix's wineserver serves no one else; end it before removing its files.
timeout 10 wineserver -k >/dev/null 2>&1
timeout 10 wineserver -w >/dev/null 2>&1
rm -rf "$prefix"
exit "$code"
