#!/usr/bin/env bash
# Installs every Debian package that the program, its tools and its tests need.
# Only what is missing is installed; through sudo when not run as root.
set -euo pipefail

PACKAGES=(
    cmake g++ make pkg-config ccache
    clang libclang-rt-14-dev
    qtbase5-dev qtbase5-dev-tools libqt5dbus5
    libpcap-dev libcjson-dev libortp-dev
    libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
    libpulse-dev
    iproute2 procps libcap2-bin policykit-1 lintian
    ffmpeg pulseaudio ansible-core gcovr
    gstreamer1.0-tools gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
    fonts-dejavu-core fonts-wqy-microhei
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    SUDO=(sudo)
fi
echo "installing: ${missing[*]}"
"${SUDO[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
