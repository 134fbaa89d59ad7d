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
# Once bound, tarnleafd runs as the sudo user or nobody: a clone in root's home is not
# readable by nobody.
if [[ $(id -u) -eq 0 && -z ${SUDO_UID:-} ]] &&
        ! runuser -u nobody -- test -r examples/Tarnleaf.ini 2>/dev/null; then
    echo "note: once port 67 is bound tarnleafd runs as nobody, who cannot read" >&2
    echo "      $root/examples/Tarnleaf.ini; add --user NAME (someone who can) or --user root" >&2
fi
exec build/run/app/tarnleafd --config examples/Tarnleaf.ini "$@"
