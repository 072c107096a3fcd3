"""Checks a release wheel that `make wheels` leaves in dist/ (x86-64 or
64-bit ARM) as a package index and a user without libsodium would meet it:

- its tag is one abi3 wheel for CPython 3.8 on, with manylinux platforms of
  one processor, manylinux2014 (glibc 2.17) among them;
- auditwheel finds nothing to graft, abi3audit --strict and
  check-wheel-contents pass;
- every binary in it needs only glibc's libraries (no C++ runtime: libc++
  is linked in), no symbol version newer than GLIBC_2.17, and exports no
  libsodium or zlib symbol (the extension exports its entry point alone);
- besides the binaries and the stubs, only the pure-Python package `orvex`
  (source files and its py.typed marker);
- its metadata names the licence and carries every licence text;
- installed into a fresh virtual environment where libsodium cannot be
  loaded (a private mount namespace hides every copy), the module makes a
  decision and orvex-audit verifies the log it wrote. A wheel for another
  processor is installed and run in its Debian root (tools/root_suite.sh).

The ELF files are read with pyelftools, so a wheel of either processor is
checked on any machine.

Usage: check_wheel.py WHEEL. Exits non-zero on the first failed check.
"""
import email.parser
import glob
import io
import json
import os
import platform
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

# The processors with wheels: the ELF machine of their binaries and the
# name of glibc's loader there.
ARCHES = {"x86_64": ("EM_X86_64", "ld-linux-x86-64.so.2"),
          "aarch64": ("EM_AARCH64", "ld-linux-aarch64.so.1")}
# glibc's own libraries, which every manylinux system has. The C++ runtime
# is not among them: the wheels link libc++ in, so no system's libstdc++
# can be too old for them.
GLIBC_LIBRARIES = frozenset({"libc.so.6", "libm.so.6", "libdl.so.2", "librt.so.1", "libpthread.so.0"})
# manylinux2014: glibc 2.17 and nothing newer.
NEWEST_GLIBC = (2, 17)
PLATFORM_TAG = r"manylinux(?:2014|_\d+_\d+)_(%s)" % "|".join(ARCHES)
PURE_PACKAGE = "orvex"
# Functions every binary must take from glibc: a compiler runtime that
# brings copies of its own (zig's does, once any of its functions is
# linked) puts slower ones in their place throughout the binary.
GLIBC_FUNCTIONS = ("memcmp", "memcpy")
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


def wheel_arch(name):
    """(processor, None) for the file name of a release wheel; (None, what
    is wrong) for any other name."""
    match = re.fullmatch(r"orvex_core-[^-]+-cp38-abi3-([^-]+)\.whl", name)
    if not match:
        return None, "%s is not one cp38-abi3 wheel" % name
    platforms = match.group(1).split(".")
    arches = set()
    for platform_tag in platforms:
        known = re.fullmatch(PLATFORM_TAG, platform_tag)
        if not known:
            return None, "%s is not a manylinux platform of %s" % (platform_tag, " or ".join(ARCHES))
        arches.add(known.group(1))
    if len(arches) != 1:
        return None, "%s names platforms of %s" % (name, " and ".join(sorted(arches)))
    arch = arches.pop()
    if not {"manylinux2014_" + arch, "manylinux_2_17_" + arch} & set(platforms):
        return None, "%s is not manylinux2014" % name
    return arch, None


def check_tag(wheel):
    name = os.path.basename(wheel)
    arch, problem = wheel_arch(name)
    if problem:
        fail(problem)
    passed("tag: " + name)
    return arch


def check_with_tools(wheel):
    shown = run([tool("auditwheel"), "show", wheel])
    text = " ".join(shown.stdout.split())
    if shown.returncode != 0 or "is consistent with the following platform tag" not in text:
        fail("auditwheel show:\n" + shown.stdout + shown.stderr)
    if "external shared libraries are required" in text:
        fail("auditwheel would graft libraries:\n" + shown.stdout)
    tag = re.search(r'following platform tag: "([^"]+)"', text)
    passed("auditwheel: nothing to graft, platform %s" % (tag.group(1) if tag else "?"))
    # The module and its stub-only package are top-level entries, and the
    # pure-Python package where the wheel carries it.
    with zipfile.ZipFile(wheel) as archive:
        pure = any(n.startswith(PURE_PACKAGE + "/") for n in archive.namelist())
    toplevel = "orvex_core.abi3.so,orvex_core-stubs" + ("," + PURE_PACKAGE if pure else "")
    contents = [tool("check-wheel-contents"), "--toplevel", toplevel, wheel]
    for arguments in ([tool("abi3audit"), "--strict", "--report", wheel], contents):
        done = run(arguments)
        if done.returncode != 0:
            fail("%s:\n%s%s" % (" ".join(arguments[:2]), done.stdout, done.stderr))
        passed(os.path.basename(arguments[0]))


