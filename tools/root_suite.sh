#!/usr/bin/env bash
# Runs the Python suite (the whole tests/ folder) against a release wheel in
# a Debian root (tools/debian_root.sh): the wheel and the test extra are
# installed with pip into a virtual environment inside the root, and pytest
# runs there on a copy of this tree, as on a user's machine with that
# release of Debian.
#
#   root_suite.sh amd64|arm64 WHEEL [PYTEST ARGUMENTS]
#
# pytest's arguments default to the whole suite, `tests`.
#
# The environment and its test tools are kept in the root between runs
# (made again when pyproject.toml's test extra changes); the wheel is
# installed afresh every time. An ARM root runs under qemu-user: through
# binfmt_misc in a chroot, or, where binfmt_misc could not be registered,
# the interpreter started under `qemu-aarch64-static -L ROOT`.
set -euo pipefail

arch=${1:?usage: root_suite.sh amd64|arm64 WHEEL}
wheel=$(realpath "${2:?usage: root_suite.sh amd64|arm64 WHEEL}")
shift 2
[ $# -gt 0 ] || set -- tests
python=${PYTHON:-python3}
here=$(cd "$(dirname "$0")/.." && pwd)
start=$SECONDS

root=$(PYTHON=$python "$here/tools/debian_root.sh" "$arch")
mode=$(cat "$root/.orvex-root-done")
venv=/opt/orvex-venv
tree=/opt/orvex-tree
extra=$("$python" "$here/tools/project_extra.py" test)

# The tree as the suite sees it: the sources and tests, not the builds.
rm -rf "$root$tree"
mkdir -p "$root$tree" "$root/opt/wheels"
tar -C "$here" --exclude=./build --exclude=./.venv --exclude=./dist --exclude=.git -cf - . | tar -C "$root$tree" -xf -
rm -f "$root"/opt/wheels/*.whl
cp "$wheel" "$root/opt/wheels/"
printf '%s\n' "$extra" >"$root/opt/wheels/test-requirements.txt"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The root reaches PyPI through this machine's network, so pip in it trusts
# what this machine's pip trusts.
cp "${PIP_CERT:-${SSL_CERT_FILE:-/etc/ssl/certs/ca-certificates.crt}}" "$root/opt/wheels/trusted.crt"

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

inside() {  # inside COMMAND...: runs a command of the root, in the root
  if [ "$mode" = chroot ]; then
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 PIP_CERT=/opt/wheels/trusted.crt PATH="$venv/bin:/usr/sbin:/usr/bin:/sbin:/bin" "$@"
  else
    # No chroot: the root's files are named by their paths on this
    # machine. Programs the suite starts itself (the interpreter again,
    # orvex-audit, logrotate) cannot start without binfmt_misc, so their
    # tests fail here; the module's own tests run.
    local qemu argument arguments=()
    qemu=$(dirname "$root")/../qemu/usr/bin/qemu-aarch64-static
    for argument in "$@"; do
      case $argument in /opt/*|/usr/*) arguments+=("$root$argument") ;; *) arguments+=("$argument") ;; esac
    done
    (cd "$root$tree" && env -i HOME=/root LANG=C.UTF-8 PIP_CERT="$root/opt/wheels/trusted.crt" PATH="$root$venv/bin:/usr/bin:/bin" \
      "$qemu" -L "$root" "${arguments[@]}")
  fi
}

if [ "$mode" = chroot ]; then
  for fs in proc dev dev/pts sys; do
    mountpoint -q "$root/$fs" || { mount --bind "/$fs" "$root/$fs"; mounted+=("$root/$fs"); }
  done
  mountpoint -q "$root/tmp" || { mount -t tmpfs tmpfs "$root/tmp"; mounted+=("$root/tmp"); }
fi

stamp="$root$venv/.test-requirements"
if ! cmp -s "$root/opt/wheels/test-requirements.txt" "$stamp"; then
  echo "root_suite: $arch: a virtual environment with the test tools"
  rm -rf "$root$venv"
  inside /usr/bin/python3 -m venv "$venv"
  # Debian 11's pip predates some of the tags of today's wheels.
  inside "$venv/bin/python" -m pip install -q --upgrade pip
  inside "$venv/bin/python" -m pip install -q -r /opt/wheels/test-requirements.txt
  cp "$root/opt/wheels/test-requirements.txt" "$stamp"
fi
inside "$venv/bin/python" -m pip install -q --force-reinstall --no-deps "/opt/wheels/$(basename "$wheel")"
setup=$((SECONDS - start))
echo "root_suite: $arch ($mode): $(inside "$venv/bin/python" -c 'import platform; print(platform.machine(), "glibc", platform.libc_ver()[1], "CPython", platform.python_version())')"

cd "$root$tree"
status=0
if [ "$mode" = chroot ]; then
  chroot "$root" /bin/sh -c "cd $tree && exec /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH=$venv/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    $venv/bin/python -m pytest -q -p no:cacheprovider $*" || status=$?
else
  inside "$venv/bin/python" -m pytest -q -p no:cacheprovider "$@" || status=$?
fi
echo "root_suite: $arch: $(basename "$wheel"): pytest status $status; setup $setup s, suite $((SECONDS - start - setup)) s"
exit $status
