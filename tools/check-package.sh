#!/usr/bin/env bash
# Builds the Debian package (Release, programs only), lists it, checks it with lintian, installs
# it with apt-get, starts the command-line tool and the window from their installed paths with a
# fresh home folder, and removes the package again, checking that nothing of it is left.
# Usage: tools/check-package.sh [build folder]   (default: build-package; root or sudo needed)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
bash tools/install-deps.sh --with-package

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    sudo="sudo"
fi
home=$(mktemp -d)
installed_here=0
cleanup() {
    if ((installed_here)) && dpkg-query -W -f='${Status}' quorbel-decoder 2>/dev/null |
            grep -q "install ok installed"; then
        $sudo apt-get remove -y -qq quorbel-decoder >/dev/null || true
    fi
    rm -rf "$home"
}
trap cleanup EXIT
fail() {
    echo "check-package: $*" >&2
    exit 1
}

echo "== build (Release) and cpack -G DEB"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# Debian's own compiler and linker flags (hardening), as a package build gets them.
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DQUORBEL_BUILD_TESTS=OFF -DQUORBEL_BUILD_GUI=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/quorbel-decoder_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(realpath "$build"/quorbel-decoder_*.deb)

echo "== contents of $(basename "$deb")"
dpkg -c "$deb"
dpkg-deb -f "$deb" Package Version Section Depends
listing=$(dpkg -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for path in /usr/bin/quorbel-decoder /usr/bin/quorbel-cli /usr/bin/ssdv \
    /usr/bin/quorbel-kiss-replay /usr/share/applications/quorbel-decoder.desktop \
    /usr/share/icons/hicolor/scalable/apps/quorbel-decoder.svg \
    /usr/share/icons/hicolor/16x16/apps/quorbel-decoder.png \
    /usr/share/icons/hicolor/256x256/apps/quorbel-decoder.png \
    /usr/share/man/man1/quorbel-cli.1.gz /usr/share/man/man1/ssdv.1.gz \
    /usr/share/man/man1/quorbel-kiss-replay.1.gz \
    /usr/share/doc/quorbel-decoder/examples/conf.ini /usr/share/doc/quorbel-decoder/copyright; do
    grep -qx "$path" <<<"$listing" || fail "$path is not in the package"
done
if [[ -x "$build/bin/quorbel-cli-live" ]]; then
    grep -qx /usr/libexec/quorbel-decoder/quorbel-cli-live <<<"$listing" ||
        fail "quorbel-cli-live is not in the package"
fi
depends=$(dpkg-deb -f "$deb" Depends)
grep -q libqt6widgets6 <<<"$depends" || fail "Depends lacks the Qt libraries"
grep -q libsqlite3-0 <<<"$depends" || fail "Depends lacks the SQLite library (the archive)"

echo "== desktop entry and manual pages"
desktop-file-validate packaging/quorbel-decoder.desktop
for page in packaging/man/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [[ -z "$warnings" ]] || fail "$page: $warnings"
done

echo "== lintian"
# Informational tags and warnings are shown; an error fails the check.
report=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$report"
if grep -q '^E: ' <<<"$report"; then
    fail "lintian reports errors"
fi

echo "== install"
if dpkg-query -W -f='${Status}' quorbel-decoder 2>/dev/null | grep -q "install ok installed"; then
    $sudo apt-get remove -y -qq quorbel-decoder >/dev/null
fi
installed_here=1
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null

echo "== the installed programs with a fresh home folder ($home)"
data="$home/.local/share/quorbel-decoder"
help=$(env -u XDG_DATA_HOME HOME="$home" /usr/bin/quorbel-cli --help)
grep -qx "application folder: $data" <<<"$help" || fail "quorbel-cli --help names no user folder"
env -u XDG_DATA_HOME -u DISPLAY HOME="$home" QT_QPA_PLATFORM=offscreen \
    timeout 60 /usr/bin/quorbel-decoder --quit-after-start ||
    fail "quorbel-decoder did not start and end by itself"
[[ -f "$data/conf.ini" ]] || fail "the window wrote no conf.ini into $data"
grep -q "^TCP_PORT" "$data/conf.ini" || fail "$data/conf.ini is not the example"
# The installed tool decodes a pass with a picture: the packets and the picture written by the
# installed ssdv land in the user folder.
env -u XDG_DATA_HOME HOME="$home" /usr/bin/quorbel-cli open-kiss samples/picture-pass.kss >/dev/null
[[ -s "$data/ssdv_007.bin" && -s "$data/ssdv_007.jpg" ]] ||
    fail "the picture of samples/picture-pass.kss is not in $data"
ls -l "$data"

echo "== remove"
DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq quorbel-decoder >/dev/null
installed_here=0
if dpkg-query -W -f='${Status}' quorbel-decoder 2>/dev/null | grep -q "install ok installed"; then
    fail "quorbel-decoder is still installed"
fi
left=0
while read -r path; do
    if [[ -n "$path" && ! "$path" =~ /$ && -e "$path" ]]; then
        echo "left behind: $path" >&2
        left=1
    fi
done <<<"$listing"
((left == 0)) || fail "files of the package are left after removal"
echo "package check passed: $(basename "$deb")"
