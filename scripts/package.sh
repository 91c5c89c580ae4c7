#!/usr/bin/env bash
# Makes the Debian package (mirovell_<version>_amd64.deb) from a release build with Debian's
# hardening flags; with --install it installs it too, with what it recommends (VLC).
# The last line printed is the package's path.
# Usage: scripts/package.sh [--install]
set -euo pipefail
cd "$(dirname "$0")/.."
install=false
case "${1:-}" in
--install) install=true ;;
"") ;;
*) echo "usage: scripts/package.sh [--install]" >&2; exit 2 ;;
esac

bash scripts/deps.sh --package
build=build/package
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON
# The package is stripped: no debugging information to build in the first place.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DMIROVELL_BUILD_TESTS=OFF -DMIROVELL_WERROR=$werror \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/mirovell_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$PWD/$build"/mirovell_*.deb)

if $install; then
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "$deb"
fi
echo "$deb"
