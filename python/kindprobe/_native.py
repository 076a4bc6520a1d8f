"""libkindprobe.so.1 through ctypes: the prototypes of the C functions the package calls."""

from __future__ import annotations

import ctypes
import errno
import os

# The release that added everything below beyond the first four functions.
_NEEDED = (1, 1)


class _Result(ctypes.Structure):
    _fields_ = [
        ("type_id", ctypes.c_int),
        ("type_name", ctypes.c_char_p),
        ("description", ctypes.c_char_p),
        ("rule", ctypes.c_int),
        ("examined", ctypes.c_int),
    ]


_Checker = ctypes.c_void_p
_INT = ctypes.c_int
_TEXT = ctypes.c_char_p

# name: (result type, argument types)
_PROTOTYPES = {
    "kindprobe_version": (_TEXT, []),
    "kindprobe_checker_new": (_Checker, []),
    "kindprobe_checker_free": (None, [_Checker]),
    "kindprobe_check": (_INT, [_Checker, _TEXT, ctypes.POINTER(_Result)]),
    "kindprobe_check_fd": (_INT, [_Checker, _INT, _TEXT, ctypes.POINTER(_Result)]),
    "kindprobe_set_language": (_INT, [_Checker, _INT]),
    "kindprobe_set_explain": (_INT, [_Checker, _INT]),
    "kindprobe_set_rules_file": (_INT, [_Checker, _TEXT]),
    "kindprobe_report_type_id": (_INT, [_Checker]),
    "kindprobe_report_type_name": (_TEXT, [_Checker]),
    "kindprobe_report_description": (_TEXT, [_Checker]),
    "kindprobe_report_rule": (_INT, [_Checker]),
    "kindprobe_report_examined": (_INT, [_Checker]),
    "kindprobe_report_error": (_INT, [_Checker]),
    "kindprobe_report_error_text": (_TEXT, [_Checker]),
    "kindprobe_report_reason_count": (_INT, [_Checker]),
    "kindprobe_report_reason_code": (_TEXT, [_Checker, _INT]),
    "kindprobe_report_reason_detail": (_TEXT, [_Checker, _INT]),
    "kindprobe_report_stream_count": (_INT, [_Checker]),
    "kindprobe_report_stream_kind": (_TEXT, [_Checker, _INT]),
    "kindprobe_report_stream_codec": (_TEXT, [_Checker, _INT]),
    "kindprobe_report_stream_tag": (_TEXT, [_Checker, _INT]),
}


def _load() -> ctypes.CDLL:
    # The soname, found as the dynamic linker finds it (LD_LIBRARY_PATH, then the system's).
    library = ctypes.CDLL("libkindprobe.so.1")
    library.kindprobe_version.restype = _TEXT
    version = library.kindprobe_version().decode("ascii")
    if tuple(int(part) for part in version.split(".")[:2]) < _NEEDED:
        raise ImportError(
            f"libkindprobe.so.1 is version {version}; kindprobe needs "
            f"{_NEEDED[0]}.{_NEEDED[1]} or later"
        )
    for name, (restype, argtypes) in _PROTOTYPES.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes
    return library


lib = _load()
Result = _Result


def raise_for(status: int, filename: object = None) -> None:
    """Raises the error a negative status from the library stands for."""
    if status >= 0:
        return
    number = -status
    if number == errno.ENOMEM:
        raise MemoryError()
    raise OSError(number, os.strerror(number), filename)
