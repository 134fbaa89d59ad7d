#!/usr/bin/env bash
# Installs the Debian packages Tarnleaf needs, skipping those already present.
#   scripts/install-deps.sh run    what building and running tarnleafd needs
#   scripts/install-deps.sh test   everything the whole test suite needs (default)
#   scripts/install-deps.sh only PACKAGE...   just those
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
    only) wanted=("${@:2}") ;;
    *) echo "usage: $0 [run|test|only PACKAGE...]" >&2; exit 2 ;;
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

# DPkg::Lock::Timeout waits for dpkg's own lock only: "update" and the downloads give up at
# once while another apt holds the package lists or the archive cache (as the daily update
# does on a machine just started). Those are tried again, for up to 15 minutes as well.
apt_get() {
    local deadline=$((SECONDS + 900)) errors
    errors=$(mktemp)
    until LC_ALL=C apt-get -o DPkg::Lock::Timeout=900 "$@" 2>"$errors"; do
        if ! grep -Eq "Could not get lock|Unable to lock" "$errors" || ((SECONDS >= deadline)); then
            cat "$errors" >&2
            rm -f "$errors"
            return 1
        fi
        echo "waiting for another apt to finish..." >&2
        sleep 5
    done
    cat "$errors" >&2
    rm -f "$errors"
}

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt_get update -qq
apt_get install -y -qq "${missing[@]}"
