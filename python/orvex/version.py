"""The package's version: the one written in pyproject.toml, read from the installed
distribution's metadata so that it is defined in one place."""
from __future__ import annotations

from importlib import metadata

try:
    __version__ = metadata.version("orvex-core")
except metadata.PackageNotFoundError:  # imported from a source tree that was never installed
    __version__ = "0+unknown"
