#!/bin/sh
# Retakes the README's pictures into docs/: at 1366 x 768, at a scale factor of 2
# on a 1920 x 1080 screen, and the rights bar. Needs root (network namespaces).
#   cmake --build build --target orvane-screenshots && sudo tools/screenshots/take.sh
set -e
cd "$(dirname "$0")/../.."
QT_QPA_PLATFORM=offscreen build/bin/orvane-screenshots docs
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 build/bin/orvane-screenshots docs
