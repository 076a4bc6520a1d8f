"""Kindprobe: what a file that a media player could not play really is.

    >>> import kindprobe
    >>> kindprobe.check("clip.avi", explain=True, lang="en")
    Result(type_id=<TypeId.INVALID_MEDIA: 4>, type_name='InvalidMedia', description='AVI file', ...)

A pure-Python interface over libkindprobe.so.1. Every function may be called from any number
of threads: each thread gets native checkers of its own.
"""

from __future__ import annotations

import ctypes
import enum
import os
import threading
import weakref
from dataclasses import dataclass
from typing import Callable, Optional, Tuple, Union

from . import _native

__all__ = ["Checker", "Failure", "Reason", "Result", "Stream", "TypeId", "check", "library_version"]

StrPath = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

_LANGUAGES = {"zh": 0, "en": 1}


class TypeId(enum.IntEnum):
    """The type ids a check gives."""

    UNKNOWN = 0
    PLAYER_CACHE = 1
    NON_MEDIA = 2
    ZERO_BYTE = 3
    INVALID_MEDIA = 4


@dataclass(frozen=True)
class Reason:
    """Why a file may not play: a stable code ("truncated", "renamed", ...) and a sentence."""

    code: str
    detail: str


@dataclass(frozen=True)
class Stream:
    """A stream inside the container: its kind ("video", "audio", ...), codec name and tag."""

    kind: str
    codec: str
    tag: str


@dataclass(frozen=True)
class Failure:
    """Why a file was not examined: an errno value and the words kindprobe prints."""

    errno: int
    text: str


@dataclass(frozen=True)
class Result:
    """The whole answer for one file."""

    type_id: TypeId
    type_name: str
    description: str
    rule: int  # index of the deciding rule, -1 when none
    examined: bool
    reasons: Tuple[Reason, ...]
    streams: Tuple[Stream, ...]
    error: Optional[Failure]


def library_version() -> str:
    """The version of the libkindprobe.so.1 in use."""
    return _native.lib.kindprobe_version().decode("ascii")


def _text(value: Optional[bytes]) -> str:
    return value.decode("utf-8", "replace") if value is not None else ""


class _Native:
    """One native checker, used by one thread only, freed with this object."""

    def __init__(self) -> None:
        handle = _native.lib.kindprobe_checker_new()
        if not handle:
            raise MemoryError()
        self.handle = handle
        self.settings: Optional[Tuple[str, bool]] = None
        self._free = weakref.finalize(self, _native.lib.kindprobe_checker_free, handle)

    def apply(self, lang: str, explain: bool) -> None:
        if self.settings != (lang, explain):
            _native.raise_for(_native.lib.kindprobe_set_language(self.handle, _LANGUAGES[lang]))
            _native.raise_for(_native.lib.kindprobe_set_explain(self.handle, int(explain)))
            self.settings = (lang, explain)

    def report(self) -> Result:
        lib, h = _native.lib, self.handle
        reasons = tuple(
            Reason(_text(lib.kindprobe_report_reason_code(h, i)),
                   _text(lib.kindprobe_report_reason_detail(h, i)))
            for i in range(lib.kindprobe_report_reason_count(h))
        )
        streams = tuple(
            Stream(_text(lib.kindprobe_report_stream_kind(h, i)),
                   _text(lib.kindprobe_report_stream_codec(h, i)),
                   _text(lib.kindprobe_report_stream_tag(h, i)))
            for i in range(lib.kindprobe_report_stream_count(h))
        )
        number = lib.kindprobe_report_error(h)
        return Result(
            type_id=TypeId(lib.kindprobe_report_type_id(h)),
            type_name=_text(lib.kindprobe_report_type_name(h)),
            description=_text(lib.kindprobe_report_description(h)),
            rule=lib.kindprobe_report_rule(h),
            examined=lib.kindprobe_report_examined(h) == 1,
            reasons=reasons,
            streams=streams,
            error=Failure(number, _text(lib.kindprobe_report_error_text(h))) if number else None,
        )


def _check_language(lang: str) -> str:
    if lang not in _LANGUAGES:
        raise ValueError(f"lang must be one of {sorted(_LANGUAGES)}, not {lang!r}")
    return lang


class Checker:
    """Checks files with fixed settings, from any number of threads.

    `rules_file` names a rule table to use instead of the built-in one (kindprobe
    --rules-file); a file that cannot be used raises OSError here.
    """

    def __init__(self, *, explain: bool = False, lang: str = "zh",
                 rules_file: Optional[StrPath] = None) -> None:
        self.explain = bool(explain)
        self.lang = _check_language(lang)
        self._rules_file = os.fsencode(rules_file) if rules_file is not None else None
        # The library refuses a checker to a second thread at once: each thread has its own.
        self._local = threading.local()
        self._native()

    def _native(self) -> _Native:
        native: Optional[_Native] = getattr(self._local, "native", None)
        if native is None:
            native = _Native()
            if self._rules_file is not None:
                status = _native.lib.kindprobe_set_rules_file(native.handle, self._rules_file)
                _native.raise_for(status, os.fsdecode(self._rules_file))
            self._local.native = native
        return native

    def _run(self, explain: bool, lang: str, call: Callable[[int], int]) -> Result:
        native = self._native()
        native.apply(lang, explain)
        _native.raise_for(call(native.handle))
        return native.report()

    def check(self, path: StrPath, *, explain: Optional[bool] = None,
              lang: Optional[str] = None) -> Result:
        """The answer for the file at `path` (str, bytes or os.PathLike). A file that cannot be
        opened is an answer too: not examined, with `error` saying why."""
        name = os.fsencode(path)
        if b"\0" in name:
            raise ValueError("embedded null byte in path")
        return self._run(self.explain if explain is None else bool(explain),
                         self.lang if lang is None else _check_language(lang),
                         lambda h: _native.lib.kindprobe_check(h, name, ctypes.byref(_native.Result())))

    def check_fd(self, fd: int, name: Optional[StrPath] = None, *,
                 explain: Optional[bool] = None, lang: Optional[str] = None) -> Result:
        """The answer for the file open as `fd`, judged by `name` for its extension. The
        descriptor stays open and its offset is not moved."""
        encoded = os.fsencode(name) if name is not None else None
        if encoded is not None and b"\0" in encoded:
            raise ValueError("embedded null byte in name")
        return self._run(self.explain if explain is None else bool(explain),
                         self.lang if lang is None else _check_language(lang),
                         lambda h: _native.lib.kindprobe_check_fd(h, fd, encoded, None))


_default = Checker()


def check(path: StrPath, *, explain: bool = False, lang: str = "zh") -> Result:
    """The answer for the file at `path`; see Checker.check."""
    return _default.check(path, explain=explain, lang=lang)
