"""Checks the wheel that `make wheel` leaves in dist/ as a package index and a
user without libsodium would meet it:

- its tag is one abi3 wheel for CPython 3.8 on, with a manylinux platform;
- auditwheel finds nothing to graft, abi3audit --strict and
  check-wheel-contents pass;
- every binary in it needs only the libraries the manylinux policy counts
  as part of the system, and exports no libsodium or zlib symbol (the
  extension exports its entry point alone);
- its metadata names the licence and carries every licence text;
- installed into a fresh virtual environment where libsodium cannot be
  loaded (a private mount namespace hides every copy), the module makes a
  decision and orvex-audit verifies the log it wrote.

Usage: check_wheel.py WHEEL. Exits non-zero on the first failed check.
"""
import email.parser
import glob
import io
import json
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

from elftools.elf.dynamic import DynamicSection
from elftools.elf.elffile import ELFFile

# The libraries the manylinux policies count as part of every system that
# the C++ runtime can rely on.
SYSTEM_LIBRARIES = frozenset({
    "libc.so.6", "libm.so.6", "libdl.so.2", "librt.so.1", "libpthread.so.0",
    "libstdc++.so.6", "libgcc_s.so.1", "ld-linux-x86-64.so.2",
})
ENTRY_POINT = "PyInit_orvex_core"
# Exported names that would let another copy of a bundled library bind to ours.
BUNDLED_SYMBOL = re.compile(r"^(sodium_|crypto_|randombytes|deflate|inflate|zlib|gz|adler32|crc32)")
LICENCE_FILES = ("LICENSE", "LICENSES/libsodium.txt", "LICENSES/zlib.txt")
SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"


def fail(message):
    sys.exit("wheel check FAILED: " + message)


def passed(message):
    print("ok   " + message)


def tool(name):
    return os.path.join(os.path.dirname(sys.executable), name)


def run(arguments, **options):
    return subprocess.run(arguments, capture_output=True, text=True, **options)


def check_tag(wheel):
    name = os.path.basename(wheel)
    if not re.fullmatch(r"orvex_core-[^-]+-cp38-abi3-manylinux_\d+_\d+_x86_64(\.manylinux_\d+_\d+_x86_64)*\.whl", name):
        fail("%s is not one cp38-abi3 manylinux x86-64 wheel" % name)
    passed("tag: " + name)


def check_with_tools(wheel):
    shown = run([tool("auditwheel"), "show", wheel])
    text = " ".join(shown.stdout.split())
    if shown.returncode != 0 or "is consistent with the following platform tag" not in text:
        fail("auditwheel show:\n" + shown.stdout + shown.stderr)
    if "external shared libraries are required" in text:
        fail("auditwheel would graft libraries:\n" + shown.stdout)
    tag = re.search(r'following platform tag: "([^"]+)"', text)
    passed("auditwheel: nothing to graft, platform %s" % (tag.group(1) if tag else "?"))
    # The module and its stub-only package are the two top-level entries.
    contents = [tool("check-wheel-contents"), "--toplevel", "orvex_core.abi3.so,orvex_core-stubs", wheel]
    for arguments in ([tool("abi3audit"), "--strict", "--report", wheel], contents):
        done = run(arguments)
        if done.returncode != 0:
            fail("%s:\n%s%s" % (" ".join(arguments[:2]), done.stdout, done.stderr))
        passed(os.path.basename(arguments[0]))


def dynamic_facts(data):
    """(needed libraries, defined dynamic symbols) of one ELF file's bytes."""
    elf = ELFFile(io.BytesIO(data))
    needed = []
    for section in elf.iter_sections():
        if isinstance(section, DynamicSection):
            needed += [tag.needed for tag in section.iter_tags() if tag.entry.d_tag == "DT_NEEDED"]
    exported = set()
    dynsym = elf.get_section_by_name(".dynsym")
    if dynsym is not None:
        for symbol in dynsym.iter_symbols():
            if symbol["st_shndx"] != "SHN_UNDEF" and symbol.name and \
                    symbol["st_info"]["bind"] in ("STB_GLOBAL", "STB_WEAK"):
                exported.add(symbol.name)
    return needed, exported


def foreign_libraries(needed):
    return sorted(set(needed) - SYSTEM_LIBRARIES)


def check_the_dependency_check_can_fail():
    """The interpreter's own _ssl extension needs OpenSSL: the check must say so."""
    controls = glob.glob(os.path.join(sysconfig.get_config_var("DESTSHARED") or "", "_ssl*.so"))
    if not controls:
        print("note no _ssl extension to show that the dependency check can fail")
        return
    with open(controls[0], "rb") as control:
        needed, _ = dynamic_facts(control.read())
    if not foreign_libraries(needed):
        fail("the dependency check passed %s, which needs %s" % (controls[0], needed))
    passed("the dependency check refuses %s (needs %s)" % (os.path.basename(controls[0]), foreign_libraries(needed)))


