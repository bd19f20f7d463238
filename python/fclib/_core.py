"""Contexts, compiled formulas, their errors, the analysis and the Num decimal."""
import ctypes
import decimal
import itertools
from dataclasses import dataclass

from . import _native as n
from . import _values as v


class CompileError(ValueError):
    """A formula that does not compile: status, message, reason, offset (characters into the
    text) and token (the text the compiler stopped at)."""

    def __init__(self, status, message, reason, offset, token, text):
        self.status, self.message, self.reason = status, message, reason
        self.offset, self.token, self.text = offset, token, text
        detail = "%s (status %d)" % (message, status)
        if reason:
            detail += ": " + reason
        if token:
            detail += " at %r, offset %d" % (token, offset)
        super().__init__(detail)


class RunError(RuntimeError):
    """A run that failed: status and blank (the blank value of the formula's result type)."""

    def __init__(self, status, blank, message=None):
        self.status, self.blank = status, blank
        super().__init__(message or "fclib: the run failed with status %d" % status)


def fields_struct(fields):
    """(Fields, keep-alive) of a name -> type code mapping of cp932 names."""
    names = list(fields)
    array = (ctypes.c_char_p * max(1, len(names)))(*names)
    types = (ctypes.c_uint8 * max(1, len(names)))(*[fields[name] for name in names])
    return n.Fields(len(names), array, types), (array, types)


def diagnose(text_bytes, typed):
    """The analysis's diagnostic of a compile of text_bytes with typed (cp932 name -> code)."""
    structure, keep = fields_struct(typed)
    diagnostic = n.Diagnostic()
    n.libs().batch.fclb_diagnose(text_bytes, ctypes.byref(structure), ctypes.byref(diagnostic))
    del keep
    return diagnostic


def _characters(text_bytes, end):
    return len(text_bytes[:end].decode("cp932", errors="replace"))


def compile_error(status, text, text_bytes, typed):
    diagnostic = diagnose(text_bytes, typed)
    begin, end = diagnostic.begin, diagnostic.end
    return CompileError(status, diagnostic.message.decode("cp932", errors="replace"),
                        diagnostic.reason.decode("cp932", errors="replace"), _characters(text_bytes, begin),
                        text_bytes[begin:end].decode("cp932", errors="replace"), text)


def typed_fields(fields):
    """{cp932 name: type code} of a {name: type} mapping."""
    return {name.encode("cp932"): v.type_code(field_type) for name, field_type in (fields or {}).items()}


_pass_keys = itertools.count()


class Context:
    """A library context (FCLCREATEHANDLE): compiles and runs formulas, one thread at a time."""

    def __init__(self):
        self._libs = n.libs()
        self._handle = self._libs.core.FCLCREATEHANDLE()
        if not self._handle:
            raise MemoryError("fclib: no memory for a context")
        self._release = self._libs.core.FCLRELEASEHANDLE
        self._result = (ctypes.c_ubyte * n.MAX_VALUE)()
        self._record = None
        self._keys = {}
        self._types = {}
        self._callback = n.FIELDPROC(self._answer)

    def __del__(self):
        handle, self._handle = getattr(self, "_handle", None), None
        if handle:
            self._release(handle)

    def compile(self, text, fields=None):
        """The compiled Formula of text with fields {name: type}; CompileError when it fails."""
        typed = typed_fields(fields)
        text_bytes = text.encode("cp932")
        code = (ctypes.c_ubyte * n.MAX_CODE)()
        length = ctypes.c_uint16()
        self._types = typed
        self._record = None
        status = self._libs.core.FCLCOMPILE2(self._callback, None, text_bytes, code, ctypes.byref(length),
                                             self._handle)
        if status != n.FCL_OK:
            raise compile_error(status, text, text_bytes, typed)
        keys = {name: name.decode("cp932") for name in typed}
        return Formula(self, bytes(code[:length.value]), typed, keys, text)

    def _answer(self, data, name, raw, type_word):
        try:
            if data is None:
                return self._field(name, raw, type_word)
            code = ctypes.c_int32.from_address(data).value
            if code == 3:
                return n.AGG_CONTINUE  # no slot: the call totals this record alone
            first = type_word[0] in (n.T_FIELD, n.T_NAME)
            key = self._pass_key if code == 2 else 0
            if first and self._field(name, raw, type_word, aggregate=True) == 0:
                return key
            type_word[0] = n.AGG_RESET
            return key
        except Exception:  # an answer the library can take: the field failed
            return 1

    def _field(self, name, raw, type_word, aggregate=False):
        field_type = self._types.get(name)
        if field_type is None:
            return 1
        if not raw:
            type_word[0] = field_type
            return 0
        value = self._record.get(self._keys.get(name, name), None) if self._record is not None else None
        if aggregate and value is None:
            return 1
        data, word = v.field_answer(field_type, value, self._libs.text_numbers)
        ctypes.memmove(raw, data, len(data))
        type_word[0] = word
        return 0

    def run(self, formula, record=None):
        """The formula's value for record ({field name: value}); RunError when the run fails."""
        self._types, self._keys, self._record = formula._types, formula._keys, record or {}
        self._pass_key = 2 + next(_pass_keys) % 999
        status = self._libs.core.FCLEXECUTE2(self._callback, None, formula.code, self._result, self._handle)
        self._record = None
        value = v.python_value(self._result, self._libs.text_numbers)
        if status != n.FCL_OK:
            raise RunError(status, value)
        return value


