#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing.
#
#   install_system_deps.sh build    the module and orvex-audit (make demo): a C++
#                                   compiler, CMake, pkg-config, libsodium, zlib
#   install_system_deps.sh test     build, plus GoogleTest, logrotate, and
#                                   PostgreSQL's server and client library
#                                   (make test)
#   install_system_deps.sh wheels   the release wheels (make wheels): autotools to
#                                   build libsodium from Debian's source, LLVM's
#                                   strip, debootstrap for the Debian roots the
#                                   wheels are tested in, qemu-user
#   install_system_deps.sh cross DEBIAN_ARCH TRIPLE QEMU
#                                   the core's tests on another processor:
#                                   the cross compiler, the target's libsodium
#                                   and GoogleTest (multiarch), qemu-user
#
# Where apt-get cannot be used (another distribution, or no root and no
# sudo), it names the missing packages and stops.
set -euo pipefail

task=${1:-test}
python=${PYTHON:-python3}
missing=()
foreign_arch=""

need_build() {
  command -v g++ >/dev/null 2>&1 || missing+=(g++)
  command -v pkg-config >/dev/null 2>&1 || missing+=(pkg-config)
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  pkg-config --exists libsodium 2>/dev/null || missing+=(libsodium-dev)
  pkg-config --exists zlib 2>/dev/null || missing+=(zlib1g-dev)
  # Debian's interpreter makes virtual environments only with python3-venv.
  "$python" -c "import ensurepip, venv" >/dev/null 2>&1 || missing+=(python3-venv)
}

need_test() {
  need_build
  [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  # The log rotation recipe in examples/ is tested with the real logrotate.
  [ -x /usr/sbin/logrotate ] || missing+=(logrotate)
  # PostgresLedger's tests start a throwaway cluster with the server's own
  # programs, and talk to it through libpq.
  compgen -G "/usr/lib/postgresql/*/bin/initdb" >/dev/null || missing+=(postgresql)
  { ldconfig -p 2>/dev/null || /sbin/ldconfig -p 2>/dev/null; } | grep -q "libpq\.so\.5 " || missing+=(libpq5)
}

need_wheels() {
  need_build
  local tool
  for tool in autoreconf:autoconf aclocal:automake libtoolize:libtool patch:patch curl:curl \
      llvm-strip:llvm debootstrap:debootstrap qemu-aarch64:qemu-user; do
    command -v "${tool%%:*}" >/dev/null 2>&1 || [ -x "/usr/sbin/${tool%%:*}" ] || missing+=("${tool#*:}")
  done
}

need_cross() {
  local arch=$1 triple=$2 qemu=$3
  command -v "$triple-g++" >/dev/null 2>&1 || missing+=("g++-$triple")
  [ -f "/usr/lib/$triple/libsodium.so" ] || missing+=("libsodium-dev:$arch")
  [ -f "/usr/lib/$triple/libgtest.a" ] || missing+=("libgtest-dev:$arch")
  command -v "$qemu" >/dev/null 2>&1 || missing+=(qemu-user)
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  if ! dpkg --print-foreign-architectures 2>/dev/null | grep -qx "$arch"; then
    foreign_arch=$arch
  fi
}

case "$task" in
  build) need_build ;;
  test) need_test ;;
  wheels) need_wheels ;;
  cross) need_cross "$2" "$3" "$4" ;;
  *) echo "usage: $0 build|test|wheels|cross DEBIAN_ARCH TRIPLE QEMU" >&2; exit 2 ;;
esac

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
if ! command -v apt-get >/dev/null 2>&1 || { [ -n "$sudo" ] && ! command -v sudo >/dev/null 2>&1; }; then
  echo "missing: ${missing[*]} (Debian/Ubuntu package names)." >&2
  echo "apt-get cannot be used here; install them by hand (see README: what a source build needs), then run make again." >&2
  exit 1
fi

echo "installing system packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$foreign_arch" ]; then
  $sudo dpkg --add-architecture "$foreign_arch"
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
