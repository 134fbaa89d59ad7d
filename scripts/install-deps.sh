#!/usr/bin/env bash
# Installs the Debian packages Tarnleaf needs, skipping those already present.
#   scripts/install-deps.sh run    what building and running tarnleafd needs
#   scripts/install-deps.sh test   everything the whole test suite needs (default)
set -euo pipefail

mode=${1:-test}

run_packages=(build-essential cmake ninja-build)
test_packages=(
    "${run_packages[@]}"
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev                       # libFuzzer and sanitizer runtimes
    qt6-base-dev                                   # the Linux desktop program
    g++-mingw-w64-x86-64 wine wine64               # the Windows build and its tests
    xvfb xdotool trayer imagemagick x11-utils      # desktop smoke tests and screenshots
    fonts-noto-cjk                                 # the Japanese menu texts
    iproute2 busybox isc-dhcp-client dhcping kea-admin python3 python3-scapy
    dpkg-dev libcap2-bin                           # the Debian package's test
)

case "$mode" in
    run) wanted=("${run_packages[@]}") ;;
    test) wanted=("${test_packages[@]}") ;;
    *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run this script as root (or: sudo apt-get install ${missing[*]})." >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
lock=(-o DPkg::Lock::Timeout=900)
apt-get "${lock[@]}" update -qq
apt-get "${lock[@]}" install -y -qq "${missing[@]}"
