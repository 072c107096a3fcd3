"""`guarded`: an agent's tool functions, plain or async, decided and booked by a `Guard`."""
from __future__ import annotations

import functools
import inspect
from typing import Any, Awaitable, Callable, Optional, TypeVar, cast

from orvex.errors import KEYWORDS_ONLY, Denied, InvalidParams, OrvexError
from orvex.guard import Guard

Tool = TypeVar("Tool", bound=Callable[..., Any])
# What the tool runner hands back to the model when `refusal_as_text` is set.
REFUSAL_TEXT = "refused: {}"


class ToolRefused(OrvexError):
    """The tool did not run: the guard denied the call, or its arguments were refused before
    asking. `tool` is the tool's name, `reason` the text to hand back; the Denied or
    InvalidParams it comes from is its `__cause__`."""

    def __init__(self, tool: str, reason: str) -> None:
        super().__init__("%s refused: %s" % (tool, reason))
        self.tool = tool
        self.reason = reason


def guarded(guard: Guard, *, refusal_as_text: bool = False) -> Callable[[Tool], Tool]:
    """Decorates a tool taking keyword arguments: the arguments are the action's params, the
    amount is booked before the tool runs, settled when it returns and released when it raises
    or is cancelled. A refusal raises ToolRefused, or with `refusal_as_text` becomes the tool's
    result, "refused: <reason>", for a runner that hands results back to a model. A malformed
    document, a seed or a ledger failure still raise: those are faults, not answers."""

    def decorate(tool: Tool) -> Tool:
        name = tool.__name__

        def refuse(reason: str, cause: Optional[OrvexError] = None) -> str:
            problem = ToolRefused(name, reason)
            problem.__cause__ = cause
            if refusal_as_text:
                return REFUSAL_TEXT.format(reason)
            raise problem

        if inspect.iscoroutinefunction(tool):
            @functools.wraps(tool)
            async def guarded_async_tool(*args: Any, **params: Any) -> Any:
                if args:
                    return refuse(KEYWORDS_ONLY)
                started = False
                try:
                    async with guard.reserve_async(params):
                        started = True
                        return await cast(Callable[..., Awaitable[Any]], tool)(**params)
                except (Denied, InvalidParams) as error:
                    if started:  # the tool's own, not a refusal of this call
                        raise
                    return refuse(error.reason, error)
            return cast(Tool, guarded_async_tool)

        @functools.wraps(tool)
        def guarded_tool(*args: Any, **params: Any) -> Any:
            if args:
                return refuse(KEYWORDS_ONLY)
            started = False
            try:
                with guard.reserve(params):
                    started = True
                    return tool(**params)
            except (Denied, InvalidParams) as error:
                if started:
                    raise
                return refuse(error.reason, error)
        return cast(Tool, guarded_tool)

    return decorate
