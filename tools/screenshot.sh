#!/bin/bash
# Takes docs/screenshot.png: quendle.exe under Wine on a virtual X display,
# with a system typed in as a person would and solved. Builds the Windows
# tree first.
#
# The picture is taken in a Wine prefix of its own (build/wine-screenshot)
# in which the window is not handed to a window manager (there is none on
# the virtual display), so that Wine draws the title bar and frame itself,
# as Windows would.
set -euo pipefail
cd "$(dirname "$0")/.."

out=docs/screenshot.png
export WINEPREFIX="$PWD/build/wine-screenshot"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# On the virtual display (the script calls itself there): start the program,
# wait for its window, take the picture of that window, end the program.
if [ "${1:-}" = --on-display ]; then
    cmake/wine-run build/windows/bin/quendle.exe &
    pid=$!
    id=""
    for _ in $(seq 60); do
        id=$(xwininfo -root -tree | awk '/"Quendle"/ { print $1; exit }')
        [ -n "$id" ] && break
        sleep 0.5
    done
    if [ -z "$id" ]; then
        echo "screenshot: the window did not appear" >&2
        kill "$pid"
        exit 1
    fi
    sleep 2 # let it paint
    # Clear, type a system with a heading, Solve (the keyboard goes to the
    # window under the pointer).
    xdotool mousemove 300 300 click 1
    xdotool key ctrl+e
    xdotool type --delay 20 $'Three unknowns:\n3 2 -4 3\n2 3 3 15\n5 -3 1 14\n'
    xdotool key ctrl+s
    sleep 1
    import -window "$id" "$out"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    exit 0
fi

packages="imagemagick x11-utils xdotool xvfb xauth fonts-wine"
missing=$(for p in $packages; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || echo "$p"
done)
if [ -n "$missing" ]; then
    echo "Installing:" $missing
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

make build-windows

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\AppDefaults\quendle.exe\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>&1
    wineserver -w
fi
# Wine's own fonts (Tahoma for menus and dialogs, Marlett for the caption
# buttons), where Debian's Wine does not look for them by itself.
for font in /usr/share/wine/fonts/*.ttf; do
    [ -e "$font" ] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done

mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 800x600x24" "$0" --on-display
wineserver -w
echo "Wrote $out ($(identify -format '%wx%h' "$out"))"
