#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail

# clang and its runtime libraries (libFuzzer, the sanitizers) build the fuzz targets.
packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libjpeg-dev
          qt6-base-dev libqcustomplot-dev libgl-dev clang-format clang libclang-rt-14-dev)
if [[ "${1:-}" == "--with-bench" ]]; then
    packages+=(libbenchmark-dev)
fi

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
