#!/usr/bin/env bash
# Smoke test of tarnleaf.exe under Wine on a virtual X screen with a tray (Xvfb + trayer):
#   desktop_smoke.sh PATH/tarnleaf.exe
# Environment: TARNLEAF_WINE_TEMPLATE (an initialised Wine prefix), TARNLEAF_READ_LOG_VIEW
# (prints the log view's text), TARNLEAF_SCREENSHOTS (a folder; default: beside the program).
# As root, in network namespaces made here (addresses only inside them); each section below
# is one scenario. Exit 0 passed, 1 failed, 77 skipped. Every wait is bounded.
set -uo pipefail

exe=${1:?usage: desktop_smoke.sh PATH/tarnleaf.exe}
here=$(cd "$(dirname "$0")" && pwd)
template=${TARNLEAF_WINE_TEMPLATE:-}
reader=${TARNLEAF_READ_LOG_VIEW:-$(dirname "$exe")/../tests/e2e/windows/read_log_view.exe}
shots=${TARNLEAF_SCREENSHOTS:-$(dirname "$exe")}
wine=${TARNLEAF_WINE:-wine}

skip() { echo "skipped: $*"; exit 77; }
[[ $(id -u) -eq 0 ]] || skip "needs root for network namespaces"
for tool in ip Xvfb trayer xdotool import convert "$wine" wineserver; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[[ -n "$template" && -d "$template" ]] || skip "no Wine prefix template (TARNLEAF_WINE_TEMPLATE)"
[[ -f "$exe" && -f "$reader" ]] || skip "program or log view reader missing"
# A virtual screen of its own from the shared runner, which removes it afterwards.
if [[ -z ${TARNLEAF_SMOKE_SCREEN:-} ]]; then
    TARNLEAF_SMOKE_SCREEN=1 exec "$here/../../win32/run_with_display.sh" "$0" "$@"
fi

srv="tlWs$$" cli="tlWc$$" sif="tlws$$" cif="tlwc$$"
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnleaf-desktop.XXXXXX")
pids=()
failures=0
cleanup() {
    local status=$?
    if ((status != 0 && status != 77)); then  # the programs' own output
        for out in "$work"/*.out; do [[ -f "$out" ]] && echo "---- ${out##*/} ----" && cat "$out"; done
    fi
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null
    done
    if [[ -d "$work/prefix" ]]; then
        WINEPREFIX=$work/prefix timeout 10 wineserver -k >/dev/null 2>&1
        WINEPREFIX=$work/prefix timeout 10 wineserver -w >/dev/null 2>&1
    fi
    for ns in "$srv" "$cli"; do ip netns delete "$ns" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# check TEXT COMMAND...: TEXT passed or failed by COMMAND's outcome, which it returns.
check() { local text=$1; shift; if "$@"; then pass "$text"; else fail "$text"; return 1; fi; }
# wait_until SECONDS COMMAND...: polls every 0.2 s until COMMAND succeeds; false on timeout.
wait_until() {
    local tries=$(($1 * 5)); shift
    for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.2; done; return 1
}
ended() { ! kill -0 "$1" 2>/dev/null; }
# exit_code PID: waits (bounded) for the program to end; its exit code lands in $code.
exit_code() { code=running; wait_until 40 ended "$1" && { wait "$1"; code=$?; }; }

# --- namespaces: the server side and a client joined by a veth pair ---------------------
ip netns add "$srv" || skip "cannot create a network namespace"
ip netns add "$cli"
ip link add "$sif" netns "$srv" type veth peer name "$cif" netns "$cli"
for ns_if_addr in "$srv $sif 10.77.0.1" "$cli $cif 10.77.0.2"; do
    set -- $ns_if_addr
    ip -n "$1" addr add "$3/24" dev "$2"
    ip -n "$1" link set lo up
    ip -n "$1" link set "$2" up
done

# --- the tray (a second try when the first does not come up) ----------------------------
for _ in 1 2; do
    trayer --edge bottom --align right --widthtype pixel --width 200 --height 28 \
        --transparent false --tint 0xc0c0c0 >>"$work/trayer.log" 2>&1 &
    pids+=($!)
    wait_until 15 xdotool search --name '^panel$' >/dev/null && break
    kill "$!" 2>/dev/null
done
xdotool search --name '^panel$' >/dev/null ||
    { fail "no tray: $(tail -c 300 "$work/trayer.log")"; exit 1; }

