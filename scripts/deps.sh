#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12. Only missing packages are fetched.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev qt6-qpa-plugins qt6-translations-l10n
    xvfb xauth x11-utils xdotool imagemagick
    vlc-bin vlc-plugin-base ffmpeg
    xdg-utils shared-mime-info desktop-file-utils fonts-dejavu-core
    python3 util-linux procps
    strace   # counts the real program's writes and kills it at each of them in the tests
)
packages+=(passwd)   # useradd: the real VLC runs as an ordinary test user
# the Debian package: made by CPack with dpkg-shlibdeps, checked, installed and purged by the tests
packaging=(dpkg-dev file)
packages+=("${packaging[@]}" lintian appstream iproute2)
run_only=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev qt6-qpa-plugins qt6-translations-l10n
          xdg-utils shared-mime-info fonts-dejavu-core)
case "${1:-}" in
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
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
