#!/usr/bin/env bash
# Runs a Windows program under Wine as if it were the native one, for the whole-program tests:
#   TARNLEAF_WINE_EXE=path/to/program.exe TARNLEAF_WINE_TEMPLATE=prefix wine-run.sh ARGS...
# Wine creates sockets in its wineserver, so each run gets a prefix of its own (hard links to
# the template, private registry files, which Wine rewrites): its wineserver starts here,
# inside the caller's namespace. SIGTERM and SIGINT are passed on as SIGINT, which Wine gives
# the console program as Ctrl+C. The exit code is the program's; the prefix is removed.
set -uo pipefail
exe=${TARNLEAF_WINE_EXE:?TARNLEAF_WINE_EXE names the program}
template=${TARNLEAF_WINE_TEMPLATE:?TARNLEAF_WINE_TEMPLATE names an initialised Wine prefix}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarnleaf-wine.XXXXXX")
cp -al "$template/." "$prefix/" 2>/dev/null || { rm -rf "$prefix"; cp -a "$template" "$prefix"; }
for reg in system.reg user.reg userdef.reg; do
    [[ -f "$template/$reg" ]] && { rm -f "$prefix/$reg"; cp "$template/$reg" "$prefix/$reg"; }
done
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} \
    WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}

child= interrupted=
trap 'interrupted=1; [[ -n "$child" ]] && kill -INT "$child" 2>/dev/null' TERM INT
"${TARNLEAF_WINE:-wine}" "$exe" "$@" <&0 &
child=$!
# A trapped signal cuts `wait` short with 128 + its number (143 for SIGTERM), even when Wine
# ended at the same moment: that code is not the program's. Wait again until no signal cut
# in; bash keeps an ended child's status, so that wait gives the program's own code. Bounded
# in count (the caller's own timeout bounds the whole run).
for _ in $(seq 1 100); do
    interrupted=; wait "$child"; code=$?; [[ -z "$interrupted" ]] && break
done
if [[ -n "$interrupted" ]] && kill -0 "$child" 2>/dev/null; then
    kill -KILL "$child" 2>/dev/null; wait "$child" 2>/dev/null; code=137
fi
# The prefix's wineserver serves no one else; end it before removing its files.
timeout 10 wineserver -k >/dev/null 2>&1; timeout 10 wineserver -w >/dev/null 2>&1
rm -rf "$prefix"
exit "$code"
