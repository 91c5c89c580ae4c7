#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12. Only missing packages are fetched.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev qt6-qpa-plugins qt6-translations-l10n
    qt6-l10n-tools qt6-tools-dev   # lrelease and its CMake functions: the English translation
    xvfb xauth x11-utils xdotool imagemagick
    vlc-bin vlc-plugin-base ffmpeg
    xdg-utils shared-mime-info desktop-file-utils fonts-dejavu-core
    python3 util-linux procps
    strace   # counts the real program's writes and kills it at each of them in the tests
    libssl-dev   # libcrypto: the Ed25519 signatures of updates
    qt6-httpserver-dev qt6-websockets-dev libqrencode-dev   # the web remote: its server, live updates, QR code
)
packages+=(passwd)   # useradd: the real VLC runs as an ordinary test user
# the Debian package: made by CPack with dpkg-shlibdeps, checked, installed and purged by the tests
packaging=(dpkg-dev file)
packages+=("${packaging[@]}" lintian appstream iproute2)
# several PCs and service discovery in network namespaces: scripts/netlab.sh, scripts/avahi-lab.sh;
# dbus also gives the discovery unit test its private bus (QtDBus itself comes with qt6-base-dev)
packages+=(iputils-ping avahi-daemon avahi-utils dbus)
# the strangers stage times the window's answers to pings from outside the program
packages+=(python3-xlib)
# the web remote's stage drives headless Chromium through its DevTools protocol
packages+=(chromium python3-websocket)
run_only=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev qt6-qpa-plugins qt6-translations-l10n
          qt6-l10n-tools qt6-tools-dev libssl-dev qt6-httpserver-dev qt6-websockets-dev libqrencode-dev
          xdg-utils shared-mime-info fonts-dejavu-core)
# benchmarks and profiling (scripts/bench.sh, bench/startup.sh, docs/performance.md): a watcher of
# X events for the start-up times, perf and callgrind for the profiles
bench_only=(linux-perf valgrind)
case "${1:-}" in
--bench) packages+=("${bench_only[@]}") ;;
--run-only) packages=("${run_only[@]}" vlc) ;;
--package) packages=("${run_only[@]}" "${packaging[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -q
    # Tests start their own avahi-daemon inside namespaces. On a machine without an init system
    # the package must not start one for the whole machine, announcing it on the real network.
    guard=false
    if [[ ! -d /run/systemd/system && ! -e /usr/sbin/policy-rc.d ]]; then
        printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee /usr/sbin/policy-rc.d >/dev/null &&
            "${sudo_cmd[@]}" chmod 755 /usr/sbin/policy-rc.d && guard=true
    fi
    status=0
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}" ||
        status=$?
    $guard && "${sudo_cmd[@]}" rm -f /usr/sbin/policy-rc.d
    exit $status
fi