def check_binaries(wheel):
    binaries = {}
    with zipfile.ZipFile(wheel) as archive:
        for name in archive.namelist():
            data = archive.read(name)
            if data[:4] == b"\x7fELF":
                binaries[name] = dynamic_facts(data)
    kinds = {"module": [n for n in binaries if n.endswith(".abi3.so")],
             "orvex-audit": [n for n in binaries if n.endswith("/orvex-audit")]}
    for kind, names in kinds.items():
        if len(names) != 1:
            fail("expected one %s binary in the wheel, found %s" % (kind, names))
    for name, (needed, exported) in sorted(binaries.items()):
        if foreign_libraries(needed):
            fail("%s needs %s, outside the system's libraries" % (name, foreign_libraries(needed)))
        leaked = sorted(s for s in exported if BUNDLED_SYMBOL.match(s))
        if leaked:
            fail("%s exports bundled symbols: %s" % (name, leaked[:10]))
        passed("%s needs only %s" % (name, ", ".join(sorted(needed))))
    module_exports = binaries[kinds["module"][0]][1]
    if module_exports != {ENTRY_POINT}:
        fail("the module exports %s, not only %s" % (sorted(module_exports)[:10], ENTRY_POINT))
    passed("the module exports only " + ENTRY_POINT)


def check_metadata(wheel):
    with zipfile.ZipFile(wheel) as archive:
        names = archive.namelist()
        dist_info = next(n.split("/")[0] for n in names if n.split("/")[0].endswith(".dist-info"))
        metadata = email.parser.Parser().parsestr(archive.read(dist_info + "/METADATA").decode())
        for licence in LICENCE_FILES:
            if dist_info + "/licenses/" + licence not in names:
                fail("the wheel lacks the licence text %s" % licence)
    if metadata["License-Expression"] != "MIT":
        fail("License-Expression is %r" % metadata["License-Expression"])
    if sorted(metadata.get_all("License-File") or []) != sorted(LICENCE_FILES):
        fail("License-File entries: %s" % metadata.get_all("License-File"))
    for field in ("Summary", "Requires-Python", "Author", "Description"):
        if not (metadata[field] or (field == "Description" and metadata.get_payload())):
            fail("metadata lacks %s" % field)
    passed("metadata: licence MIT, texts %s" % ", ".join(LICENCE_FILES))


# Runs in the fresh environment, inside the namespace where libsodium is
# hidden (its first argument then says "hidden").
USE_WITHOUT_LIBSODIUM = r"""
import ctypes, json, os, subprocess, sys
try:
    ctypes.CDLL("libsodium.so.23")
except OSError:
    pass
else:
    if sys.argv[1:] == ["hidden"]:
        sys.exit("libsodium is still loadable: the namespace hides nothing")
import orvex_core
intent = json.dumps({"id": "intent-1", "objective": "o", "mode": "strict", "version": "1",
                     "constraints": [{"attribute": "amount", "operator": "<=", "value": 10, "priority": 1}]})
assert orvex_core.validate_intent_json(intent, json.dumps({"params": {"amount": 5}}),
                                       json.dumps({"values": {"current_spend": 0}})) is True
audit = os.path.join(os.path.dirname(sys.executable), "orvex-audit")
key = subprocess.run([audit, "pubkey"], capture_output=True, text=True, check=True).stdout.strip()
done = subprocess.run([audit, "verify", "--public-key", key, "orvex_audit.log"], capture_output=True, text=True)
sys.stdout.write(done.stdout + done.stderr)
sys.exit(done.returncode)
"""


def libsodium_copies():
    found = set()
    for pattern in ("/usr/lib/*/libsodium.so*", "/lib/*/libsodium.so*", "/usr/lib/libsodium.so*",
                    "/usr/local/lib/libsodium.so*", "/usr/lib64/libsodium.so*"):
        found.update(os.path.realpath(path) for path in glob.glob(pattern))
    return sorted(found)


def check_installed_without_libsodium(wheel):
    unshare = shutil.which("unshare")
    with tempfile.TemporaryDirectory() as scratch:
        env_dir = os.path.join(scratch, "env")
        subprocess.run([sys.executable, "-m", "venv", env_dir], check=True)
        python = os.path.join(env_dir, "bin", "python")
        subprocess.run([python, "-m", "pip", "install", "-q", "--no-deps", "--no-index", wheel], check=True)
        work = os.path.join(scratch, "work")
        os.mkdir(work)
        script = os.path.join(scratch, "use.py")
        with open(script, "w") as out:
            out.write(USE_WITHOUT_LIBSODIUM)
        # Every real file of libsodium is covered by an empty one; its
        # symbolic links then lead there too.
        hide = "".join("mount --bind /dev/null %s && " % path for path in libsodium_copies())
        inner = hide + '"$0" "$1" hidden'
        namespace = ["unshare", "-m"] if os.geteuid() == 0 else ["unshare", "-r", "-m"]
        if unshare is None or run(namespace + ["true"]).returncode != 0:
            print("note private mount namespaces are unavailable here; relying on the dependency check")
            arguments = [python, script]
        else:
            arguments = namespace + ["sh", "-c", inner, python, script]
        done = run(arguments, cwd=work, env=dict(os.environ, ORVEX_SEED=SEED))
        if done.returncode != 0:
            fail("the installed wheel without libsodium:\n" + done.stdout + done.stderr)
        with open(os.path.join(work, "orvex_audit.log")) as log:
            records = [json.loads(line) for line in log]
        if len(records) != 1:
            fail("expected one record in the log, found %d" % len(records))
        passed("installed where libsodium is hidden (%d copies): a decision logged and verified (%s)"
               % (len(libsodium_copies()), done.stdout.strip().splitlines()[-1] if done.stdout.strip() else ""))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    wheel = os.path.abspath(sys.argv[1])
    check_tag(wheel)
    check_with_tools(wheel)
    check_the_dependency_check_can_fail()
    check_binaries(wheel)
    check_metadata(wheel)
    check_installed_without_libsodium(wheel)
    print("wheel check passed: %s (%d bytes)" % (os.path.basename(wheel), os.path.getsize(wheel)))


if __name__ == "__main__":
    main()
