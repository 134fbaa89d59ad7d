#!/usr/bin/env bash
# Smoke test of tarnleaf.exe under Wine on a virtual X screen with a tray (Xvfb + trayer):
#   desktop_smoke.sh PATH/tarnleaf.exe
# Environment: TARNLEAF_WINE_TEMPLATE (an initialised Wine prefix), TARNLEAF_READ_LOG_VIEW
# (the helper that prints the log view's text), TARNLEAF_SCREENSHOTS (a folder for the
# screenshots; default: beside the program).
# As root, in network namespaces made here (addresses only inside them): the program binds
# port 67, its icon appears in the tray, a right click opens the pop-up menu, "設定" shows
# the window, a DHCPDISCOVER from the client namespace is answered with an OFFER broadcast
# to port 68 and both show in the log, "Edit Config" opens Tarnleaf.ini in an editor, a
# second start ends at once, "終了" ends the program and takes the icon away; with port 67
# taken it says so and ends with exit code 1; started with -nolog it answers but logs nothing.
# Exit 0 passed, 1 failed, 77 skipped. Every wait is bounded.
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

tag="$$"
srv="tlWs$tag" cli="tlWc$tag" sif="tlws$tag" cif="tlwc$tag"
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnleaf-desktop.XXXXXX")
pids=()
failures=0

cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null
    done
    if [[ -d "$work/prefix" ]]; then
        WINEPREFIX=$work/prefix timeout 10 wineserver -k >/dev/null 2>&1
        WINEPREFIX=$work/prefix timeout 10 wineserver -w >/dev/null 2>&1
    fi
    ip netns delete "$srv" 2>/dev/null
    ip netns delete "$cli" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# wait_until SECONDS COMMAND...: polls every 0.2 s until COMMAND succeeds; false on timeout.
