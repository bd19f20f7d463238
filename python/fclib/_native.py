"""The shared libraries, their C declarations, and the process-wide settings."""
import ctypes
import os
import sys
import threading

FCL_OK = 0
T_STRING, T_NUMBER, T_LOGICAL, T_TIME, T_DATE, T_FIELD, T_NAME, T_FUNCTION = 1, 2, 4, 8, 16, 32, 64, 128
RAW_U8, RAW_DOUBLE = 0x10, 0x80
AGG_CONTINUE, AGG_RESET = 0xFFFE, 0xFFFF
MAX_CODE = MAX_VALUE = 528
RAW_BUFFER = 518
NUM_MAX_SIZE = 28
NUM_TEXT_MAX = 720
NUM_PLAIN = -1
ORDER_AGGREGATE, ORDER_PAGE = 1, 2
STORAGE_F64, STORAGE_TEXT, STORAGE_BOOL, STORAGE_DIGITS = 1, 2, 3, 4

FIELDPROC = ctypes.CFUNCTYPE(ctypes.c_int32, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p,
                             ctypes.POINTER(ctypes.c_uint16))


class Column(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("type", ctypes.c_int32), ("storage", ctypes.c_int32),
                ("values", ctypes.c_void_p), ("offsets", ctypes.c_void_p), ("bytes", ctypes.c_char_p),
                ("nulls", ctypes.c_void_p)]


class Output(ctypes.Structure):
    _fields_ = [("types", ctypes.c_void_p), ("status", ctypes.c_void_p), ("numbers", ctypes.c_void_p),
                ("logicals", ctypes.c_void_p), ("offsets", ctypes.c_void_p), ("bytes", ctypes.c_void_p),
                ("failures", ctypes.c_int64)]


class Fields(ctypes.Structure):
    _fields_ = [("count", ctypes.c_int32), ("names", ctypes.POINTER(ctypes.c_char_p)),
                ("types", ctypes.POINTER(ctypes.c_uint8))]


class Diagnostic(ctypes.Structure):
    _fields_ = [("status", ctypes.c_int32), ("begin", ctypes.c_int32), ("end", ctypes.c_int32),
                ("message", ctypes.c_char * 96), ("reason", ctypes.c_char * 256)]


class Warning_(ctypes.Structure):
    _fields_ = [("code", ctypes.c_char * 48), ("begin", ctypes.c_int32), ("end", ctypes.c_int32),
                ("message", ctypes.c_char * 256), ("has_fix", ctypes.c_int32), ("fix_begin", ctypes.c_int32),
                ("fix_end", ctypes.c_int32), ("fix", ctypes.c_char * 528)]


class Function(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("record", ctypes.c_int32), ("argc", ctypes.c_int32),
                ("result", ctypes.c_uint16), ("args", ctypes.c_uint16 * 11), ("summary", ctypes.c_char_p),
                ("aggregate", ctypes.c_int32), ("docs_anchor", ctypes.c_char_p)]


class SettingsError(RuntimeError):
    """A process-wide setting changed after the library was set up."""


_DEFAULTS = {"number_mode": "double", "backend": "decimal", "aggregate_sizes": "profile", "profile_dir": None}
_settings = dict(_DEFAULTS)
_libs = None
_lock = threading.Lock()


def _candidates(name):
    """Where a library is looked for: FCLIB_LIBRARY's directory, the package, the prefix."""
    here = os.path.dirname(os.path.abspath(__file__))
    explicit = os.environ.get("FCLIB_LIBRARY")
    dirs = [os.path.dirname(explicit)] if explicit else []
    dirs += [here, os.path.join(sys.prefix, "lib"), os.path.join(sys.prefix, "local", "lib")]
    if explicit and name == "libfclib.so":
        yield explicit
    for directory in dirs:
        for suffix in ("", ".1"):
            path = os.path.join(directory, name + suffix)
            if os.path.exists(path):
                yield path
    yield name + ".1"


def _load(name):
    errors = []
    for path in _candidates(name):
        try:
            return ctypes.CDLL(path)
        except OSError as error:
            errors.append(str(error))
    raise OSError("fclib: cannot load %s (set FCLIB_LIBRARY to libfclib.so): %s" % (name, "; ".join(errors)))


