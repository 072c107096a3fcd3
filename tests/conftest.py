"""What several test files share: the test seed, the scratch directories the
guard runs in, and the helpers that turn a call into the text it raises.

Fixtures are found by pytest; the plain functions and constants are imported
by name (`from conftest import digest, split_mark`).
"""

import hashlib
import json

import pytest

import orvex_core

# RFC 8032 section 7.1, test 1: the public key is known independently.
SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
LOG_NAME = "orvex_audit.log"
# The members of an audit record in the order in which the log writes them.
RECORD_ORDER = ["timestamp", "intent_id", "objective", "mode", "version",
                "action_params", "result", "reason", "public_key", "signature"]

# Position marks: MARK (U+2038) stands just after the byte an error points
# at and is cut out before the text is handed over.
MARK = "\u2038"

GOOD_ACTION = '{"params":{}}'
GOOD_STATE = '{"values":{}}'
ACTION_MISSING = "Invalid Action JSON: EOF while parsing a value at line 1 column 0"

# Reading errors that several tables expect.
EOF_LIST = "EOF while parsing a list"
EXPECTED_VALUE = "expected value"
KEY_NOT_STRING = "key must be a string"
TRAILING_COMMA = "trailing comma"
TRAILING_CHARACTERS = "trailing characters"


@pytest.fixture
def workdir(tmp_path, monkeypatch):
    """A scratch directory as the current one, with the test seed set."""
    monkeypatch.setenv("ORVEX_SEED", SEED)
    monkeypatch.chdir(tmp_path)
    return tmp_path


@pytest.fixture
def keyless_workdir(tmp_path, monkeypatch):
    """A scratch directory without ORVEX_SEED: what runs in it must fail
    before it needs a key, and leave no audit log behind."""
    monkeypatch.delenv("ORVEX_SEED", raising=False)
    monkeypatch.chdir(tmp_path)
    yield tmp_path
    assert not (tmp_path / LOG_NAME).exists()


def log_lines(directory):
    """The lines of the audit log in `directory`, without line ends; none
    when there is no log. Every line ends with a line feed, and no carriage
    return appears anywhere."""
    path = directory / LOG_NAME
    if not path.exists():
        return []
    data = path.read_bytes()
    assert data.endswith(b"\n") and b"\r" not in data
    return data.decode("utf-8").split("\n")[:-1]


def log_records(directory):
    """The audit log's records, each read as JSON."""
    return [json.loads(line) for line in log_lines(directory)]


def decide(*documents):
    """True, or the text of the ValueError raised (its only argument)."""
    try:
        result = orvex_core.validate_intent_json(*documents)
    except ValueError as error:
        assert len(error.args) == 1
        return error.args[0]
    assert result is True
    return result


def validation_failure(intent, action=GOOD_ACTION, state=GOOD_STATE):
    """The text of the ValueError that validate_intent_json raises."""
    with pytest.raises(ValueError) as caught:
        orvex_core.validate_intent_json(intent, action, state)
    return str(caught.value)


def manifest_failure(text):
    """The text of the ValueError that generate_logic_fingerprint raises."""
    with pytest.raises(ValueError) as caught:
        orvex_core.generate_logic_fingerprint(text)
    return str(caught.value)


def digest(canonical):
    """The fingerprint of a canonical text, computed independently."""
    return hashlib.sha256(canonical.encode()).hexdigest()


def split_mark(marked):
    """(text without the mark, byte offset of the mark)."""
    before, found, after = marked.partition(MARK)
    assert found, "row without a position mark"
    return before + after, len(before.encode())


def position(text, offset):
    """" at line L column C" of a byte offset: lines end at line feeds only,
    a column counts bytes and is 0 just after a line feed."""
    head = text.encode()[:offset]
    line_start = head.rfind(b"\n") + 1
    line = head.count(b"\n") + 1
    return f" at line {line} column {offset - line_start}"


def rows(message, *marked):
    """Table rows of marked texts that all fail with `message`."""
    return [pytest.param(m, message, id=f"{message[:30]}|{m[-30:]}") for m in marked]


# A throwaway PostgreSQL server for the ledger tests (postgres_fixtures.py).
from postgres_fixtures import (fresh_postgres_dsn, postgres_cluster,  # noqa: E402,F401
                               postgres_dsn, pytest_terminal_summary)