# --- the program's folder and its own Wine prefix ---------------------------------------
mkdir -p "$work/app" "$work/prefix"
cp "$exe" "$work/app/tarnleaf.exe"
printf '%s\r\n' '[02-00-00-77-00-02]' 'BootFile=pxelinux.0' 'HostIP=10.77.0.50' \
    'SubnetMask=255.255.255.0' 'ServerIdentifier=10.77.0.1' 'IPAddressLeaseTime=3600' \
    >"$work/app/Tarnleaf.ini"
if ! cp -al "$template/." "$work/prefix/" 2>/dev/null; then
    rm -rf "$work/prefix" && mkdir -p "$work/prefix" && cp -a "$template/." "$work/prefix/"
fi
for reg in system.reg user.reg userdef.reg; do
    [[ -f "$template/$reg" ]] && { rm -f "$work/prefix/$reg"; cp "$template/$reg" "$work/prefix/$reg"; }
done
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

in_srv() { ip netns exec "$srv" "$@"; }
# Japanese menu texts and the log view's face, from the Noto CJK fonts where installed.
in_srv timeout 60 "$wine" reg add \
    'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
    /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP' /f >/dev/null 2>&1
in_srv timeout 60 "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v 'ＭＳ ゴシック' /d 'Noto Sans Mono CJK JP' /f >/dev/null 2>&1

# start NAME [timeout SECONDS] ARGS...: runs the program from its folder in the server
# namespace; its PID lands in the variable NAME.
start() {
    local name=$1
    shift
    (cd "$work/app" && exec ip netns exec "$srv" "$@") >"$work/$name.out" 2>&1 &
    pids+=($!)
    printf -v "$name" '%s' "$!"
}
# discover ARGS...: a DHCPDISCOVER from the client namespace; prints the replies seen.
discover() {
    ip netns exec "$cli" timeout 30 /usr/bin/python3 "$here/../bootp_client.py" --iface "$cif" \
        --to 255.255.255.255:67 --dhcp-type 1 --timeout 6 --stop-after 1 "$@" 2>&1
}
port_bound() { in_srv ss -Hulpn 'sport = :67' | grep -q tarnleaf; }
read_view() { "$wine" "$reader" 2>/dev/null | tr -d '\r'; }
main_window() { xdotool search --onlyvisible --name '^Tarnleaf - Verion 0.1b$' 2>/dev/null | head -n 1; }
main_window_visible() { [[ -n "$(main_window)" ]]; }
main_window_hidden() { ! main_window_visible; }
screenshot() { import -window root "$shots/screenshot-windows$1.png" 2>/dev/null; }

# The icon: green pixels of the leaf in the tray's corner of the screen.
green_pixels() {
    import -window root -crop 200x28+824+740 +repage "$work/tray.png" 2>/dev/null
    convert "$work/tray.png" -fuzz 20% -fill black +opaque '#008000' -fill white \
        -opaque '#008000' -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null || echo 0
}
icon_shown() { (($(green_pixels) > 10)); }
icon_gone() { (($(green_pixels) == 0)); }

# The pop-up menu: a new visible window of the program that is not the main window. Its
# items are evenly spaced: 設定, ログ, 終了.
menu_geometry() {
    local id
    for id in $(xdotool search --onlyvisible --classname 'tarnleaf.exe' 2>/dev/null); do
        [[ "$(xdotool getwindowname "$id" 2>/dev/null)" == "Tarnleaf - Verion 0.1b" ]] && continue
        xdotool getwindowgeometry --shell "$id" 2>/dev/null | tr '\n' ' '
        return 0
    done
    return 1
}
open_menu() {
    for _ in 1 2 3; do
        xdotool mousemove "$icon_x" "$icon_y" click 3
        wait_until 5 menu_geometry >/dev/null || continue
        eval "$(menu_geometry)"
        menu_x=$X menu_y=$Y menu_w=$WIDTH menu_h=$HEIGHT
        return 0
    done
    return 1
}
click_item() {
    local item_h=$((menu_h / 3))
    xdotool mousemove $((menu_x + menu_w / 2)) $((menu_y + item_h * $1 + item_h / 2)) click 1
}

