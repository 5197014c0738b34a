#!/usr/bin/env bash
# Installs the Debian packages the build needs; packages already present are left alone.
# --bench adds what the benchmark comparisons load (zam-plugins' ZamTube), which the build and the tests
# do not need.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang
  zlib1g-dev liblz4-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libx11-dev
  libxcb1-dev libxcb-shm0-dev libxcb-xtest0-dev libxkbcommon-x11-dev libstb-dev fonts-dejavu-core
  libsndfile1-dev python3 xvfb
  lsp-plugins-vst dpf-plugins-vst
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(zam-plugins)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
