"""Formulas over pandas columns at native speed, through the batch library (libfclib_batch)."""
import ctypes
import datetime
import decimal

import numpy as np
import pandas as pd

from . import _native as n
from . import _values as v
from ._core import Context, RunError

STATUS_SUFFIX = "_status"


def _dtype_type(series):
    """The field type of a column from its dtype, or from its first value for object columns."""
    dtype = series.dtype
    if pd.api.types.is_bool_dtype(dtype):
        return n.T_LOGICAL
    if pd.api.types.is_numeric_dtype(dtype):
        return n.T_NUMBER
    if pd.api.types.is_datetime64_any_dtype(dtype):
        return n.T_DATE
    values = series.dropna()
    if len(values) == 0:
        return n.T_STRING
    return v.type_of_value(values.iloc[0])


def column_types(df, types=None):
    """{column name: type code} of a frame's columns; types ({name: type}) overrides."""
    out = {str(name): _dtype_type(df[name]) for name in df.columns}
    for name, field_type in (types or {}).items():
        out[str(name)] = v.type_code(field_type)
    return out


def _holds_text(series):
    """Whether an object column's values are texts (dates as "2024/04/01", say)."""
    values = series.dropna()
    return series.dtype == object and len(values) > 0 and isinstance(values.iloc[0], str)


def _text_column(strings):
    """(offsets, bytes) of encoded texts."""
    lengths = np.fromiter((len(s) for s in strings), dtype=np.int64, count=len(strings))
    offsets = np.zeros(len(strings) + 1, dtype=np.int64)
    np.cumsum(lengths, out=offsets[1:])
    return offsets, b"".join(strings)


class _Input:
    """One frame column as an fclb_column, with the arrays it points into."""

    def __init__(self, name, series, field_type, text_numbers):
        self.keep = []
        nulls = series.isna().to_numpy()
        values, offsets, data = None, None, None
        if field_type == n.T_NUMBER and pd.api.types.is_numeric_dtype(series.dtype) and not (
                text_numbers and pd.api.types.is_integer_dtype(series.dtype) and len(series)
                and series.abs().max() > 2 ** 53):
            storage = n.STORAGE_F64
            values = series.to_numpy(dtype=np.float64, na_value=0.0)
        elif field_type == n.T_LOGICAL:
            storage = n.STORAGE_BOOL
            values = series.fillna(False).to_numpy(dtype=np.uint8)
        elif field_type in (n.T_DATE, n.T_TIME) and not _holds_text(series):
            storage = n.STORAGE_DIGITS
            values = self._digits(series, field_type, nulls)
        else:
            storage = n.STORAGE_TEXT
            if field_type == n.T_NUMBER:
                texts = [b"" if null else v.number_text(x).encode("ascii") for x, null in zip(series, nulls)]
            elif field_type == n.T_STRING:
                texts = [b"" if null else v.encode_text(str(x)) for x, null in zip(series, nulls)]
            else:
                convert = v.date_digits if field_type == n.T_DATE else v.time_digits
                texts = [b"" if null else convert(x) for x, null in zip(series, nulls)]
            offsets, data = _text_column(texts)
        self.keep += [values, offsets, data, nulls]
        nulls8 = np.ascontiguousarray(nulls, dtype=np.uint8)
        self.keep.append(nulls8)
        pointer = lambda array: None if array is None else array.ctypes.data  # noqa: E731
        self.column = n.Column(name.encode("cp932"), field_type, storage, pointer(values), pointer(offsets),
                               data, nulls8.ctypes.data if nulls.any() else None)

    @staticmethod
    def _digits(series, field_type, nulls):
        if pd.api.types.is_datetime64_any_dtype(series.dtype):
            stamps = series.dt
            if field_type == n.T_DATE:
                out = stamps.year * 10000 + stamps.month * 100 + stamps.day
            else:
                out = stamps.hour * 10000 + stamps.minute * 100 + stamps.second
            return out.fillna(0).to_numpy(dtype=np.int32)
        if field_type == n.T_DATE:
            digits = [0 if null else x.year * 10000 + x.month * 100 + x.day for x, null in zip(series, nulls)]
        else:
            digits = [0 if null else x.hour * 10000 + x.minute * 100 + x.second for x, null in zip(series, nulls)]
        return np.asarray(digits, dtype=np.int32)


def _texts(output, rows):
    offsets = np.ctypeslib.as_array(ctypes.cast(output.offsets, ctypes.POINTER(ctypes.c_int64)), (rows + 1,))
    size = int(offsets[rows]) if rows else 0
    data = ctypes.string_at(output.bytes, size) if size else b""
    return offsets.tolist(), data


def number_texts(data, offsets):
    """The texts of plain decimal numbers (no line breaks) packed at offsets, as a list of str:
    one split of the text with line breaks put between them costs far less than slicing per row."""
    joined = np.insert(np.frombuffer(data, dtype=np.uint8), np.asarray(offsets[1:-1], dtype=np.int64), ord("\n"))
    return joined.tobytes().decode("ascii").split("\n")


