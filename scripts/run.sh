#!/usr/bin/env bash
# Installs what is missing, builds tarnleafd and runs it with examples/Tarnleaf.ini.
# Extra arguments go to tarnleafd (for example -NOLOG).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh run
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARNLEAF_TESTS=OFF -DTARNLEAF_DESKTOP=OFF >/dev/null
cmake --build build/run --target tarnleafd -j "$(nproc 2>/dev/null || echo 2)"

if [[ $(id -u) -ne 0 ]]; then
    echo "note: port 67 needs root or CAP_NET_BIND_SERVICE; run this as root," >&2
    echo "      or: sudo setcap cap_net_bind_service=+ep build/run/app/tarnleafd" >&2
fi
# Once bound, tarnleafd runs as the sudo user or nobody. The example is read by its path
# from here, so a closed folder above the clone (root's home) does not matter, but a clone
# whose own folder is closed would answer every client as unknown. Unless told whom to run
# as, it then stays root, and says so.
user=()
if [[ $(id -u) -eq 0 && -z ${SUDO_UID:-} ]] &&
        ! runuser -u nobody -- test -r examples/Tarnleaf.ini 2>/dev/null; then
    named=0
    for arg in "$@"; do [[ $arg == --user ]] && named=1; done
    if ((named == 0)); then
        echo "note: nobody cannot read $root/examples/Tarnleaf.ini, so tarnleafd stays root;" >&2
        echo "      add --user NAME to run as someone who can read it" >&2
        user=(--user root)
    fi
fi
exec build/run/app/tarnleafd --config examples/Tarnleaf.ini "${user[@]}" "$@"
