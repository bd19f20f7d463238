"""Python values to the library's field answers and tagged values back to Python values."""
import ctypes
import datetime
import decimal
import struct

from . import _native as n

TYPE_NAMES = {n.T_STRING: "string", n.T_NUMBER: "number", n.T_LOGICAL: "logical", n.T_TIME: "time",
              n.T_DATE: "date"}
_BY_NAME = {name: code for code, name in TYPE_NAMES.items()}
_BY_PYTHON = [(bool, n.T_LOGICAL), (str, n.T_STRING), (float, n.T_NUMBER), (int, n.T_NUMBER),
              (decimal.Decimal, n.T_NUMBER), (datetime.datetime, n.T_DATE), (datetime.date, n.T_DATE),
              (datetime.time, n.T_TIME)]
_MAX_TEXT = n.RAW_BUFFER - 1
_DOUBLE = struct.Struct("<d")


def type_code(field_type):
    """A field type: "string", "number", "logical", "date", "time", a Python type or a type code."""
    if isinstance(field_type, str):
        if field_type in _BY_NAME:
            return _BY_NAME[field_type]
    elif isinstance(field_type, int) and field_type in TYPE_NAMES:
        return field_type
    elif isinstance(field_type, type):
        for python, code in _BY_PYTHON:
            if issubclass(field_type, python):
                return code
        if getattr(field_type, "_fclib_number", False):
            return n.T_NUMBER
    raise TypeError("fclib: %r is no field type (string, number, logical, date, time)" % (field_type,))


def type_of_value(value):
    """The field type of a Python value."""
    return type_code(type(value))


def encode_text(text):
    """Code page 932 bytes of text, cut to what a field answer holds at a character boundary."""
    data = text.encode("cp932")
    if len(data) <= _MAX_TEXT:
        return data
    cut = 0
    while cut < len(data):
        width = 2 if 0x81 <= data[cut] <= 0x9F or 0xE0 <= data[cut] <= 0xFC else 1
        if cut + width > _MAX_TEXT:
            break
        cut += width
    return data[:cut]


def number_text(value):
    """A number as the decimal text the library reads (no exponent)."""
    if isinstance(value, decimal.Decimal):
        return format(value, "f")
    if isinstance(value, float):
        return format(decimal.Decimal(repr(value)), "f")
    return str(value)


def date_digits(value):
    if value is None:
        return b"00000000"
    if isinstance(value, str):
        return value.replace("-", "").replace("/", "").encode("ascii")
    return b"%04d%02d%02d" % (value.year, value.month, value.day)


def time_digits(value):
    if value is None:
        return b"000000"
    if isinstance(value, str):
        return value.replace(":", "").encode("ascii")
    return b"%02d%02d%02d" % (value.hour, value.minute, value.second)


def field_answer(field_type, value, text_numbers):
    """(bytes, type word) of a field's value for the raw buffer; None is the blank value."""
    if field_type == n.T_NUMBER:
        if value is None:
            value = 0
        if not text_numbers:
            return _DOUBLE.pack(float(value)), n.T_NUMBER | n.RAW_DOUBLE << 8
        return number_text(value).encode("ascii") + b"\0", n.T_NUMBER
    if field_type == n.T_STRING:
        return encode_text("" if value is None else str(value)) + b"\0", n.T_STRING
    if field_type == n.T_LOGICAL:
        return (b"\1" if value else b"\0"), n.T_LOGICAL | n.RAW_U8 << 8
    if field_type == n.T_DATE:
        return date_digits(value) + b"\0", n.T_DATE
    return time_digits(value) + b"\0", n.T_TIME


def plain_decimal(payload):
    """The library's number text ("150000000e-8") as an exact decimal.Decimal without trailing
    fraction zeros (1.5)."""
    sign, digits, exponent = decimal.Decimal(payload).as_tuple()
    if not isinstance(exponent, int):
        return decimal.Decimal(payload)
    digits = list(digits)
    while exponent < 0 and len(digits) > 1 and digits[-1] == 0:
        digits.pop()
        exponent += 1
    if exponent > 0:
        digits += [0] * exponent
        exponent = 0
    if digits == [0]:
        sign = 0
    return decimal.Decimal((sign, tuple(digits), exponent))


def date_value(digits):
    """yyyymmdd as datetime.date; the blank date 00000000 is None, other digits that name no
    day stay text."""
    if digits == "00000000":
        return None
    try:
        return datetime.date(int(digits[:4]), int(digits[4:6]), int(digits[6:8]))
    except ValueError:
        return digits


def time_value(digits):
    """hhmmss as datetime.time (the blank time is 00:00:00); digits that name no time stay text."""
    try:
        return datetime.time(int(digits[:2]), int(digits[2:4]), int(digits[4:6]))
    except ValueError:
        return digits


def python_value(buffer, text_numbers):
    """The Python value of the tagged value at the start of buffer (a ctypes array)."""
    kind = buffer[0]
    if kind == n.T_NUMBER and not text_numbers:
        return _DOUBLE.unpack_from(buffer, 1)[0]
    if kind == n.T_LOGICAL:
        return buffer[1] != 0
    text = ctypes.string_at(ctypes.addressof(buffer) + 1)
    if kind == n.T_NUMBER:
        return plain_decimal(text.decode("ascii"))
    if kind == n.T_DATE:
        return date_value(text.decode("ascii"))
    if kind == n.T_TIME:
        return time_value(text.decode("ascii"))
    return text.decode("cp932", errors="replace")
