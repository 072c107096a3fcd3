"""The exceptions of the orvex package, and the one place that knows the guard's texts and the
texts of the ledgers (one wording for the same failure on every backend).

The guard reports everything through `ValueError` texts with fixed prefixes (a malformed
document or a denial) and through `orvex_core.PanicException` (no usable seed). This module turns
those into typed exceptions, so that no caller reads a prefix again.
"""
from __future__ import annotations

from typing import Any, Dict, List, Optional, Tuple

# Kinds of denial, the values of `Denied.kind`.
CONSTRAINT = "constraint"
MISSING_ATTRIBUTE = "missing attribute"
UNSUPPORTED_OPERATOR = "unsupported operator"
DAILY_SPEND = "daily spend"

# The constraint attribute that the guard reads as the daily cap.
SPEND_ATTRIBUTE = "total_daily_spend"
# The operators the guard knows; any other is an unsupported operator.
OPERATORS = ("<=", ">=", "==")

# Every text of the guard's ValueError begins with one of these.
MALFORMED_PREFIXES = ("Invalid Intent JSON: ", "Invalid Action JSON: ", "Invalid State JSON: ")
DENIAL_PREFIXES: Tuple[Tuple[str, str], ...] = (
    ("Missing required attribute: ", MISSING_ATTRIBUTE),
    ("Unsupported operator: ", UNSUPPORTED_OPERATOR),
    ("Constraint violation: ", CONSTRAINT),
    ("Dynamic Violation: Total spend would reach ", DAILY_SPEND),
)

# Texts of this package's own refusals; {} are filled in order.
NOT_A_NUMBER = "{} must be a number, not {}"
NOT_FINITE = "{} must be finite"
NEGATIVE_SPEND = "{} must not be negative"
MISSING_SPEND = "{} is missing: the intent caps the daily spend, so every action states its amount"
PARAMS_NOT_A_DICT = "params must be a dict, not {}"
PARAMS_NOT_JSON = "arguments are not JSON: {}"
KEYWORDS_ONLY = "call it with keyword arguments only"
SPEND_OPERATOR = ("the total_daily_spend constraint has the operator {!r}, which the guard ignores "
                  "(it always applies <=): write <=")
SPEND_LIMIT = ("the total_daily_spend constraint's value must be a number, not {}: the guard "
               "reads anything else as 0")
SPEND_PARAM = ("spend_param is {!r}, but the guard's daily cap counts the parameter 'amount': "
               "an intent with a total_daily_spend constraint needs spend_param='amount'")
INTENT_NOT_JSON = "the intent is not JSON: {}"
# Texts of the ledgers, one wording for the same failure on every backend; {} are filled in
# order. A backend's failure names the backend, where it is (a path, or host, port and
# database: never a password), the step and the cause.
LEDGER_FAILED = "the {} ledger {} could not {}: {}"
CONNECT_STEP = "connect"
SCHEMA_STEP = "create its schema"
SESSION_STEP = "set up its session"
LOCK_STEP = "take the lock of {} on {}"
COMMIT_STEP = "commit"
CLOSE_STEP = "mark reservation {} {}"
DAY_STEP = "read {} on {}"
LIST_STEP = "list the open reservations"
SCHEMA_VERSION_FOUND = "its schema version is {}; this orvex reads version {}"
NO_OPEN_RESERVATION = "no open reservation has the id {!r}"
RESERVATION_AMOUNT = "a reservation's amount must be a finite number of at least 0, not {!r}"
NO_POSTGRES_DRIVER = ("PostgresLedger needs psycopg 3, which cannot be imported ({}): "
                      "install orvex-core[postgres]")
# The guard has logged a PASS and the booking failed: the action must not run. Whether the
# reservation was recorded is known when the commit failed before reaching the database, and
# unknown when the database may have committed it before the answer was lost.
PASS_WITHOUT_BOOKING = ("the ledger failed after the guard allowed the action: a PASS was logged for "
                        "an action that must not run, {} ({})")
BOOKING_NOT_RECORDED = "since no reservation was recorded"
BOOKING_UNKNOWN = ("and its reservation {} may or may not be recorded (if it is, it stays open and "
                   "counted until released)")


class OrvexError(Exception):
    """The base of every exception this package raises of its own."""


class Denied(OrvexError):
    """The guard denied the action (the decision is in the audit log).

    `reason` is the guard's text, `kind` one of CONSTRAINT, MISSING_ATTRIBUTE,
    UNSUPPORTED_OPERATOR, DAILY_SPEND, and `attribute` the constraint's attribute (None when it
    cannot be told)."""

    def __init__(self, reason: str, kind: str, attribute: Optional[str]) -> None:
        super().__init__(reason)
        self.reason = reason
        self.kind = kind
        self.attribute = attribute


class MalformedDocument(OrvexError, ValueError):
    """A document did not read: a bug in the caller, not a decision (nothing was logged)."""


class SeedError(OrvexError):
    """ORVEX_SEED is missing or malformed, so the decision could not be recorded and is reported
    to nobody. Chained from the guard's PanicException, whose text it carries."""


class InvalidParams(OrvexError, ValueError):
    """The action's parameters were refused before asking: the guard would have misread them.
    `reason` says why; nothing was logged."""

    def __init__(self, reason: str) -> None:
        super().__init__(reason)
        self.reason = reason


class UnsafeIntent(OrvexError, ValueError):
    """An intent that reads, but that the guard would silently apply differently than written."""


def is_panic(error: BaseException) -> bool:
    """The guard's PanicException, which is not a module attribute: known by its name."""
    kind = type(error)
    return kind.__name__ == "PanicException" and kind.__module__ == "orvex_core"


def denial_attribute(kind: str, rest: str, constraints: List[Dict[str, Any]],
                     params: Dict[str, Any]) -> Optional[str]:
    """The attribute a denial is about. `rest` is the text after the denial's prefix. A missing
    attribute is named as is; a violation names the attribute before its operator, found among
    the constraints (an attribute may hold spaces); an unsupported operator names only the
    operator. The guard stops at the first failing constraint in document order, so the first
    one whose attribute is among the params and whose text fits is the one it reported."""
    if kind == MISSING_ATTRIBUTE:
        return rest
    if kind == DAILY_SPEND:
        return SPEND_ATTRIBUTE
    for constraint in constraints:
        attribute, operator = constraint.get("attribute"), constraint.get("operator")
        if attribute == SPEND_ATTRIBUTE or not isinstance(attribute, str) or attribute not in params:
            continue
        if kind == CONSTRAINT and rest.startswith("%s %s " % (attribute, operator)):
            return attribute
        if kind == UNSUPPORTED_OPERATOR and operator == rest and rest not in OPERATORS:
            return attribute
    return None


def from_guard_error(error: ValueError, constraints: List[Dict[str, Any]],
                     params: Dict[str, Any]) -> OrvexError:
    """The typed exception for one ValueError of the guard (raise it `from` the original)."""
    text = str(error)
    if text.startswith(MALFORMED_PREFIXES):
        return MalformedDocument(text)
    for prefix, kind in DENIAL_PREFIXES:
        if text.startswith(prefix):
            return Denied(text, kind, denial_attribute(kind, text[len(prefix):], constraints, params))
    # Not a text this package knows: still a refusal, never an allowed action.
    return OrvexError(text)
