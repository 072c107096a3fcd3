"""orvex-audit's pinned keys: several at once for a key rotation, from the
command line and from key files, and the failure of unpinned runs that
several keys signed."""

import pytest

from test_orvex_audit import (LOG_NAME, OTHER_PUBLIC_KEY, OTHER_SEED, PUBLIC_KEY, SEVERAL_KEYS, USAGE, run,
                              summary, write_log)


@pytest.fixture
def rotated_log(tmp_path, monkeypatch):
    """Three records under the old key, then two under the new one."""
    write_log(tmp_path, monkeypatch, count=3)
    write_log(tmp_path, monkeypatch, seed=OTHER_SEED, count=2)
    return tmp_path / LOG_NAME


def keys_file(directory, text, name="trusted.keys"):
    path = directory / name
    path.write_text(text)
    return str(path)


BOTH = summary(5, 5, [(PUBLIC_KEY, 3), (OTHER_PUBLIC_KEY, 2)])


def test_both_keys_pinned_pass_and_are_counted_per_key(rotated_log, tmp_path):
    commented = "# old key, retired 2026-03\n\n  %s  \n# new key\n%s\n" % (PUBLIC_KEY, OTHER_PUBLIC_KEY.upper())
    for pinning in (["--public-key", PUBLIC_KEY, "--public-key", OTHER_PUBLIC_KEY],
                    ["--public-key=" + OTHER_PUBLIC_KEY, "--public-key=" + PUBLIC_KEY.upper()],
                    ["--keys", keys_file(tmp_path, commented)],
                    ["--keys=" + keys_file(tmp_path, commented, "joined.keys")],
                    ["--keys", keys_file(tmp_path, PUBLIC_KEY + "\n", "old.keys"),
                     "--keys", keys_file(tmp_path, OTHER_PUBLIC_KEY, "new.keys")],
                    ["--public-key", PUBLIC_KEY, "--keys", keys_file(tmp_path, OTHER_PUBLIC_KEY + "\r\n", "crlf.keys")]):
        assert run("verify", *pinning, str(rotated_log)) == (0, BOTH, ""), pinning


def test_a_key_pinned_twice_counts_once(rotated_log, tmp_path):
    foreign = "%s:%d: signed by a foreign key %s\n"
    expected = (1, foreign % (rotated_log, 4, OTHER_PUBLIC_KEY) + foreign % (rotated_log, 5, OTHER_PUBLIC_KEY) +
                summary(5, 3), "")
    assert run("verify", "--public-key", PUBLIC_KEY, "--public-key", PUBLIC_KEY.upper(), str(rotated_log)) == expected
    assert run("verify", "--keys", keys_file(tmp_path, PUBLIC_KEY + "\n" + PUBLIC_KEY + "\n"),
               str(rotated_log)) == expected


def test_a_pinned_key_that_signed_nothing_is_not_listed(rotated_log, tmp_path, monkeypatch):
    (tmp_path / "old").mkdir()
    write_log(tmp_path / "old", monkeypatch, count=2)
    old_only = tmp_path / "old" / LOG_NAME
    assert run("verify", "--public-key", PUBLIC_KEY, "--public-key", OTHER_PUBLIC_KEY, str(old_only)) == \
        (0, summary(2, 2, [(PUBLIC_KEY, 2)]), "")


def test_unpinned_several_keys_fail_with_one_line(rotated_log):
    status, out, err = run("verify", str(rotated_log))
    assert (status, out, err) == (1, BOTH + SEVERAL_KEYS % 2, "")
    # The line is the last one: a script reading the summary still finds it.
    assert out.splitlines()[-1].startswith("2 keys signed valid records and none is pinned")


@pytest.mark.parametrize("text, line, shown", [
    ("not-a-key\n", 1, "not-a-key"),
    ("%s\n\n  %s extra\n" % (PUBLIC_KEY, OTHER_PUBLIC_KEY), 3, OTHER_PUBLIC_KEY + " extra"),
    ("# keys\n%s\n" % PUBLIC_KEY[:-1], 2, PUBLIC_KEY[:-1]),
    ("%s # trailing comment\n" % PUBLIC_KEY, 1, PUBLIC_KEY + " # trailing comment"),
    ("0x" + PUBLIC_KEY[2:], 1, "0x" + PUBLIC_KEY[2:]),
], ids=["word", "two-on-a-line", "short", "trailing-comment", "prefix"])
def test_a_malformed_keys_line_is_a_usage_error_naming_it(rotated_log, tmp_path, text, line, shown):
    path = keys_file(tmp_path, text)
    message = '--keys %s:%d: needs 64 hexadecimal digits, got "%s"' % (path, line, shown)
    assert run("verify", "--keys", path, str(rotated_log)) == (2, "", "orvex-audit: %s\n%s" % (message, USAGE))


def test_an_unreadable_keys_file_is_a_usage_error(rotated_log, tmp_path):
    missing = tmp_path / "missing.keys"
    assert run("verify", "--keys", str(missing), str(rotated_log)) == \
        (2, "", "orvex-audit: --keys %s: No such file or directory\n%s" % (missing, USAGE))
    assert run("verify", "--keys", str(tmp_path), str(rotated_log)) == \
        (2, "", "orvex-audit: --keys %s: Is a directory\n%s" % (tmp_path, USAGE))