def _result(output, rows, result_type, text_numbers):
    """(values, status) of one output column: a float64 array, a bool array or an object array."""
    array = lambda address, ctype: np.ctypeslib.as_array(  # noqa: E731
        ctypes.cast(address, ctypes.POINTER(ctype)), (rows,)).copy()
    status = array(output.status, ctypes.c_uint16) if rows else np.zeros(0, np.uint16)
    if rows == 0:
        return np.zeros(0), status
    if result_type == n.T_NUMBER and not text_numbers:
        return array(output.numbers, ctypes.c_double), status
    if result_type == n.T_LOGICAL:
        return array(output.logicals, ctypes.c_uint8).astype(bool), status
    offsets, data = _texts(output, rows)
    if result_type == n.T_NUMBER:
        values = map(decimal.Decimal, number_texts(data, offsets))
    elif result_type == n.T_DATE:
        text = data.decode("ascii")
        values = [v.date_value(text[offsets[i]:offsets[i + 1]]) for i in range(rows)]
    elif result_type == n.T_TIME:
        text = data.decode("ascii")
        values = [v.time_value(text[offsets[i]:offsets[i + 1]]) for i in range(rows)]
    else:
        values = [data[offsets[i]:offsets[i + 1]].decode("cp932", errors="replace") for i in range(rows)]
    # fromiter takes each value as it is; assigning a list looks into every value for a sequence.
    return np.fromiter(values, dtype=object, count=rows), status


def compile_formulas(formulas, types, context=None):
    """The compiled formulas of {column: text}, in order; each may use the columns before it."""
    context = context or Context()
    fields = dict(types)
    compiled = {}
    for name, text in formulas.items():
        formula = context.compile(text, fields)
        compiled[name] = formula
        fields[name] = formula.code[0] if formula.code[0] in v.TYPE_NAMES else n.T_STRING
    return compiled


def result_dtype(formula, text_numbers):
    if formula.code[0] == n.T_NUMBER and not text_numbers:
        return np.float64
    if formula.code[0] == n.T_LOGICAL:
        return bool
    return object


def group_order(df, group_by):
    """(order, group_last): the rows group by group in input order, and each group's last row;
    (None, None) without group_by."""
    if group_by is None:
        return None, None
    keys = [group_by] if isinstance(group_by, str) else list(group_by)
    missing = [key for key in keys if key not in df.columns]
    if missing:
        raise KeyError("fclib: group_by names no column: %s" % ", ".join(map(str, missing)))
    ids = df.groupby(keys, sort=False, dropna=False).ngroup().to_numpy()
    order = np.argsort(ids, kind="stable")
    ordered = ids[order]
    last = np.ones(len(ids), dtype=np.uint8)
    if len(ids) > 1:
        last[:-1] = ordered[:-1] != ordered[1:]
    return order, last


def evaluate(df, formulas, group_by=None, errors="raise", types=None, context=None):
    """The columns of formulas ({column: formula text}) over df, as a DataFrame with df's index.

    Each formula may use the columns of df and the formula columns before it by name. Running
    aggregates (SUM, COUNT, ...) total over the rows of a group_by group (a column name or a
    list of them) in input order and start again with each group; without group_by the whole
    frame is one group. errors="raise" raises RunError at the first failed row; errors="status"
    adds a "<column>_status" column (0 for success) and leaves failed rows' values missing.
    types ({column: type}) overrides the field types taken from the dtypes."""
    if errors not in ("raise", "status"):
        raise ValueError("errors must be 'raise' or 'status'")
    libs = n.libs()
    text_numbers = libs.text_numbers
    field_types = column_types(df, types)
    compiled = compile_formulas(formulas, field_types, context)
    order, group_last = group_order(df, group_by)
    frame = df if order is None else df.iloc[order]
    inputs = [_Input(str(name), frame[name], field_types[str(name)], text_numbers) for name in df.columns]
    columns = (n.Column * max(1, len(inputs)))(*[item.column for item in inputs])
    codes = (ctypes.c_char_p * len(compiled))(*[formula.code for formula in compiled.values()])
    names = (ctypes.c_char_p * len(compiled))(*[name.encode("cp932") for name in compiled])
    rows = len(df)
    last = None if group_last is None else group_last.ctypes.data
    batch = libs.batch.fclb_evaluate(codes, names, len(compiled), columns, len(inputs), rows, last)
    if not batch:
        raise MemoryError("fclib: no memory for the batch")
    out = {}
    try:
        output = n.Output()
        for i, (name, formula) in enumerate(compiled.items()):
            libs.batch.fclb_output_of(batch, i, ctypes.byref(output))
            values, status = _result(output, rows, formula.code[0], text_numbers)
            if order is not None:
                restored_values, restored_status = np.empty_like(values), np.empty_like(status)
                restored_values[order], restored_status[order] = values, status
                values, status = restored_values, restored_status
            failed = status != 0
            if failed.any():
                if errors == "raise":
                    row = int(np.flatnonzero(failed)[0])
                    raise RunError(int(status[row]), values[row],
                                   "fclib: column %r, row %r: the run failed with status %d"
                                   % (name, df.index[row], status[row]))
                values = values.astype(object) if values.dtype == bool else values
                values[failed] = np.nan if values.dtype == np.float64 else None
            out[name] = values
            if errors == "status":
                out[name + STATUS_SUFFIX] = status
    finally:
        libs.batch.fclb_free(batch)
    return pd.DataFrame(out, index=df.index)


__all__ = ["evaluate", "column_types", "STATUS_SUFFIX"]
