"""Types of the orvex_core extension module.

Every function takes str arguments, positionally or by keyword, and raises
TypeError for anything else. A malformed document raises ValueError. A
missing or malformed ORVEX_SEED raises PanicException, which derives from
BaseException and is not a module attribute.
"""

from typing import List, Literal

__all__: List[str] = ["validate_intent_json", "generate_logic_fingerprint", "verify_logic_fingerprint"]

def validate_intent_json(intent_json: str, action_json: str, state_json: str) -> Literal[True]:
    """Decides whether the proposed action is allowed under the intent and
    the state, appending one signed record to orvex_audit.log first.

    Returns True for an allowed action. Raises ValueError whose text is the
    reason for a denied one, or the reading error of a malformed document
    (then nothing is logged).
    """

def generate_logic_fingerprint(manifest_json: str) -> str:
    """The 64 lowercase hexadecimal digits of the SHA-256 digest of the
    manifest's canonical text. Raises ValueError for a manifest that cannot
    be read."""

def verify_logic_fingerprint(manifest_json: str, expected_fingerprint: str) -> bool:
    """Whether the manifest's fingerprint is byte for byte
    `expected_fingerprint`. Raises ValueError for a manifest that cannot be
    read."""
