#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target orvane orvane_language
program=build/bin/orvane
if [ "$(id -u)" -ne 0 ]; then
    # Raw frames need these two capabilities; a rebuild drops them again.
    if ! getcap "$program" | grep -q cap_net_raw; then
        sudo setcap cap_net_raw,cap_net_admin=eip "$program" || true
    fi
fi
exec "$program" "$@"
