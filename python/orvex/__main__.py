"""`python -m orvex` (also the `orvex` command): what a ledger holds, for an operator.

    orvex reservations --ledger URL [--budget B]   the open reservations, oldest first
    orvex reservations --ledger URL --release ID   releases one (its action never ran)
    orvex day --ledger URL [--budget B] [--day YYYY-MM-DD]   a budget's day
"""
from __future__ import annotations

import argparse
import datetime
import sys
from typing import List, Optional, Sequence

from orvex.ledger import LedgerError, Reservation
from orvex.ledger_url import open_ledger


def _row(reservation: Reservation) -> str:
    return "%s  %s  %s  %-12g %s" % (reservation.id, reservation.budget, reservation.day,
                                     reservation.amount, reservation.created_at)


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="orvex", description="Reads and mends a spend ledger.")
    commands = parser.add_subparsers(dest="command", required=True)
    listing = commands.add_parser("reservations", help="list the open reservations, or release one")
    day = commands.add_parser("day", help="show a budget's day: reserved, settled, released, open")
    for command in (listing, day):
        command.add_argument("--ledger", required=True, help="sqlite:///PATH, a path, or postgresql://...")
        command.add_argument("--budget", help="the budget (default: every budget; for day: default)")
    listing.add_argument("--release", metavar="ID", help="release this open reservation")
    day.add_argument("--day", help="YYYY-MM-DD (default: today, UTC)")
    return parser


def main(argv: Optional[Sequence[str]] = None) -> int:
    arguments = _parser().parse_args(argv)
    try:
        with open_ledger(arguments.ledger) as ledger:
            lines: List[str] = []
            if arguments.command == "day":
                day = arguments.day or datetime.datetime.now(datetime.timezone.utc).date().isoformat()
                summary = ledger.day(arguments.budget or "default", day)
                lines.append("budget %s, day %s" % (summary.budget, summary.day))
                for name in ("reserved", "settled", "released"):
                    lines.append("%-9s %g" % (name, getattr(summary, name)))
                lines.append("open      %d" % len(summary.open))
                lines.extend(_row(r) for r in summary.open)
            elif arguments.release:
                released = ledger.release(arguments.release)
                lines.append("released %s: %g no longer counts against %s on %s"
                             % (released.id, released.amount, released.budget, released.day))
            else:
                lines.extend(_row(r) for r in ledger.open_reservations(arguments.budget))
                lines.append("%d open" % (len(lines)))
    except (LedgerError, ValueError) as error:
        print("orvex: %s" % error, file=sys.stderr)
        return 1
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
