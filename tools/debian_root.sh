#!/usr/bin/env bash
# Makes (once) a minimal Debian root in which the Python suite runs against
# a wheel, and prints its path. The roots are cached outside the clone, so
# that later runs and fresh clones on the same machine reuse them.
#
#   debian_root.sh ARCH     ARCH: amd64 (glibc 2.31, the oldest release the
#                           archive still serves) or arm64 (run under qemu-user)
#
# A foreign root is unpacked by debootstrap --foreign and finished inside
# itself under qemu-aarch64-static, which binfmt_misc starts for every ARM
# program. Where binfmt_misc cannot be registered, the root is unpacked
# without its packages' scripts and the runner starts the interpreter under
# `qemu-aarch64-static -L ROOT` (tools/root_suite.sh).
set -euo pipefail

arch=${1:?usage: debian_root.sh amd64|arm64}
case "$arch" in amd64|arm64) ;; *) echo "debian_root: unknown architecture $arch (amd64 or arm64)" >&2; exit 2 ;; esac
suite=${ORVEX_ROOT_SUITE:-bullseye}
mirror=${ORVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${ORVEX_CACHE:-$HOME/.cache/orvex}
root="$cache/roots/$suite-$arch"
# What the suite needs in the root: the interpreter and venv, nm for the
# export test, logrotate for the rotation recipe, certificates for PyPI.
packages=python3,python3-venv,binutils,logrotate,ca-certificates

log() { echo "debian_root: $*" >&2; }

[ "$(id -u)" -eq 0 ] || { log "making a root needs root (debootstrap, chroot)"; exit 1; }
command -v debootstrap >/dev/null || { log "debootstrap is missing (tools/install_system_deps.sh roots)"; exit 1; }

# qemu-aarch64-static from Debian's package, unpacked into the cache: a
# static interpreter also runs inside a root that has no host libraries.
qemu_static() {
  local dir="$cache/qemu" deb
  if [ ! -x "$dir/usr/bin/qemu-aarch64-static" ]; then
    mkdir -p "$dir/deb"
    (cd "$dir/deb" && apt-get download -q qemu-user-static >/dev/null)
    deb=$(ls "$dir"/deb/qemu-user-static_*.deb | head -n 1)
    dpkg-deb -x "$deb" "$dir"
    rm -rf "$dir/deb"
  fi
  echo "$dir/usr/bin/qemu-aarch64-static"
}

# Registers qemu-aarch64-static with binfmt_misc (F: the kernel opens it
# once, so it runs inside any root); false when the kernel does not let us.
binfmt_aarch64() {
  local qemu=$1 dir=/proc/sys/fs/binfmt_misc
  [ -e "$dir/register" ] || mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null || return 1
  # Ours, or another registration that opens its interpreter once.
  [ -e "$dir/orvex-aarch64" ] && return 0
  grep -qs '^flags: .*F' "$dir/qemu-aarch64" && return 0
  printf '%s' ':orvex-aarch64:M::\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    > "$dir/register" 2>/dev/null || return 1
}

if [ -f "$root/.orvex-root-done" ]; then
  if [ "$arch" = arm64 ] && ! grep -q qemu-L "$root/.orvex-root-done"; then
    binfmt_aarch64 "$(qemu_static)" || true
  fi
  echo "$root"
  exit 0
fi

rm -rf "$root"
mkdir -p "$root"
start=$SECONDS
case "$arch" in
  amd64)
    log "making $suite-$arch in $root"
    debootstrap --variant=minbase --include="$packages" "$suite" "$root" "$mirror" >"$root.log" 2>&1 \
      || { tail -n 20 "$root.log" >&2; exit 1; }
    echo chroot >"$root/.orvex-root-done"
    ;;
  arm64)
    qemu=$(qemu_static)
    log "making $suite-$arch in $root (foreign)"
    debootstrap --arch=arm64 --foreign --variant=minbase --include="$packages" "$suite" "$root" "$mirror" \
      >"$root.log" 2>&1 || { tail -n 20 "$root.log" >&2; exit 1; }
    if binfmt_aarch64 "$qemu"; then
      log "second stage under binfmt_misc"
      chroot "$root" /debootstrap/debootstrap --second-stage >>"$root.log" 2>&1 \
        || { tail -n 20 "$root.log" >&2; exit 1; }
      echo chroot >"$root/.orvex-root-done"
    else
      # No maintainer scripts can run: every downloaded package is unpacked
      # as it is, which is all an interpreter and a venv need.
      log "binfmt_misc cannot be registered: unpacking for qemu-aarch64-static -L"
      for deb in "$root"/var/cache/apt/archives/*.deb; do dpkg-deb -x "$deb" "$root"; done
      echo qemu-L >"$root/.orvex-root-done"
    fi
    ;;
esac
rm -rf "$root"/var/cache/apt/archives/*.deb
log "$suite-$arch made in $((SECONDS - start)) s"
echo "$root"
