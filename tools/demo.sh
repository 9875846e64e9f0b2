#!/usr/bin/env bash
# A demo without devices: a dozen emulated devices behind a veth pair, the
# program on its near end. Needs root (network namespace, raw frames).
# Usage: tools/demo.sh [NUMBER_OF_DEVICES]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR,QT_QPA_PLATFORM "$0" "$@"
fi

devices=${1:-12}
[ $# -gt 0 ] && shift
namespace=orvane-demo
near=orvdemo0
far=orvdemo1

bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target orvane orvane-emulator orvane_language

work=$(mktemp -d /tmp/orvane-demo.XXXXXX)
emulator_pid=
cleanup() {
    [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null || true
    ip link del "$near" 2>/dev/null || true
    ip netns del "$namespace" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Leftovers of a demo that was killed.
ip link del "$near" 2>/dev/null || true
ip netns del "$namespace" 2>/dev/null || true

ip netns add "$namespace"
ip link add "$near" type veth peer name "$far" netns "$namespace"
ip addr add 198.18.0.1/15 dev "$near"
ip link set "$near" up
ip -n "$namespace" link set lo up
ip -n "$namespace" addr add 198.18.0.2/15 dev "$far"
ip -n "$namespace" link set "$far" up

# The firmware upgrade reaches each device's web interface at the device's own
# address. The emulator serves them all from the far end: the addresses go on
# its interface, and the near end must send to that interface's MAC. Search
# replies teach the near kernel each device's own MAC, which no interface
# owns, so the near end's neighbour entries are pinned to the far MAC.
far_mac=$(ip netns exec "$namespace" cat "/sys/class/net/$far/address")
addresses=$work/addresses
neighbours=$work/neighbours
: >"$addresses"
: >"$neighbours"
for i in $(seq "$devices"); do
    host=$((256 + i)) # the emulator's generated devices start at 198.18.1.1
    address="198.$((18 + ((host >> 16) & 1))).$(((host >> 8) & 255)).$((host & 255))"
    echo "addr add $address/15 dev $far" >>"$addresses"
    echo "neigh replace $address lladdr $far_mac nud permanent dev $near" >>"$neighbours"
done
ip -n "$namespace" -batch "$addresses"
ip -batch "$neighbours"

ip netns exec "$namespace" build/bin/orvane-emulator --interface "$far" --devices "$devices" --web \
    --log "$work/emulator.log" --ready-file "$work/ready" &
emulator_pid=$!
for _ in $(seq 100); do [ -f "$work/ready" ] && break; sleep 0.1; done

# A profile of its own that remembers the demo adapter, so the operator's own
# configuration and logs are left alone.
mkdir -p "$work/config/orvane"
printf '[General]\nnetwork=%s\n' "$near" > "$work/config/orvane/configure.ini"
echo "demo: $devices emulated devices on $near, web interfaces (admin/admin) at 198.18.1.1 and on;"
echo "demo: the emulator's command log is $work/emulator.log"
XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data" build/bin/orvane "$@" || true
