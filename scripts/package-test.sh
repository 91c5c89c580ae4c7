#!/usr/bin/env bash
# The Debian package as a user meets it: build it, and again by the usual road (a plain cmake -B
# and cpack -G DEB) to the same files, check it with lintian, desktop-file-validate and
# appstreamcli, install it, start the installed program through its desktop entry as an ordinary
# user with a home of its own under Xvfb with a play list, ask it for an update, leave through the
# exit button and find the settings and the kept list in that user's ~/.config/Mirovell/; start it
# as root too and find nothing written beside the program; then purge the package and find nothing
# of it left in /usr, /etc or dpkg's records. Leaves the machine as it found it (package removed).
# Screenshots go to the folder printed first.
# Usage: scripts/package-test.sh
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
if [[ $(id -u) -ne 0 ]]; then
    exec sudo --preserve-env=CI,PACKAGE_SHOTS bash "$0" "$@"
fi
# Every start connects to the receiver in its settings: nothing may leave this machine.
if ip -o link show | grep -qv ': lo:'; then
    exec unshare --net bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
present() {   # whether dpkg knows the package in any state but gone
    local state
    state=$(dpkg-query -W -f='${db:Status-Status}' mirovell 2>/dev/null)
    [[ -n "$state" && "$state" != not-installed ]]
}
if present; then
    echo "package test: mirovell is installed on this machine; the test installs and purges it, so remove it first" \
        "(apt-get purge mirovell)"
    exit 1
fi

shots=${PACKAGE_SHOTS:-$(mktemp -d /tmp/mirovell-package-shots.XXXXXX)}
mkdir -p "$shots"
echo "package test: screenshots in $shots"
work=$(mktemp -d /tmp/mirovell-package.XXXXXX)
chmod 755 "$work"

passed=0
failed=0
source scripts/lib/checks.sh
running() { kill -0 "$1" 2>/dev/null; }
ended() { ! kill -0 "$1" 2>/dev/null; }
same() { [[ "$1" == "$2" ]] || { echo "        '$1' is not '$2'"; return 1; }; }
has() { grep -q -- "$2" <<<"$1" || { echo "        no '$2' in: $1"; return 1; }; }
lacks() { ! grep -q -- "$2" <<<"$1" || { echo "        '$2' in: $1"; return 1; }; }

