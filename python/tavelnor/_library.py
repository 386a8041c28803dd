"""Finding and loading libtavelnor, and the prototypes of its C interface."""
import ctypes
import ctypes.util
import os
import sys

_lib = None

# name: (result type, argument types)
_P = ctypes.c_void_p
_I32 = ctypes.c_int32
_U32 = ctypes.c_uint32
_PROTOTYPES = {
    "ZAVL_OpenSchema": (_P, [ctypes.c_char_p, _U32]),
    "ZAVL_CloseSchema": (None, [_P]),
    "ZAVL_GetDicoVersion": (_I32, [_P]),
    "ZAVL_GetLastError": (_I32, []),
    "ZAVL_OpenData": (_P, [_P, ctypes.c_char_p, _U32]),
    "ZAVL_OpenFile": (_P, [_P, ctypes.c_char_p, ctypes.c_char_p, _U32]),
    "ZAVL_CloseData": (None, [_P]),
    "ZAVL_GetFirst": (_I32, [_P]),
    "ZAVL_GetLast": (_I32, [_P]),
    "ZAVL_GetNext": (_I32, [_P]),
    "ZAVL_GetPrevious": (_I32, [_P]),
    "ZAVL_GetCurrent": (_I32, [_P]),
    "ZAVL_GetEqual": (_I32, [_P, _I32, ctypes.c_char_p, _U32]),
    "ZAVL_RePos": (_I32, [_P, _I32]),
    "ZAVL_GetNbRecords": (_I32, [_P]),
    "ZAVL_SetKeyrange": (_I32, [_P, _I32, ctypes.c_char_p, _I32, ctypes.c_char_p, _I32]),
    "ZAVL_Locate": (_I32, [_P, ctypes.c_char_p, ctypes.POINTER(ctypes.c_char_p)]),
    "ZAVL_GetBuffer": (_P, [_P]),
}

# Decorated export names of the 32-bit Windows DLL (stdcall).
_DECORATED = {"ZAVL_OpenFile": "_ZAVL_OpenFile@16"}


class LibraryNotFound(OSError):
    """libtavelnor could not be found or loaded."""


def _candidates():
    explicit = os.environ.get("TAVELNOR_LIBRARY")
    if explicit:
        return [explicit]
    found = ctypes.util.find_library("tavelnor")
    names = [found] if found else []
    if sys.platform == "win32":
        names += ["tavelnor.dll", "libtavelnor.dll"]
    elif sys.platform == "darwin":
        names += ["libtavelnor.0.dylib", "libtavelnor.dylib"]
    else:
        names += ["libtavelnor.so.0", "libtavelnor.so"]
    return names


def _bind(lib):
    for name, (restype, argtypes) in _PROTOTYPES.items():
        try:
            function = getattr(lib, name)
        except AttributeError:
            function = getattr(lib, _DECORATED[name])
        function.restype = restype
        function.argtypes = argtypes
        setattr(lib, name, function)
    return lib


def library():
    """The loaded library: $TAVELNOR_LIBRARY when set, else the system's."""
    global _lib
    if _lib is None:
        loader = ctypes.WinDLL if sys.platform == "win32" else ctypes.CDLL
        tried = []
        for name in _candidates():
            try:
                _lib = _bind(loader(name))
                break
            except (OSError, AttributeError, KeyError) as error:
                tried.append(f"{name}: {error}")
        else:
            raise LibraryNotFound(
                "libtavelnor was not found; set TAVELNOR_LIBRARY to its path ("
                + "; ".join(tried) + ")")
    return _lib
