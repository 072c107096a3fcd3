"""tools/check_wheel.py's judgements of a release wheel: its name, each
binary's dynamic needs, and what the pure-Python package may carry. Tables
of input and the exact verdict; the ELF reading itself runs in
`make wheel-check` on the real wheels."""

import sys

import pytest

from doc_blocks import ROOT

sys.path.insert(0, str(ROOT / "tools"))
import check_wheel  # noqa: E402

STEM = "orvex_core-0.1.0-cp38-abi3-"


@pytest.mark.parametrize("name, expected", [
    (STEM + "manylinux2014_x86_64.manylinux_2_17_x86_64.whl", ("x86_64", None)),
    (STEM + "manylinux2014_aarch64.manylinux_2_17_aarch64.whl", ("aarch64", None)),
    (STEM + "manylinux_2_17_x86_64.whl", ("x86_64", None)),
    (STEM + "manylinux_2_34_x86_64.whl", (None, STEM + "manylinux_2_34_x86_64.whl is not manylinux2014")),
    (STEM + "manylinux2014_x86_64.manylinux_2_17_aarch64.whl",
     (None, STEM + "manylinux2014_x86_64.manylinux_2_17_aarch64.whl names platforms of aarch64 and x86_64")),
    (STEM + "linux_x86_64.whl", (None, "linux_x86_64 is not a manylinux platform of x86_64 or aarch64")),
    (STEM + "musllinux_1_2_aarch64.whl",
     (None, "musllinux_1_2_aarch64 is not a manylinux platform of x86_64 or aarch64")),
    (STEM + "manylinux2014_s390x.whl", (None, "manylinux2014_s390x is not a manylinux platform of x86_64 or aarch64")),
    ("orvex_core-0.1.0-cp311-cp311-manylinux2014_x86_64.whl",
     (None, "orvex_core-0.1.0-cp311-cp311-manylinux2014_x86_64.whl is not one cp38-abi3 wheel")),
])
def test_wheel_names(name, expected):
    assert check_wheel.wheel_arch(name) == expected


GLIBC = ["libc.so.6", "libdl.so.2", "libpthread.so.0"]
OLD = {"GLIBC_2.2.5", "GLIBC_2.3.4", "GLIBC_2.14", "GLIBC_2.17"}
BOTH = {"memcmp", "memcpy", "memchr"}


@pytest.mark.parametrize("needed, versions, arch, imported, expected", [
    (GLIBC + ["ld-linux-x86-64.so.2"], OLD, "x86_64", BOTH, []),
    (GLIBC + ["ld-linux-aarch64.so.1", "libm.so.6", "librt.so.1"], {"GLIBC_2.17"}, "aarch64", BOTH, []),
    (GLIBC + ["ld-linux-x86-64.so.2"], OLD, "aarch64", BOTH, ["needs ld-linux-x86-64.so.2, outside glibc"]),
    (GLIBC + ["libstdc++.so.6", "libgcc_s.so.1"], OLD | {"GLIBCXX_3.4.29", "CXXABI_1.3"}, "x86_64", BOTH,
     ["needs libgcc_s.so.1, libstdc++.so.6, outside glibc",
      "needs symbol versions CXXABI_1.3, GLIBCXX_3.4.29, newer than GLIBC_2.17 or not glibc's"]),
    (GLIBC, OLD | {"GLIBC_2.34", "GLIBC_2.18"}, "x86_64", BOTH,
     ["needs symbol versions GLIBC_2.18, GLIBC_2.34, newer than GLIBC_2.17 or not glibc's"]),
    (GLIBC, {"GLIBC_PRIVATE"}, "x86_64", BOTH,
     ["needs symbol versions GLIBC_PRIVATE, newer than GLIBC_2.17 or not glibc's"]),
    (GLIBC, OLD, "x86_64", {"memchr", "memcmp"}, ["carries its own memcpy instead of glibc's"]),
    (["libsodium.so.23"], OLD, "aarch64", set(),
     ["carries its own memcmp, memcpy instead of glibc's", "needs libsodium.so.23, outside glibc"]),
])
def test_library_problems(needed, versions, arch, imported, expected):
    assert check_wheel.library_problems(needed, versions, arch, imported) == expected


