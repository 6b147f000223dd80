#!/bin/sh
# Screenshots of the finder as a newcomer meets it, made under a virtual X server (Xvfb)
# with the keyboard only (xdotool) and the locale C.UTF-8, from the build tree's own
# executable in an empty folder without any catalogue:
#   docs/firstrun-chinese-buttons.png  the start-up box, its button in Chinese
#   docs/firstrun-building.png         the build's progress (the machine's apt lists)
#   docs/keyboard-search.png           F6, a file name typed, Tab and arrows to 文件名, Return
#   docs/install-command.png           rows selected with Shift+Down, "复制安装命令" from the
#                                      context menu (Menu key), pasted into the keyword field
# Under Xvfb a window that opens after the first ones (a box, a menu) shows black in xwd's
# picture, so the offer box and the menu themselves are not taken.
# Needs xvfb, openbox, xdotool, x11-apps (xwd) and netpbm; Chinese labels need a
# CJK font (fonts-noto-cjk). Environment: QUORVI_BUILD_DIR (default build).
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
build=${QUORVI_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$top/$build" ;; esac
work=$(mktemp -d)
display=:57
Xvfb "$display" -screen 0 900x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
finder=""
wm=""
trap 'kill $finder $wm $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY="$display"
sleep 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 1

shot() {
    sleep "${2:-1}"
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$top/docs/$1"
    echo "docs/$1"
}
keys() {
    for key in "$@"; do
        xdotool key --clearmodifiers "$key"
        sleep 0.3
    done
}

mkdir -p "$work/empty" "$work/home"
cd "$work/empty"
env -u LC_ALL -u LANGUAGE LANG=C.UTF-8 HOME="$work/home" XDG_CACHE_HOME="$work/home/.cache" \
    QT_QPA_PLATFORM=xcb "$build/app/quorvi" >/dev/null 2>&1 &
finder=$!
shot firstrun-chinese-buttons.png 3
keys Escape
xdotool search --sync --onlyvisible --name "Quorvi软件查找器" windowactivate --sync >/dev/null 2>&1
keys ctrl+l
xdotool type --delay 80 libc
keys Return
sleep 1
keys Return
shot firstrun-building.png 4
# Wait for the build (the status bar then names the catalogue).
while [ ! -s "$work/home/.cache/quorvi/os_pkg_list.db" ]; do sleep 1; done
sleep 2
keys F6
xdotool type --delay 80 libc.so.6
keys Tab Tab Right F6 Return
shot keyboard-search.png 2
keys Tab Tab Tab shift+Down shift+Down Menu Down Down Return F6 ctrl+v
shot install-command.png
