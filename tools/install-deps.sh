#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail

packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libjpeg-dev nlohmann-json3-dev
          libsqlite3-dev qt6-base-dev qt6-svg-dev libqcustomplot-dev libgl-dev clang-format)
for option in "$@"; do
    case "$option" in
        --with-bench) packages+=(libbenchmark-dev) ;;
        # clang and its runtime libraries (libFuzzer, the sanitizers) build the fuzz targets.
        --with-fuzz) packages+=(clang libclang-rt-14-dev) ;;
        # Building and checking the Debian package (tools/check-package.sh).
        --with-package) packages+=(dpkg-dev file lintian desktop-file-utils man-db) ;;
        *) echo "install-deps: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