class Formula:
    """A compiled formula: code (bytes, the library's block) and result_type ("number", ...)."""

    def __init__(self, context, code, types, keys, text):
        self.context, self.code, self.text = context, code, text
        self._types, self._keys = types, keys

    @property
    def result_type(self):
        return v.TYPE_NAMES.get(self.code[0], "any")

    @property
    def order(self):
        """What the formula needs of the records' order: a set of "aggregate", "page"."""
        bits = n.libs().batch.fclb_formula_order(self.code)
        return {word for bit, word in ((n.ORDER_AGGREGATE, "aggregate"), (n.ORDER_PAGE, "page")) if bits & bit}

    def run(self, record=None):
        """The value for one record (a mapping of field values); it runs as a group of its own."""
        return self.context.run(self, record)

    def __repr__(self):
        return "Formula(%r -> %s)" % (self.text, self.result_type)


@dataclass(frozen=True)
class LintWarning:
    code: str
    message: str
    offset: int
    end: int
    fix: object  # the replacement text for offset..end, or None


def lint(text, fields=None):
    """The linter's warnings for text compiled with fields; CompileError when it does not compile."""
    libs = n.libs()
    typed = typed_fields(fields)
    text_bytes = text.encode("cp932")
    structure, keep = fields_struct(typed)
    warnings = (n.Warning_ * 16)()
    diagnostic = n.Diagnostic()
    count = libs.batch.fclb_lint(text_bytes, ctypes.byref(structure), warnings, 16, ctypes.byref(diagnostic))
    del keep
    if diagnostic.status != n.FCL_OK:
        raise compile_error(diagnostic.status, text, text_bytes, typed)
    out = []
    for warning in warnings[:count]:
        fix = warning.fix.decode("cp932", errors="replace") if warning.has_fix else None
        out.append(LintWarning(warning.code.decode("ascii"), warning.message.decode("cp932", errors="replace"),
                               _characters(text_bytes, warning.begin), _characters(text_bytes, warning.end), fix))
    return out


@dataclass(frozen=True)
class FunctionInfo:
    name: str
    record: int
    argc: int
    result: tuple  # the result's type names
    args: tuple    # per argument, its type names
    summary: str
    aggregate: str  # "", "running" or "per-call"
    docs_anchor: str


def _mask_words(mask):
    return tuple(name for code, name in sorted(v.TYPE_NAMES.items()) if mask & code)