def dynamic_facts(data):
    """(machine, needed libraries, symbol versions needed, defined dynamic
    symbols, imported dynamic symbols) of one ELF file's bytes."""
    from elftools.elf.dynamic import DynamicSection
    from elftools.elf.elffile import ELFFile
    from elftools.elf.gnuversions import GNUVerNeedSection
    elf = ELFFile(io.BytesIO(data))
    needed = []
    versions = set()
    for section in elf.iter_sections():
        if isinstance(section, DynamicSection):
            needed += [tag.needed for tag in section.iter_tags() if tag.entry.d_tag == "DT_NEEDED"]
        if isinstance(section, GNUVerNeedSection):
            for _, auxiliaries in section.iter_versions():
                versions.update(aux.name for aux in auxiliaries)
    exported = set()
    imported = set()
    dynsym = elf.get_section_by_name(".dynsym")
    if dynsym is not None:
        for symbol in dynsym.iter_symbols():
            if not symbol.name or symbol["st_info"]["bind"] not in ("STB_GLOBAL", "STB_WEAK"):
                continue
            (imported if symbol["st_shndx"] == "SHN_UNDEF" else exported).add(symbol.name)
    return elf["e_machine"], needed, versions, exported, imported


def glibc_version(name):
    """(2, 17) for GLIBC_2.17; None for a version of anything else."""
    match = re.fullmatch(r"GLIBC_(\d+(?:\.\d+)+)", name)
    return tuple(int(part) for part in match.group(1).split(".")) if match else None


def library_problems(needed, versions, arch, imported=GLIBC_FUNCTIONS):
    """What keeps one binary of `arch` from every manylinux2014 system, or
    from glibc's speed: a library outside glibc, a symbol version newer
    than glibc 2.17 or of another library (GLIBCXX_, CXXABI_: a C++ runtime
    the system may lack), or a function of GLIBC_FUNCTIONS not taken from
    glibc."""
    problems = []
    private = [name for name in GLIBC_FUNCTIONS if name not in imported]
    if private:
        problems.append("carries its own %s instead of glibc's" % ", ".join(private))
    foreign = sorted(set(needed) - GLIBC_LIBRARIES - {ARCHES[arch][1]})
    if foreign:
        problems.append("needs %s, outside glibc" % ", ".join(foreign))
    newer = sorted(v for v in versions if glibc_version(v) is None or glibc_version(v) > NEWEST_GLIBC)
    if newer:
        problems.append("needs symbol versions %s, newer than GLIBC_%d.%d or not glibc's"
                        % (", ".join(newer), *NEWEST_GLIBC))
    return problems


def check_the_dependency_check_can_fail():
    """The interpreter's own _ssl extension needs OpenSSL: the check must say so."""
    controls = glob.glob(os.path.join(sysconfig.get_config_var("DESTSHARED") or "", "_ssl*.so"))
    if not controls:
        print("note no _ssl extension to show that the dependency check can fail")
        return
    with open(controls[0], "rb") as control:
        _, needed, versions, _, _ = dynamic_facts(control.read())
    problems = library_problems(needed, versions, platform.machine())
    if not problems:
        fail("the dependency check passed %s, which needs %s" % (controls[0], needed))
    passed("the dependency check refuses %s (%s)" % (os.path.basename(controls[0]), "; ".join(problems)))


def check_binaries(wheel, arch):
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
    for name, (machine, needed, versions, exported, imported) in sorted(binaries.items()):
        if machine != ARCHES[arch][0]:
            fail("%s is built for %s, not %s" % (name, machine, arch))
        problems = library_problems(needed, versions, arch, imported)
        if problems:
            fail("%s %s" % (name, "; ".join(problems)))
        leaked = sorted(s for s in exported if BUNDLED_SYMBOL.match(s))
        if leaked:
            fail("%s exports bundled symbols: %s" % (name, leaked[:10]))
        newest = max(filter(None, map(glibc_version, versions)), default=())
        passed("%s (%s) needs only %s, glibc %s" % (name, arch, ", ".join(sorted(needed)),
                                                      ".".join(map(str, newest))))
    module_exports = binaries[kinds["module"][0]][3]
    if module_exports != {ENTRY_POINT}:
        fail("the module exports %s, not only %s" % (sorted(module_exports)[:10], ENTRY_POINT))
    passed("the module exports only " + ENTRY_POINT)


def pure_package_strays(names):
    """The files under the pure-Python package that are not its source
    files or its py.typed marker."""
    return sorted(n for n in names if n.startswith(PURE_PACKAGE + "/") and not n.endswith("/")
                  and not n.endswith(".py") and n != PURE_PACKAGE + "/py.typed")


def check_pure_package(wheel):
    with zipfile.ZipFile(wheel) as archive:
        names = archive.namelist()
    strays = pure_package_strays(names)
    if strays:
        fail("the package %s carries more than Python source: %s" % (PURE_PACKAGE, strays[:10]))
    count = sum(1 for n in names if n.startswith(PURE_PACKAGE + "/"))
    passed("the package %s: %d Python files and its marker" % (PURE_PACKAGE, count) if count
           else "no package %s in this wheel" % PURE_PACKAGE)


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
    arch = check_tag(wheel)
    check_with_tools(wheel)
    check_the_dependency_check_can_fail()
    check_binaries(wheel, arch)
    check_pure_package(wheel)
    check_metadata(wheel)
    if arch == platform.machine():
        check_installed_without_libsodium(wheel)
    else:
        print("note a %s wheel runs in its Debian root (make test-roots), not on this %s machine"
              % (arch, platform.machine()))
    print("wheel check passed: %s (%d bytes)" % (os.path.basename(wheel), os.path.getsize(wheel)))


if __name__ == "__main__":
    main()