installed_by_us=false
created_user=false
xvfb=
program=
cleanup() {
    [[ -n "$program" ]] && kill "$program" 2>/dev/null
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    $installed_by_us && present && dpkg --purge mirovell >/dev/null
    $created_user && userdel mirovell-test 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

echo "package test: build the package"
if ! bash scripts/package.sh >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    echo "package test: the package could not be built"
    exit 1
fi
deb=$(tail -n1 "$work/package.log")
check "the package is built as mirovell_<version>_amd64.deb" test -f "$deb"
[[ -f "$deb" ]] || exit 1
version=$(dpkg-deb -f "$deb" Version)
check "the package is named after the project's version" same "$(basename "$deb")" "mirovell_${version}_amd64.deb"

echo "package test: the same package by the usual road, a plain cmake and cpack -G DEB"
plain=$repo/build/package-plain
rm -f "$plain/CMakeCache.txt" "$plain"/mirovell_*.deb   # no choice of an earlier configure is kept
# only the tests are left out, which the package does not hold anyway
if (cmake -S . -B "$plain" -DMIROVELL_BUILD_TESTS=OFF && cmake --build "$plain" -j "$(nproc)" &&
    cd "$plain" && cpack -G DEB) >"$work/plain.log" 2>&1; then
    plain_deb=$(ls "$plain"/mirovell_*.deb)
    files() { dpkg-deb -c "$1" | awk '{print $6}' | sort; }
    check "its files all lie under /usr" same "$(files "$plain_deb" | grep -v -e '^\./$' -e '^\./usr/')" ""
    check "it holds the same files as the one of scripts/package.sh" same "$(files "$plain_deb")" "$(files "$deb")"
    check "lintian finds no error and no warning in it" lintian --fail-on error,warning "$plain_deb"
else
    cat "$work/plain.log"
    check "a plain cmake and cpack -G DEB make the package" false
fi

echo "package test: check it"
check "lintian finds no error and no warning" lintian --fail-on error,warning -I "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
check "the Qt libraries are dependencies" has "$depends" "libqt6widgets6 (>= "
check "VLC is no dependency" lacks "$depends" "vlc"
check "libcrypto, which checks the updates' signatures, is a dependency" has "$depends" "libssl3 (>= "
check "VLC is recommended" has "$(dpkg-deb -f "$deb" Recommends)" "vlc"
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/mirovell usr/libexec/mirovell/mirovell-updater usr/share/applications/de.mirovell.Mirovell.desktop \
    usr/share/metainfo/de.mirovell.Mirovell.metainfo.xml usr/share/icons/hicolor/scalable/apps/mirovell.svg \
    usr/share/icons/hicolor/48x48/apps/mirovell.png usr/share/man/man1/mirovell.1.gz usr/share/doc/mirovell/copyright; do
    check "the package holds /$f" has "$contents" " ./$f\$"
done
unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
check "desktop-file-validate passes" desktop-file-validate "$unpacked/usr/share/applications/de.mirovell.Mirovell.desktop"
check "appstreamcli validate passes" appstreamcli validate --no-net \
    "$unpacked/usr/share/metainfo/de.mirovell.Mirovell.metainfo.xml"
check "the changelog names the package's version" \
    same "$(zcat "$unpacked/usr/share/doc/mirovell/changelog.gz" | head -n1 | cut -d' ' -f2)" "($version)"
check "the AppStream data names the package's version" \
    grep -q "<release version=\"$version\"" "$unpacked/usr/share/metainfo/de.mirovell.Mirovell.metainfo.xml"

# An ordinary user with a home of its own; the test user of the other tests where there is one.
if ! id -u mirovell-test >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin mirovell-test && created_user=true
fi
user=mirovell-test
home=$work/home
mkdir -p "$home/runtime"
chmod 700 "$home" "$home/runtime"
printf '#EXTM3U\r\n/home/anna/Videos/Urlaub Teil 1.avi\r\n/home/anna/Musik/Lied für dich.mp3\r\n' >"$home/Meine Liste.m3u"
expected=$'#EXTM3U\r\n/home/anna/Videos/Urlaub Teil 1.avi\r\n/home/anna/Musik/Lied für dich.mp3\r'
chown -R "$user:" "$home"

# Only where the package writes: its files under /usr (the desktop's indexes too), /etc, and
# dpkg's records of it. Another program changing the machine meanwhile elsewhere (adding a user
# with a home, say) cannot fail the stage; dpkg's own churn there counts only where it names us.
snapshot() {
    { find /usr /etc 2>/dev/null; find /var/lib/dpkg 2>/dev/null | grep -i mirovell; } | sort
}
snapshot >"$work/before"

echo "package test: install it"
apt_get() {   # apt_get arguments...: quiet unless it fails
    DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; return 1; }
}
check "apt-get installs it" apt_get install --no-install-recommends "$deb"
installed_by_us=true
check "the program is in /usr/bin" test -x /usr/bin/mirovell
check "the desktop entry serves the play-list types" bash -c \
    'for t in audio/x-mpegurl application/vnd.apple.mpegurl audio/x-scpls; do
         grep -q "^$t=.*de.mirovell.Mirovell.desktop" /usr/share/applications/mimeinfo.cache || exit 1
     done'

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x640x24 3>"$work/display" 2>/dev/null &
xvfb=$!
wait_for 10 test -s "$work/display"
export DISPLAY=:$(cat "$work/display")
window_id() { xdotool search --sync --onlyvisible --name "VLC- Drag&Drop - Mirovell" 2>/dev/null | head -n1; }
window_open() { [[ -n $(window_id) ]]; }
shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
ended_message() { ! shown "^Programmupdate$"; }
click() {   # click x y: at a point of the window's client area, in pixels
    eval "$(xdotool getwindowgeometry --shell "$(window_id)")"
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
    sleep 0.6
}
shot() { import -window root "$shots/$1.png" 2>/dev/null; }
# Places at the window's start size (691 x 407 pixels), from the design rectangles.
EXIT="505 21"; UPDATE="483 362"