def functions():
    """The function catalogue: one FunctionInfo per record, in record order."""
    batch = n.libs().batch
    out = []
    info = n.Function()
    for record in range(1, batch.fclb_function_count() + 1):
        batch.fclb_function_info(record, ctypes.byref(info))
        argc = max(info.argc, 0)
        out.append(FunctionInfo(info.name.decode("ascii"), info.record, info.argc, _mask_words(info.result),
                                tuple(_mask_words(info.args[i]) for i in range(min(argc, 11))),
                                (info.summary or b"").decode("utf-8", errors="replace"),
                                ("", "running", "per-call")[info.aggregate], (info.docs_anchor or b"").decode()))
    return out


class Decimal:
    """A number of the Num backend (the exact 28-byte decimal by default), with arithmetic and
    comparisons by the library; it converts to and from decimal.Decimal, int, float and str."""

    _fclib_number = True
    __slots__ = ("_bytes",)

    def __init__(self, value=0):
        libs = n.libs()
        self._bytes = (ctypes.c_ubyte * n.NUM_MAX_SIZE)()
        if isinstance(value, Decimal):
            ctypes.memmove(self._bytes, value._bytes, n.NUM_MAX_SIZE)
        elif isinstance(value, bool):
            libs.core.NumFromInt(self._bytes, int(value))
        elif isinstance(value, int) and -2 ** 31 <= value < 2 ** 31:
            libs.core.NumFromInt(self._bytes, value)
        elif isinstance(value, float):
            libs.core.NumFromDbl(self._bytes, value)
        elif isinstance(value, (int, decimal.Decimal)):
            libs.core.NumFromStr(self._bytes, v.number_text(value).encode("ascii"))
        elif isinstance(value, str):
            libs.core.NumFromStr(self._bytes, value.encode("ascii"))
        else:
            raise TypeError("fclib.Decimal: cannot convert %r" % (value,))

    @staticmethod
    def _of(value):
        return value if isinstance(value, Decimal) else Decimal(value)

    def _apply(self, name, other=None):
        result = Decimal(self)
        function = getattr(n.libs().core, name)
        if other is None:
            function(result._bytes)
        else:
            function(result._bytes, self._of(other)._bytes)
        return result

    def __add__(self, other): return self._apply("NumAdd", other)
    def __sub__(self, other): return self._apply("NumSub", other)
    def __mul__(self, other): return self._apply("NumMul", other)
    def __truediv__(self, other): return self._apply("NumDiv", other)
    def __radd__(self, other): return self._of(other) + self
    def __rsub__(self, other): return self._of(other) - self
    def __rmul__(self, other): return self._of(other) * self
    def __rtruediv__(self, other): return self._of(other) / self
    def __neg__(self): return self._apply("NumNeg")
    def __pos__(self): return Decimal(self)
    def __abs__(self): return -self if self < 0 else Decimal(self)

    def truncate(self):
        """The whole part, toward zero."""
        return self._apply("NumInt")

    def fraction(self):
        """The fraction, with the number's sign."""
        return self._apply("NumFrac")

    def _compare(self, other):
        try:
            other = self._of(other)
        except TypeError:
            return NotImplemented
        return n.libs().core.NumComp(self._bytes, other._bytes)

    def __eq__(self, other):
        order = self._compare(other)
        return order if order is NotImplemented else order == 0

    def __lt__(self, other):
        order = self._compare(other)
        return order if order is NotImplemented else order < 0

    def __le__(self, other):
        order = self._compare(other)
        return order if order is NotImplemented else order <= 0

    def __gt__(self, other):
        order = self._compare(other)
        return order if order is NotImplemented else order > 0

    def __ge__(self, other):
        order = self._compare(other)
        return order if order is NotImplemented else order >= 0

    def __hash__(self):
        return hash(self.to_decimal())

    def __bool__(self):
        return not n.libs().core.NumIsZero(self._bytes)

    def __str__(self):
        text = ctypes.create_string_buffer(n.NUM_TEXT_MAX)
        n.libs().core.NumToStr(self._bytes, text, n.NUM_PLAIN, -1)
        return text.value.decode("ascii")

    def __repr__(self):
        return "fclib.Decimal('%s')" % self

    def to_decimal(self):
        """The same number as an exact decimal.Decimal."""
        return decimal.Decimal(str(self))

    def __int__(self):
        return int(self.to_decimal())

    def __float__(self):
        return float(self.to_decimal())