def _declare(core, batch):
    c = ctypes
    p = c.c_void_p
    for name, restype, argtypes in [
        ("FCLINIT", c.c_int32, [c.c_int64, c.POINTER(c.c_int32)]),
        ("FCLMODE", c.c_int32, []),
        ("FCLSETMODE", None, [c.c_int32]),
        ("FCLCREATEHANDLE", p, []),
        ("FCLRELEASEHANDLE", None, [p]),
        ("FCLCOMPILE2", c.c_uint16, [FIELDPROC, p, c.c_char_p, p, c.POINTER(c.c_uint16), p]),
        ("FCLEXECUTE2", c.c_uint16, [FIELDPROC, p, c.c_char_p, p, p]),
        ("NumSetup", None, [c.c_int32]),
        ("NumSize", c.c_int32, []),
        ("NumType", c.c_int32, []),
        ("NumToStr", p, [p, p, c.c_int32, c.c_int32]),
        ("NumFromStr", None, [p, c.c_char_p]),
        ("NumFromInt", None, [p, c.c_int32]),
        ("NumFromDbl", None, [p, c.c_double]),
        ("NumComp", c.c_int32, [p, p]),
        ("NumIsZero", c.c_int32, [p]),
        ("NumNeg", None, [p]),
        ("NumInt", None, [p]),
        ("NumFrac", None, [p]),
        ("NumAdd", None, [p, p]),
        ("NumSub", None, [p, p]),
        ("NumMul", None, [p, p]),
        ("NumDiv", None, [p, p]),
    ]:
        function = getattr(core, name)
        function.restype, function.argtypes = restype, argtypes
    for name, restype, argtypes in [
        ("fclb_setup", None, [c.c_int32, c.c_int32, c.c_int32]),
        ("fclb_formula_order", c.c_int32, [c.c_char_p]),
        ("fclb_evaluate", p, [c.POINTER(c.c_char_p), c.POINTER(c.c_char_p), c.c_int32, c.POINTER(Column),
                              c.c_int32, c.c_int64, p]),
        ("fclb_output_of", None, [p, c.c_int32, c.POINTER(Output)]),
        ("fclb_free", None, [p]),
        ("fclb_diagnose", c.c_int32, [c.c_char_p, c.POINTER(Fields), c.POINTER(Diagnostic)]),
        ("fclb_lint", c.c_int32, [c.c_char_p, c.POINTER(Fields), c.POINTER(Warning_), c.c_int32,
                                  c.POINTER(Diagnostic)]),
        ("fclb_function_count", c.c_int32, []),
        ("fclb_function_info", c.c_int32, [c.c_int32, c.POINTER(Function)]),
    ]:
        function = getattr(batch, name)
        function.restype, function.argtypes = restype, argtypes


class Libraries:
    """libfclib (compile, run, Num) and libfclib_batch (columns, analysis), set up alike."""

    def __init__(self, settings):
        if settings["profile_dir"] is not None:
            os.environ["FCLIB_PROFILE_DIR"] = os.fspath(settings["profile_dir"])
        self.core = _load("libfclib.so")
        self.batch = _load("libfclib_batch.so")
        _declare(self.core, self.batch)
        mode = 1 if settings["number_mode"] == "text" else 0
        backend = 5 if settings["backend"] == "decimal" else 1
        init = ctypes.c_int32(1 if settings["aggregate_sizes"] == "profile" else 0)
        self.core.NumSetup(backend)
        self.core.FCLSETMODE(mode)
        self.core.FCLINIT(0, ctypes.byref(init))
        self.batch.fclb_setup(mode, backend, init.value)
        self.text_numbers = mode != 0
        self.num_size = self.core.NumSize()


def libs():
    """The libraries, loaded and set up on first use; the settings are fixed from then on."""
    global _libs
    if _libs is None:
        with _lock:
            if _libs is None:
                _libs = Libraries(_settings)
    return _libs


def _change(key, value, allowed=None):
    if allowed is not None and value not in allowed:
        raise ValueError("%s must be one of %s, not %r" % (key, ", ".join(map(repr, allowed)), value))
    with _lock:
        if _libs is not None and _settings[key] != value:
            raise SettingsError("fclib: %s is fixed once the library is in use (it is %r)" % (key, _settings[key]))
        _settings[key] = value


def set_number_mode(mode):
    """"double" (IEEE doubles, float values) or "text" (exact decimal text, decimal.Decimal values)."""
    _change("number_mode", mode, ("double", "text"))


def set_backend(backend):
    """The Num functions' backend: "decimal" (the exact 28-byte decimal) or "double"."""
    _change("backend", backend, ("decimal", "double"))


def set_aggregate_sizes(sizes):
    """"profile": SUM, AVG, MIN and MAX slots from the profile's SumSize ... MaxSize; "fixed": 10 each."""
    _change("aggregate_sizes", sizes, ("profile", "fixed"))


def set_profile_dir(path):
    """The directory of ORBISRPT.INI (FCLIB_PROFILE_DIR), or None for the library's own search."""
    _change("profile_dir", None if path is None else os.fspath(path))


def settings():
    """The settings as a dict (the ones in force once the library is in use)."""
    return dict(_settings)


def apply_settings(wanted):
    """Makes this process's settings `wanted` (a worker's first task), or checks they are."""
    for key, value in wanted.items():
        _change(key, value)
    libs()


def text_numbers():
    return libs().text_numbers
