#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG drawings (needs
# rsvg-convert, Debian package librsvg2-bin). The PNGs are kept in the
# repository, so building needs no renderer; run this after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"

name=org.tomekeeper.Tomekeeper
render() { # size drawing
    mkdir -p "hicolor/$1x$1/apps"
    rsvg-convert --width "$1" --height "$1" "$2" --output "hicolor/$1x$1/apps/$name.png"
}

# The smallest sizes have their own drawings on a pixel grid; the big drawing
# turns to mush below 32 pixels.
render 16 small/16.svg
render 22 small/24.svg
render 24 small/24.svg
for size in 32 48 64 128 256; do
    render "$size" "$name.svg"
done
