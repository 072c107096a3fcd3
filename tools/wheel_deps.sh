#!/usr/bin/env bash
# Prepares what a release wheel for one processor is built with, once, in a
# cache outside the clone (later runs and fresh clones reuse it), and prints
# the folder that holds it:
#
#   wheel_deps.sh x86_64|aarch64
#
#   zig/            the pinned `ziglang` from PyPI (its wheel's digest is
#                   checked by pip), its compiler cache, and one wrapper per
#                   tool and target: bin/<target>-cc, -c++, -ar, -ranlib
#   <target>-.../  libsodium and zlib built by that compiler for glibc 2.17,
#                   static, position independent, their symbols hidden
#
# Sources come from Debian's archive, pinned by version and sha256; a
# download whose digest differs stops the build.
set -euo pipefail

target=${1:?usage: wheel_deps.sh x86_64|aarch64}
case "$target" in x86_64|aarch64) ;; *) echo "wheel_deps: unknown target $target (x86_64 or aarch64)" >&2; exit 2 ;; esac
cache=${ORVEX_CACHE:-$HOME/.cache/orvex}
python=${PYTHON:-python3}
mirror=${ORVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
jobs=${ORVEX_JOBS:-2}

# The x86-64 host's wheel (the machines that build the releases).
ZIG_VERSION=0.17.1
ZIG_SHA256=ea6cc5d87b033cf0aedfbc8f9549a908cae6c50ac31f1698188fa48a74524b54
# The oldest glibc the wheels ask for: manylinux2014.
GLIBC=2.17
# libsodium: Debian's upstream tarball (a tag of the upstream repository,
# without a generated configure) and Debian's patches of bookworm's
# security update.
SODIUM_VERSION=1.0.18
SODIUM_ORIG=libs/libsodium/libsodium_1.0.18.orig.tar.gz
SODIUM_ORIG_SHA256=d59323c6b712a1519a5daf710b68f5e7fde57040845ffec53850911f10a5d4f4
SODIUM_DEBIAN=libs/libsodium/libsodium_1.0.18-1+deb12u1.debian.tar.xz
SODIUM_DEBIAN_SHA256=f410474e46346b06b162defa05b1be26906aeed6cf309e3d4ebe30b4d1350733
ZLIB_VERSION=1.2.13
ZLIB_ORIG=z/zlib/zlib_1.2.13.dfsg.orig.tar.bz2
ZLIB_ORIG_SHA256=71feb7947e3c00ef125f83b79a4e529bde31171e5babe48b391f06758d1ab0a1

log() { echo "wheel_deps: $*" >&2; }

fetch() {  # fetch POOL_PATH SHA256: the file's path in the cache, checked
  local file="$cache/sources/$(basename "$1")"
  if [ ! -f "$file" ] || ! echo "$2  $file" | sha256sum -c --status; then
    mkdir -p "$cache/sources"
    log "downloading $1"
    curl -fsSL -o "$file.part" "$mirror/pool/main/$1"
    if ! echo "$2  $file.part" | sha256sum -c --status; then
      log "$(basename "$1"): sha256 $(sha256sum "$file.part" | cut -d' ' -f1), expected $2"
      rm -f "$file.part"; exit 1
    fi
    mv "$file.part" "$file"
  fi
  echo "$file"
}

mkdir -p "$cache"
zig_dir="$cache/zig-$ZIG_VERSION"
if [ ! -x "$zig_dir/ziglang/zig" ]; then
  log "installing ziglang $ZIG_VERSION"
  rm -rf "$zig_dir"
  printf 'ziglang==%s --hash=sha256:%s\n' "$ZIG_VERSION" "$ZIG_SHA256" >"$cache/ziglang.req"
  "$python" -m pip install -q --no-deps --require-hashes --target "$zig_dir" -r "$cache/ziglang.req"
fi
# The compiler's own cache (libc++, the glibc stubs) outlives each build.
export ZIG_GLOBAL_CACHE_DIR="$zig_dir/cache"
bin="$zig_dir/bin"
mkdir -p "$bin"
for tool in cc c++ ar ranlib; do
  wrapper="$bin/$target-$tool"
  case $tool in
    cc|c++) command="$tool -target $target-linux-gnu.$GLIBC" ;;
    *) command=$tool ;;
  esac
  printf '#!/bin/sh\nZIG_GLOBAL_CACHE_DIR="%s" exec "%s" %s "$@"\n' "$ZIG_GLOBAL_CACHE_DIR" "$zig_dir/ziglang/zig" "$command" >"$wrapper.tmp"
  chmod +x "$wrapper.tmp"; mv "$wrapper.tmp" "$wrapper"
done

prefix="$cache/$target-sodium$SODIUM_VERSION-zlib$ZLIB_VERSION-zig$ZIG_VERSION"
if [ -f "$prefix/.done" ]; then
  echo "$prefix"; exit 0
fi
command -v autoreconf >/dev/null && command -v libtoolize >/dev/null || {
  log "autoconf, automake and libtool are missing (tools/install_system_deps.sh wheels)"; exit 1; }
start=$SECONDS
rm -rf "$prefix" "$prefix.build"
mkdir -p "$prefix.build"
cd "$prefix.build"
export CC="$bin/$target-cc" AR="$bin/$target-ar" RANLIB="$bin/$target-ranlib"
flags="-O3 -fPIC -fvisibility=hidden"

tar xjf "$(fetch "$ZLIB_ORIG" "$ZLIB_ORIG_SHA256")"
(cd zlib-$ZLIB_VERSION* && CFLAGS="$flags" CHOST=$target-linux-gnu ./configure --static --prefix="$prefix" >configure.log 2>&1 \
  && make -j"$jobs" libz.a >make.log 2>&1 && make install >/dev/null 2>&1) || { log "zlib did not build"; exit 1; }

tar xzf "$(fetch "$SODIUM_ORIG" "$SODIUM_ORIG_SHA256")"
tar xJf "$(fetch "$SODIUM_DEBIAN" "$SODIUM_DEBIAN_SHA256")" -C libsodium-$SODIUM_VERSION
(cd libsodium-$SODIUM_VERSION
 while read -r patch; do
   case $patch in ''|'#'*) continue ;; esac
   patch -s -p1 <"debian/patches/$patch"
 done <debian/patches/series
 autoreconf -fi >/dev/null 2>&1
 CFLAGS="$flags" ./configure --host=$target-linux-gnu --prefix="$prefix" --disable-shared --enable-static \
   --with-pic --disable-ssp --disable-dependency-tracking >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; }
 make -j"$jobs" >make.log 2>&1 || { tail -n 30 make.log >&2; exit 1; }
 make install >/dev/null)
cd "$cache"
rm -rf "$prefix.build"
# The toolchain files find the compiler through the prefix alone.
ln -sfn "$bin" "$prefix/zig-bin"
touch "$prefix/.done"
log "libsodium $SODIUM_VERSION and zlib $ZLIB_VERSION for $target built in $((SECONDS - start)) s"
echo "$prefix"
