#!/bin/sh
# Makes docs/window.png, the README's picture of the window after a demo run:
# a fresh demo library, the window on it in a virtual X display, the three
# check buttons clicked one after the other, then a picture of the screen.
# Needs a build in build/normal and the packages xvfb, xauth, xdotool and
# imagemagick.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/normal"
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
"$build/app/demo/dorvil-demo" --replace "$demo/library-demo" >/dev/null

xvfb-run --auto-servernum --server-args="-screen 0 900x700x24" sh -c '
    "$0" --dir "$1/library-demo/manager" &
    window=$!
    for _ in $(seq 1 100); do
        id=$(xdotool search --name "bokvard" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    xdotool windowmove "$id" 0 0
    sleep 1
    xdotool mousemove --window "$id" 41 20 click 1; sleep 3
    xdotool mousemove --window "$id" 379 20 click 1; sleep 3
    xdotool mousemove --window "$id" 460 20 click 1; sleep 2
    import -window "$id" "$2"
    kill "$window"
' "$build/app/dorvil" "$demo" "$root/docs/window.png"
echo "docs/window.png written"