@pytest.mark.parametrize("names, expected", [
    (["orvex/", "orvex/__init__.py", "orvex/py.typed", "orvex/store/pg.py", "orvex_core.abi3.so"], []),
    (["orvex/__init__.py", "orvex/_speedups.abi3.so", "orvex/data.json", "orvex/__init__.pyc"],
     ["orvex/__init__.pyc", "orvex/_speedups.abi3.so", "orvex/data.json"]),
    (["orvex_core-stubs/__init__.pyi", "orvexx/x.so"], []),
])
def test_pure_package_strays(names, expected):
    assert check_wheel.pure_package_strays(names) == expected


DIST_INFO = "orvex_core-0.1.0.dist-info/"
LICENCES = ["LICENSE", "LICENSES/libsodium.txt", "LICENSES/zlib.txt"]
FIELDS = {"Summary": "A policy guard", "Requires-Python": ">=3.8", "Author": "The developers",
          "License-Expression": "MIT"}


def wheel_with(tmp_path, fields=FIELDS, licences=LICENCES, extra=()):
    """A wheel file holding METADATA with `fields`, the licence texts named
    and the further files `extra`."""
    import zipfile
    metadata = "".join("%s: %s\n" % item for item in fields.items())
    metadata += "".join("License-File: %s\n" % name for name in LICENCES) + "\nThe description.\n"
    path = tmp_path / (STEM + "manylinux2014_x86_64.whl")
    with zipfile.ZipFile(path, "w") as archive:
        archive.writestr(DIST_INFO + "METADATA", metadata)
        for name in licences:
            archive.writestr(DIST_INFO + "licenses/" + name, "text")
        for name in extra:
            archive.writestr(name, "")
    return str(path)


def verdict(check, wheel):
    """None when the check passes, else the text it stops with."""
    try:
        check(wheel)
    except SystemExit as stop:
        return str(stop)
    return None


@pytest.mark.parametrize("fields, licences, extra, expected", [
    (FIELDS, LICENCES, ["orvex/__init__.py", "orvex/py.typed"], None),
    (FIELDS, LICENCES[:2], [], "wheel check FAILED: the wheel lacks the licence text LICENSES/zlib.txt"),
    (dict(FIELDS, **{"License-Expression": "Apache-2.0"}), LICENCES, [],
     "wheel check FAILED: License-Expression is 'Apache-2.0'"),
    ({k: v for k, v in FIELDS.items() if k != "Author"}, LICENCES, [], "wheel check FAILED: metadata lacks Author"),
    (FIELDS, LICENCES, ["orvex/__init__.py", "orvex/_fast.abi3.so"],
     "wheel check FAILED: the package orvex carries more than Python source: ['orvex/_fast.abi3.so']"),
])
def test_metadata_and_package_checks(tmp_path, fields, licences, extra, expected):
    wheel = wheel_with(tmp_path, fields, licences, extra)
    verdicts = [verdict(check_wheel.check_metadata, wheel), verdict(check_wheel.check_pure_package, wheel)]
    assert [v for v in verdicts if v] == ([expected] if expected else [])


@pytest.mark.parametrize("name, expected", [
    ("GLIBC_2.17", (2, 17)), ("GLIBC_2.2.5", (2, 2, 5)), ("GLIBC_2.34", (2, 34)),
    ("GLIBC_PRIVATE", None), ("GLIBCXX_3.4.29", None), ("CXXABI_1.3", None),
])
def test_glibc_versions(name, expected):
    assert check_wheel.glibc_version(name) == expected


@pytest.mark.parametrize("script, argument, expected", [
    ("debian_root.sh", "s390x", "debian_root: unknown architecture s390x (amd64 or arm64)\n"),
    ("debian_root.sh", "x86_64", "debian_root: unknown architecture x86_64 (amd64 or arm64)\n"),
    ("wheel_deps.sh", "riscv64", "wheel_deps: unknown target riscv64 (x86_64 or aarch64)\n"),
    ("wheel_deps.sh", "arm64", "wheel_deps: unknown target arm64 (x86_64 or aarch64)\n"),
])
def test_the_wheel_scripts_name_the_processors_they_know(tmp_path, script, argument, expected):
    # Refused before anything is downloaded or made in the cache.
    import os
    import subprocess
    done = subprocess.run(["bash", str(ROOT / "tools" / script), argument], capture_output=True, text=True,
                          env=dict(os.environ, ORVEX_CACHE=str(tmp_path / "cache")))
    assert (done.returncode, done.stdout, done.stderr) == (2, "", expected)
    assert not (tmp_path / "cache").exists()