wait_until() {
    local limit=$1
    shift
    local tries=$((limit * 5))
    for _ in $(seq 1 "$tries"); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# --- namespaces: the server side and a client joined by a veth pair ---------------------
ip netns add "$srv" || skip "cannot create a network namespace"
ip netns add "$cli"
ip link add "$sif" netns "$srv" type veth peer name "$cif" netns "$cli"
ip -n "$srv" addr add 10.77.0.1/24 dev "$sif"
ip -n "$cli" addr add 10.77.0.2/24 dev "$cif"
for ns_if in "$srv $sif" "$cli $cif"; do
    set -- $ns_if
    ip -n "$1" link set lo up
    ip -n "$1" link set "$2" up
done

# --- the X screen with a tray -----------------------------------------------------------
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 5>&-
wait_until 20 test -s "$work/display" || { fail "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
tray_up=0
for _ in 1 2; do
    trayer --edge bottom --align right --widthtype pixel --width 200 --height 28 \
        --transparent false --tint 0xc0c0c0 >>"$work/trayer.log" 2>&1 &
    trayer=$!
    pids+=($trayer)
    if wait_until 15 xdotool search --name '^panel$' >/dev/null; then
        tray_up=1
        break
    fi
    kill "$trayer" 2>/dev/null
done
if ((!tray_up)); then
    fail "no tray on $DISPLAY: $(tail -c 300 "$work/trayer.log"); Xvfb $(kill -0 "${pids[0]}" 2>/dev/null && echo running || echo gone)"
    exit 1
fi

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

# --- start -------------------------------------------------------------------------------
(cd "$work/app" && exec ip netns exec "$srv" "$wine" "$work/app/tarnleaf.exe") \
    >"$work/first.out" 2>&1 &
first=$!
pids+=($first)

port_bound() { ip netns exec "$srv" ss -Hulpn 'sport = :67' | grep -q tarnleaf; }
if wait_until 60 port_bound; then pass "port 67 bound"; else fail "port 67 not bound"; exit 1; fi

# The icon: green pixels of the leaf in the tray's corner of the screen.
tray_shot() { import -window root -crop 200x28+824+740 +repage "$work/tray.png" 2>/dev/null; }
green_pixels() {
    tray_shot
    convert "$work/tray.png" -fuzz 20% -fill black +opaque '#008000' -fill white \
        -opaque '#008000' -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null || echo 0
}
icon_shown() { (($(green_pixels) > 10)); }
icon_gone() { (($(green_pixels) == 0)); }
if wait_until 40 icon_shown; then pass "tray icon shown"; else fail "no tray icon"; exit 1; fi

# Where the icon is: the middle of the green area.
geometry=$(convert "$work/tray.png" -fuzz 20% -fill black +opaque '#008000' -trim \
    -format '%w %h %X %Y' info: 2>/dev/null)
read -r gw gh gx gy <<<"$geometry"
icon_x=$((824 + ${gx#+} + gw / 2))
icon_y=$((740 + ${gy#+} + gh / 2))

main_window_visible() { xdotool search --onlyvisible --name '^Tarnleaf - Verion 0.1b$' >/dev/null; }
if main_window_visible; then fail "the window is visible after start"; else pass "window hidden at start"; fi

# The pop-up menu: a new visible window of the program that is not the main window.
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
    local attempt
    for attempt in 1 2 3; do
        xdotool mousemove "$icon_x" "$icon_y" click 3
        if wait_until 5 menu_geometry >/dev/null; then
            eval "$(menu_geometry)"
            menu_x=$X menu_y=$Y menu_w=$WIDTH menu_h=$HEIGHT
            return 0
        fi
    done
    return 1
}
# Items are evenly spaced: 設定, ログ, 終了.
click_item() {
    local index=$1 item_h=$((menu_h / 3))
    xdotool mousemove $((menu_x + menu_w / 2)) $((menu_y + item_h * index + item_h / 2)) click 1
}

if open_menu; then
    pass "right click opens the pop-up menu"
    click_item 0
    if wait_until 20 main_window_visible; then pass "設定 shows the window"; else fail "設定 did not show the window"; fi
else
    fail "no pop-up menu on a right click"
fi

# --- a DHCPDISCOVER from the client -------------------------------------------------------
reply=$(ip netns exec "$cli" timeout 30 /usr/bin/python3 "$here/../bootp_client.py" \
    --iface "$cif" --to 255.255.255.255:67 --dhcp-type 1 --broadcast-flag --timeout 6 \
    --stop-after 1 2>&1)
if grep -q '"op": 2' <<<"$reply" && grep -q '"53": "02"' <<<"$reply" &&
    grep -q '"from": "10.77.0.1:67"' <<<"$reply" && grep -q '"yiaddr": "10.77.0.50"' <<<"$reply"; then
    pass "DHCPDISCOVER answered with an OFFER from 10.77.0.1:67"
else
    fail "no OFFER: $reply"
fi
read_view() { "$wine" "$reader" 2>/dev/null | tr -d '\r'; }
log_has_both() {
    local text
    text=$(read_view)
    grep -q 'Message type \[BOOTREQUEST\]' <<<"$text" && grep -q 'Message type \[BOOTREPLY\]' <<<"$text"
}
if wait_until 20 log_has_both; then
    pass "request and reply dumps in the log"
else
    fail "log view lacks the dumps: $(read_view | head -40)"
fi
if read_view | grep -q 'Message Send Error'; then fail "a send error in the log"; fi
import -window root "$shots/screenshot-windows.png" 2>/dev/null

# --- "Edit Config" offers Tarnleaf.ini to the editor that opens .ini files -----------------
window=$(xdotool search --onlyvisible --name '^Tarnleaf - Verion 0.1b$' 2>/dev/null | head -n 1)
if [[ -n "$window" ]]; then
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The button's middle: 120 + 1695/2 twips from the left, 4320 + 375/2 from the top of the
    # client area, at 15 twips per pixel (96 dpi).
    xdotool mousemove $((X + 64)) $((Y + 300)) click 1
    editor() { xdotool search --onlyvisible --name 'Tarnleaf\.ini' 2>/dev/null | head -n 1; }
    editor_open() { [[ -n "$(editor)" ]]; }
    if wait_until 30 editor_open; then
        pass "Edit Config opens Tarnleaf.ini"
        xdotool windowkill "$(editor)" 2>/dev/null
    else
        fail "Edit Config opened no editor"
    fi
fi

# --- a second start ends at once, the first runs on ----------------------------------------
(cd "$work/app" && exec ip netns exec "$srv" timeout 30 "$wine" "$work/app/tarnleaf.exe") \
    >"$work/second.out" 2>&1 &
second=$!
pids+=($second)
second_ended() { ! kill -0 "$second" 2>/dev/null; }
if wait_until 40 second_ended; then
    wait "$second"
    code=$?
    if ((code == 0)); then pass "a second start ends at once"; else fail "second start exit code $code"; fi
else
    fail "the second start keeps running"
fi
if kill -0 "$first" 2>/dev/null && port_bound; then pass "the first runs on"; else fail "the first instance is gone"; fi

# --- 終了 ends the program and takes the icon away --------------------------------------
# Without a window manager the shown window may cover the tray; the user drags it aside.
window=$(xdotool search --onlyvisible --name '^Tarnleaf - Verion 0.1b$' 2>/dev/null | head -n 1)
[[ -n "$window" ]] && xdotool windowmove "$window" 80 60
sleep 0.5
if open_menu; then
    import -window root "$shots/screenshot-windows-menu.png" 2>/dev/null
    click_item 2
    first_ended() { ! kill -0 "$first" 2>/dev/null; }
    if wait_until 30 first_ended; then pass "終了 ends the program"; else fail "終了 did not end the program"; fi
    if wait_until 10 icon_gone; then pass "the icon is removed"; else fail "the icon stays"; fi
else
    fail "no pop-up menu for 終了"
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
(cd "$work/app" && exec ip netns exec "$srv" timeout 60 "$wine" "$work/app/tarnleaf.exe") \
    >"$work/third.out" 2>&1 &
third=$!
pids+=($third)
error_box() { xdotool search --onlyvisible --name '^Tarnleaf$' 2>/dev/null | head -n 1; }
error_box_shown() { [[ -n "$(error_box)" ]]; }
if wait_until 40 error_box_shown; then
    pass "port 67 in use: the program says so"
    import -window root "$shots/screenshot-windows-port-in-use.png" 2>/dev/null
else
    fail "no message when port 67 is in use"
fi
third_ended() { ! kill -0 "$third" 2>/dev/null; }
# The user presses Enter on the message (again, if a busy screen swallowed the key).
for _ in 1 2 3 4 5; do
    box=$(error_box)
    [[ -z "$box" ]] && break
    timeout 5 xdotool windowfocus "$box" 2>/dev/null
    timeout 5 xdotool key --window "$box" Return 2>/dev/null
    wait_until 5 third_ended && break
done
if wait_until 30 third_ended; then
    wait "$third"
    code=$?
    if ((code == 1)); then pass "and ends with exit code 1"; else fail "exit code $code when port 67 is in use"; fi
else
    fail "the program keeps running without its port"
fi
if wait_until 10 icon_gone; then pass "no icon left behind"; else fail "an icon stays after the failed start"; fi
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null

# --- "-nolog" (any letter case): requests are answered, nothing is logged -----------------
(cd "$work/app" && exec ip netns exec "$srv" "$wine" "$work/app/tarnleaf.exe" -nolog) \
    >"$work/fourth.out" 2>&1 &
fourth=$!
pids+=($fourth)
if wait_until 60 port_bound && wait_until 40 icon_shown; then
    reply=$(ip netns exec "$cli" timeout 30 /usr/bin/python3 "$here/../bootp_client.py" \
        --iface "$cif" --to 255.255.255.255:67 --dhcp-type 1 --timeout 6 --stop-after 1 2>&1)
    if grep -q '"53": "02"' <<<"$reply"; then pass "-nolog: still answered"; else fail "-nolog: no OFFER: $reply"; fi
    sleep 0.5
    if "$wine" "$reader" >"$work/view.txt" 2>/dev/null && [[ ! -s "$work/view.txt" ]]; then
        pass "-nolog: nothing logged"
    else
        fail "-nolog: no empty log view: $(head -5 "$work/view.txt")"
    fi
    if open_menu; then
        click_item 2
        fourth_ended() { ! kill -0 "$fourth" 2>/dev/null; }
        wait_until 20 fourth_ended || fail "-nolog: 終了 did not end the program"
    else
        fail "-nolog: no pop-up menu"
    fi
else
    fail "-nolog: the program did not start"
fi

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "passed: desktop smoke test"
exit 0
