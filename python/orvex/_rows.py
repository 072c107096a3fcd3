"""What every ledger writes the same way: reservation ids and timestamps."""
from __future__ import annotations

import datetime
import uuid


def new_reservation_id() -> str:
    """A reservation's id: a random UUID as 32 lowercase hex digits, unique across hosts."""
    return uuid.uuid4().hex


def utc_timestamp() -> str:
    """Now, RFC 3339 in UTC with microseconds, like 2026-03-01T09:30:15.250000+00:00."""
    return datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="microseconds")
