"""The shared library and the prototypes of its C interface (vkcstringdict.h).

The library is looked for, in this order:
  1. beside this package (a build tree's python/vkcstringdict/, or an
     installation that carries the library inside the package);
  2. the file named by the environment variable VKCSTRINGDICT_LIBRARY;
  3. the system's search path (libvkcstringdict.so.1, or vkcstringdict.dll
     on Windows).
"""
from __future__ import annotations

import ctypes
import os
import sys
from typing import Any, Dict, Iterator, List, Optional, Tuple

MAJOR = 1

if sys.platform == "win32":
    FILE_NAMES = ("vkcstringdict.dll",)
elif sys.platform == "darwin":
    FILE_NAMES = ("libvkcstringdict.%d.dylib" % MAJOR, "libvkcstringdict.dylib")
else:
    FILE_NAMES = ("libvkcstringdict.so.%d" % MAJOR,)

# Result codes.
OK = 0
NOT_FOUND = 1
E_ARGUMENT = -1
E_MEMORY = -2
E_OPEN = -3
E_FORMAT = -4
E_BROKEN = -5
E_RANGE = -6
E_IO = -7


class vkc_record(ctypes.Structure):
    # Texts as pointers to char, so that a slice copies one out as bytes
    # (quicker than ctypes.string_at, which is a foreign call of its own).
    # (For type checkers: a slice of a pointer to char is bytes.)
    eng: Any
    eng_len: int
    chi: Any
    chi_len: int
    remark: Any
    remark_len: int
    _fields_ = [("eng", ctypes.POINTER(ctypes.c_char)), ("eng_len", ctypes.c_uint32),
                ("chi", ctypes.POINTER(ctypes.c_char)), ("chi_len", ctypes.c_uint32),
                ("remark", ctypes.POINTER(ctypes.c_char)), ("remark_len", ctypes.c_uint32)]


def _candidates() -> Iterator[Tuple[str, str]]:
    """(how it was found, what to load) in the order of the search."""
    here = os.path.dirname(os.path.abspath(__file__))
    for name in FILE_NAMES:
        path = os.path.join(here, name)
        if os.path.isfile(path):
            yield "beside the package", path
    named = os.environ.get("VKCSTRINGDICT_LIBRARY")
    if named:
        yield "VKCSTRINGDICT_LIBRARY", named
    for name in FILE_NAMES:
        yield "the system's search path", name
    if sys.platform == "win32":
        # Python 3.8 and later leave PATH out of a bare name's DLL search.
        import ctypes.util
        found = ctypes.util.find_library("vkcstringdict")
        if found:
            yield "PATH", found


def _open() -> Tuple[ctypes.CDLL, str]:
    tried: List[str] = []
    for how, what in _candidates():
        try:
            return ctypes.CDLL(what), what
        except OSError as error:
            tried.append("%s (%s): %s" % (what, how, error))
    raise ImportError("vkcstringdict: the shared library was not found. Tried:\n  " +
                      "\n  ".join(tried) +
                      "\nBuild it (CMake), or set VKCSTRINGDICT_LIBRARY to its path.")


lib: ctypes.CDLL
path: str
lib, path = _open()

_P = ctypes.c_void_p
_S = ctypes.c_char_p
_I = ctypes.c_int
_U32 = ctypes.c_uint32
_PU32 = ctypes.POINTER(ctypes.c_uint32)
_PREC = ctypes.POINTER(vkc_record)

_PROTOTYPES: Dict[str, Tuple[Optional[Any], List[Any]]] = {
    "vkc_version": (_S, []),
    "vkc_dict_new": (_P, []),
    "vkc_dict_free": (None, [_P]),
    "vkc_dict_last_error": (_S, [_P]),
    "vkc_dict_load_file": (_I, [_P, _S, _PU32]),
    "vkc_dict_load_string": (_I, [_P, _S, _PU32]),
    "vkc_dict_reload": (_I, [_P, _PU32]),
    "vkc_dict_load_image": (_I, [_P, _S, _PU32]),
    "vkc_dict_save": (_I, [_P, _S]),
    "vkc_dict_append_to_file": (_I, [_P, _S]),
    "vkc_dict_count": (_I, [_P, _PU32]),
    "vkc_dict_record": (_I, [_P, _U32, _PREC]),
    "vkc_dict_find": (_I, [_P, _S, _PREC, _PU32]),
    "vkc_dict_find_index": (_I, [_P, _S, _PU32, ctypes.POINTER(_I)]),
    "vkc_dict_add": (_I, [_P, _S, _S, _S, _PREC, _PU32]),
    "vkc_dict_insert_blank": (_I, [_P, _U32, _PU32]),
    "vkc_dict_set_eng": (_I, [_P, _U32, _S]),
    "vkc_dict_set_chi": (_I, [_P, _U32, _S]),
    "vkc_dict_set_remark": (_I, [_P, _U32, _S]),
    "vkc_dict_match": (_I, [_P, _S, _P, _U32]),
    "vkc_dict_match_capacity": (_I, [_P, _PU32]),
    "vkc_rewrite": (_I, [_P, _P, ctypes.c_size_t, ctypes.POINTER(_P),
                         ctypes.POINTER(ctypes.c_size_t)]),
    "vkc_buffer_free": (None, [_P]),
}

for _name, (_restype, _argtypes) in _PROTOTYPES.items():
    try:
        _function = getattr(lib, _name)
    except AttributeError:
        raise ImportError("vkcstringdict: %s lacks %s" % (path, _name)) from None
    _function.restype = _restype
    _function.argtypes = _argtypes

# The lookup again, without argtypes: ctypes then passes each argument by its
# own type without a conversion call, which is a good part of a lookup's cost
# from Python. Its callers pass the handle as a c_void_p, the text as bytes.
find_unchecked = ctypes.CFUNCTYPE(_I)(("vkc_dict_find", lib))

version: str = lib.vkc_version().decode("ascii")
if int(version.split(".")[0]) != MAJOR:
    raise ImportError("vkcstringdict: %s is version %s; this package needs %d.x" %
                      (path, version, MAJOR))