# Started as the desktop starts it: the entry's Exec line with the file for %f.
read -ra command < <(sed -n 's/^Exec=//p' /usr/share/applications/de.mirovell.Mirovell.desktop)
for i in "${!command[@]}"; do
    [[ ${command[i]} == %f ]] && command[i]="$home/Meine Liste.m3u"
done
start_as() {   # start_as user home: the installed program, in the background, as $program
    local uid gid
    uid=$(id -u "$1")
    gid=$(id -g "$1")
    setpriv --reuid="$uid" --regid="$gid" --clear-groups -- env -i HOME="$2" USER="$1" LOGNAME="$1" \
        PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$2/runtime" LANG=C.UTF-8 \
        "${command[@]}" &
    program=$!
}

echo "package test: the installed program, started by $user through its desktop entry"
start_as "$user" "$home"
check "the window opens" wait_for 20 window_open
sleep 1
shot 01-installed
win=$(window_id)
check "the caption carries the package's version" same "$(xdotool getwindowname "$win")" \
    "VLC- Drag&Drop - Mirovell   V. $version"
check "the window class is the desktop entry's StartupWMClass" has "$(xprop -id "$win" WM_CLASS)" \
    "\"$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/de.mirovell.Mirovell.desktop)\""
check "the window has its icon" has "$(xprop -id "$win" _NET_WM_ICON | head -c 100)" "Icon ("
check "it runs as $user" same "$(ps -o user= -p "$program" | tr -d ' ')" "$user"
config=$home/.config/Mirovell
check "the settings file is created at the first start in ~/.config/Mirovell/" test -f "$config/mirovell.ini"

echo "package test: Update"
click $UPDATE
check "Update says that the package management updates it" \
    wait_for 10 shown "^Programmupdate$"
sleep 0.5
shot 02-update
xdotool key Return
check "the message closes" wait_for 10 ended_message
check "the program runs on" running "$program"

echo "package test: exit button"
click $EXIT
check "the exit button ends the program" wait_for 10 ended "$program"
wait "$program"
check "with status 0" test $? -eq 0
program=
check "the settings are written" grep -q "AutoSavePlaylist=1" "$config/mirovell.ini"
check "the list is kept" same "$(cat "$config/mirovell_TmpPlst.m3u")" "$expected"
check "both belong to $user" same "$(stat -c %U "$config/mirovell.ini" "$config/mirovell_TmpPlst.m3u" | sort -u)" "$user"
check "one folder level: no ~/.config/Mirovell/Mirovell" test ! -e "$config/Mirovell"

echo "package test: root starts the installed program"
roothome=$work/root-home
mkdir -p -m 700 "$roothome/runtime"
command=(mirovell)
start_as root "$roothome"
check "the window opens for root" wait_for 20 window_open
sleep 1
click $EXIT
check "the exit button ends it" wait_for 10 ended "$program"
wait "$program"
check "with status 0" test $? -eq 0
program=
check "root's settings are in its ~/.config/Mirovell/" test -f "$roothome/.config/Mirovell/mirovell.ini"
check "nothing is written beside the program" bash -c '! ls /usr/bin/mirovell?* 2>/dev/null | grep -q .'

kill "$xvfb" 2>/dev/null
xvfb=

echo "package test: purge it"
check "apt-get purges it" apt_get purge mirovell
check "it is gone" eval '! present'
snapshot >"$work/after"
# New paths are left over unless another package owns them (someone else installed it meanwhile)
# or they are the desktop's indexes that the triggers rebuild, free of the package.
leftover=()
while IFS= read -r path; do
    dpkg-query -S "$path" >/dev/null 2>&1 && continue
    case "$path" in
    */mimeinfo.cache | */icon-theme.cache) grep -qai mirovell "$path" || continue ;;
    esac
    leftover+=("$path")
done < <(comm -13 "$work/before" "$work/after")
check "nothing of it is left in /usr, /etc or dpkg's records" same "${leftover[*]}" ""
check "nothing is removed that was there before" same "$(comm -23 "$work/before" "$work/after" | head -n5)" ""
check "the desktop's indexes no longer name it" bash -c \
    '! grep -ali mirovell /usr/share/applications/mimeinfo.cache /usr/share/icons/hicolor/icon-theme.cache 2>/dev/null'
installed_by_us=false

echo "package test: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