# --- start: port 67 bound, the icon in the tray, the window hidden ----------------------
start first "$wine" "$work/app/tarnleaf.exe"
check "port 67 bound" wait_until 60 port_bound || exit 1
check "tray icon shown" wait_until 40 icon_shown || exit 1
# Where the icon is: the middle of the green area.
read -r gw gh gx gy <<<"$(convert "$work/tray.png" -fuzz 20% -fill black +opaque '#008000' \
    -trim -format '%w %h %X %Y' info: 2>/dev/null)"
icon_x=$((824 + ${gx#+} + gw / 2))
icon_y=$((740 + ${gy#+} + gh / 2))
check "window hidden at start" main_window_hidden
if check "right click opens the pop-up menu" open_menu; then
    click_item 0
    check "設定 shows the window" wait_until 20 main_window_visible
fi

# --- a DHCPDISCOVER is answered with an OFFER and both show in the log -------------------
reply=$(discover --broadcast-flag)
offered() {
    grep -q '"op": 2' <<<"$reply" && grep -q '"53": "02"' <<<"$reply" &&
        grep -q '"from": "10.77.0.1:67"' <<<"$reply" && grep -q '"yiaddr": "10.77.0.50"' <<<"$reply"
}
check "DHCPDISCOVER answered with an OFFER from 10.77.0.1:67" offered || echo "$reply"
log_has_both() {
    local text
    text=$(read_view)
    grep -q 'Message type \[BOOTREQUEST\]' <<<"$text" && grep -q 'Message type \[BOOTREPLY\]' <<<"$text"
}
check "request and reply dumps in the log" wait_until 20 log_has_both || read_view | head -40
read_view | grep -q 'Message Send Error' && fail "a send error in the log"
screenshot ""

# --- "Edit Config" offers Tarnleaf.ini to the editor that opens .ini files -----------------
window=$(main_window)
if [[ -n "$window" ]]; then
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The button's middle: 120 + 1695/2 twips from the left, 4320 + 375/2 from the top of the
    # client area, at 15 twips per pixel (96 dpi).
    xdotool mousemove $((X + 64)) $((Y + 300)) click 1
    editor() { xdotool search --onlyvisible --name 'Tarnleaf\.ini' 2>/dev/null | head -n 1; }
    editor_open() { [[ -n "$(editor)" ]]; }
    check "Edit Config opens Tarnleaf.ini" wait_until 30 editor_open &&
        xdotool windowkill "$(editor)" 2>/dev/null
fi

# --- a second start ends at once with exit code 0, the first runs on ----------------------
start second timeout 30 "$wine" "$work/app/tarnleaf.exe"
exit_code "$second"
check "a second start ends at once (exit code $code)" test "$code" = 0
first_runs_on() { ! ended "$first" && port_bound; }
check "the first runs on" first_runs_on

# --- 終了 ends the program and takes the icon away --------------------------------------
# Without a window manager the shown window may cover the tray; the user drags it aside.
window=$(main_window)
[[ -n "$window" ]] && xdotool windowmove "$window" 80 60
sleep 0.5
if check "the pop-up menu opens again" open_menu; then
    screenshot -menu
    click_item 2
    check "終了 ends the program" wait_until 30 ended "$first"
    check "the icon is removed" wait_until 10 icon_gone
fi

# --- port 67 taken: a message says why, the program ends with exit code 1 ----------------
ip netns exec "$srv" timeout 60 /usr/bin/python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 67))
open("'"$work"'/holder-ready", "w").close()
time.sleep(55)' &
holder=$!
pids+=($holder)
wait_until 10 test -e "$work/holder-ready" || fail "could not hold port 67"
start third timeout 60 "$wine" "$work/app/tarnleaf.exe"
error_box() { xdotool search --onlyvisible --name '^Tarnleaf$' 2>/dev/null | head -n 1; }
error_box_shown() { [[ -n "$(error_box)" ]]; }
check "port 67 in use: the program says so" wait_until 40 error_box_shown && screenshot -port-in-use
# The user presses Enter on the message (again, if a busy screen swallowed the key).
for _ in 1 2 3 4 5; do
    box=$(error_box)
    [[ -z "$box" ]] && break
    timeout 5 xdotool windowfocus "$box" 2>/dev/null
    timeout 5 xdotool key --window "$box" Return 2>/dev/null
    wait_until 5 ended "$third" && break
done
exit_code "$third"
check "and ends with exit code 1 (got $code)" test "$code" = 1
check "no icon left behind" wait_until 10 icon_gone
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null

((failures)) && { echo "$failures check(s) failed"; exit 1; }
echo "passed: desktop smoke test"
