#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when they are missing:
# libsodium (found through pkg-config), GoogleTest, a C++ compiler and CMake,
# zlib (orvex-audit reads gzip logs) and logrotate (its recipe is tested).
set -euo pipefail

missing=()
command -v pkg-config >/dev/null 2>&1 || missing+=(pkg-config)
pkg-config --exists libsodium 2>/dev/null || missing+=(libsodium-dev)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v make >/dev/null 2>&1 || missing+=(make)
[ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
[ -x /usr/sbin/logrotate ] || missing+=(logrotate)

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing system packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
