"""orvex_core: a policy guard that signs every decision, and a logic fingerprint of a manifest.

Every function takes str arguments, positionally or by keyword, and raises
TypeError for anything else. A document that cannot be read raises ValueError
("Invalid ... JSON: <reason> at line L column C"). A missing or malformed
ORVEX_SEED raises PanicException, which derives from BaseException (not
Exception) and is not a module attribute: catch BaseException and check
type(error).__name__ == "PanicException".

The document formats: docs/formats.md in the project; the errors, the audit log
and running in production: its README.
"""

from typing import List, Literal

__all__: List[str] = ["validate_intent_json", "generate_logic_fingerprint", "verify_logic_fingerprint"]

def validate_intent_json(intent_json: str, action_json: str, state_json: str) -> Literal[True]:
    """Decides whether the proposed action is allowed, recording the decision first.

    intent_json: {"id": str, "objective": any, "mode": str, "version": str,
    "constraints": [{"attribute": str, "operator": "<=" | ">=" | "==",
    "value": any, "priority": int}, ...]}; every field required, priority
    never used. action_json: {"params": {...}}. state_json: {"values": {...}}.

    The daily spend rule comes first: for each constraint on
    "total_daily_spend", values["current_spend"] + params["amount"] must not
    exceed its value. Then the other constraints, in list order, against
    params. Under <= and >= a parameter that is not a JSON number (a string,
    null) counts as 0.0: check types before asking.

    Appends one signed line to orvex_audit.log in the current working
    directory, then returns True, or raises ValueError with the reason:
    "Missing required attribute: ", "Unsupported operator: ",
    "Constraint violation: " or "Dynamic Violation: Total spend would reach ".
    A malformed document raises ValueError "Invalid Intent JSON: ",
    "Invalid Action JSON: " or "Invalid State JSON: " and logs nothing.
    Raises PanicException (a BaseException) when ORVEX_SEED, 64 hexadecimal
    digits, is missing or malformed; then nothing is logged.
    """

def generate_logic_fingerprint(manifest_json: str) -> str:
    """The logic fingerprint of a project manifest: 64 lowercase hexadecimal digits (SHA-256).

    manifest_json: {"ModSurfaces": [{"Name": str, "Weight": number}, ...],
    "WeightTables": [{"Key": str, "Value": number}, ...]}. Whitespace, member
    and entry order, unknown members and the spelling of numbers do not
    change it. Raises ValueError "Invalid ProjectManifest JSON: ..." for a
    manifest that cannot be read. Reads no file and no environment.
    """

def verify_logic_fingerprint(manifest_json: str, expected_fingerprint: str) -> bool:
    """Whether the manifest's fingerprint is byte for byte `expected_fingerprint`.

    The comparison is exact: an upper-case fingerprint does not match. Raises
    ValueError "Invalid ProjectManifest JSON: ..." for a manifest that cannot
    be read.
    """
