#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64 and tests them under Wine:
#   scripts/test-windows.sh             build into build-windows/, then run every test of
#                                       that build (unit suite, import check, end-to-end)
#   scripts/test-windows.sh BUILD_DIR   build into BUILD_DIR and prepare Wine only; the
#                                       caller runs ctest (scripts/test.sh does so)
# The unit suite runs under Wine through CTest's cross-compiling emulator, in a Wine prefix
# of the build folder's own, created here once so that parallel tests never race to make it.
# The end-to-end tests need root (network namespaces), Xvfb, trayer and xdotool; without
# them they are reported as skipped.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
run_tests=1
if [[ $# -gt 0 ]]; then
    dir=$1
    shift
    run_tests=0
else
    dir=$root/build-windows
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# The Linux tarnleafd that tarnleafd.exe must match byte for byte, where it was built.
linux_server=
for candidate in "$root/build/linux/app/tarnleafd" "$root/build-linux/app/tarnleafd"; do
    [[ -x "$candidate" ]] && { linux_server=$candidate; break; }
done

"$root/scripts/build-windows.sh" "$dir" -DTARNLEAF_TESTS=ON \
    -DTARNLEAF_WINEPREFIX="$dir/wineprefix" \
    ${linux_server:+-DTARNLEAF_LINUX_TARNLEAFD="$linux_server"} "$@"

prefix=$dir/wineprefix
if [[ ! -f "$prefix/system.reg" ]]; then
    echo "Preparing the Wine prefix $prefix"
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" \
        timeout 300 wine wineboot --init >/dev/null 2>&1 || true
    WINEPREFIX=$prefix timeout 60 wineserver -w >/dev/null 2>&1 || true
    if [[ ! -f "$prefix/system.reg" ]]; then
        echo "Wine could not prepare $prefix" >&2
        exit 1
    fi
fi

((run_tests)) || exit 0

ctest --test-dir "$dir" --output-on-failure --timeout 600
