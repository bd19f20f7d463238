"""Formulas over Dask DataFrames: partition by partition on the workers, or group by group
where the formulas follow the records in order (python/README.md describes the model)."""
import decimal

import numpy as np
import pandas as pd

from . import _native as n
from . import pandas as fp

_ROW = "__fclib_row"
_INDEX = "__fclib_index"


def _types(ddf, types):
    """Field types from the dtypes, object columns from their first values (one partition)."""
    sample = ddf.head(20, compute=True) if any(dtype == object for dtype in ddf.dtypes) else ddf._meta
    return {name: fp.column_types(sample, types)[name] for name in map(str, ddf.columns)}


class _Partition(pd.DataFrame):
    """A result partition whose text-number columns travel between processes as one text
    each: pickling decimal.Decimal objects one by one costs more than running the formulas."""

    @property
    def _constructor(self):
        return pd.DataFrame

    def __reduce_ex__(self, protocol):
        names = [name for name in self.columns if _holds_decimals(self[name])]
        packed = []
        for name in names:
            values = self[name].to_numpy()
            nulls = pd.isna(values)
            packed.append((name, nulls, "\n".join(map(str, values[~nulls]))))
        return _unpack, (pd.DataFrame(self).drop(columns=names), list(self.columns), packed)


def _holds_decimals(series):
    values = series.dropna()
    return series.dtype == object and len(values) > 0 and isinstance(values.iloc[0], decimal.Decimal)


def _unpack(frame, columns, packed):
    decoded = {}
    for name, nulls, text in packed:
        count = len(nulls) - int(nulls.sum())
        numbers = np.fromiter(map(decimal.Decimal, text.split("\n") if count else []), dtype=object, count=count)
        if count < len(nulls):
            values = np.full(len(nulls), None, dtype=object)
            values[~nulls] = numbers
            numbers = values
        decoded[name] = numbers
    return pd.DataFrame({name: decoded[name] if name in decoded else frame[name].to_numpy() for name in columns},
                        index=frame.index)


def _run(pdf, formulas, group_by, errors, types, settings):
    n.apply_settings(settings)  # once per worker process: its own library state
    out = fp.evaluate(pdf, formulas, group_by=group_by, errors=errors, types=types)
    return _Partition(out) if n.text_numbers() else out


def _number_rows(pdf, starts, partition_info=None):
    start = starts[partition_info["number"]] if partition_info else 0
    return pdf.assign(**{_ROW: np.arange(start, start + len(pdf), dtype=np.int64), _INDEX: pdf.index})


def _run_groups(pdf, formulas, group_by, errors, types, settings):
    pdf = pdf.sort_values(_ROW, kind="stable")
    out = _run(pdf.drop(columns=[_ROW, _INDEX]), formulas, group_by, errors, types, settings)
    return out.assign(**{_ROW: pdf[_ROW].to_numpy(), _INDEX: pdf[_INDEX].to_numpy()})


def _restore_index(pdf):
    return pdf.set_index(_INDEX).rename_axis(None)


def _meta(formulas, types, errors):
    compiled = fp.compile_formulas(formulas, {name: fp.v.type_code(field_type) for name, field_type in types.items()})
    text_numbers = n.text_numbers()
    columns = {}
    for name, formula in compiled.items():
        columns[name] = pd.Series([], dtype=fp.result_dtype(formula, text_numbers))
        if errors == "status":
            columns[name + fp.STATUS_SUFFIX] = pd.Series([], dtype=np.uint16)
    return pd.DataFrame(columns), compiled


def evaluate(ddf, formulas, group_by=None, errors="raise", types=None):
    """fclib.pandas.evaluate over a Dask DataFrame: a lazy Dask DataFrame of the formula
    columns, index and row order as ddf's, with the values of one pandas evaluate of the whole
    input. Row-wise formulas run on each partition as it is. Running aggregates with group_by
    run each group whole in one partition in input order (a shuffle by the group key); PAGE,
    or aggregates without group_by, run the whole input in one partition."""
    if isinstance(group_by, str):
        group_by = [group_by]
    if group_by is not None:
        missing = [key for key in group_by if key not in ddf.columns]
        if missing:
            raise KeyError("fclib: group_by names no column: %s" % ", ".join(missing))
    field_types = _types(ddf, types)
    meta, compiled = _meta(formulas, field_types, errors)
    settings = n.settings()
    order = set().union(*(formula.order for formula in compiled.values()))
    arguments = (formulas, group_by, errors, field_types, settings)
    if not order:
        return ddf.map_partitions(_run, *arguments, meta=meta.set_axis(meta.index.astype(ddf.index.dtype)),
                                  align_dataframes=False)
    if "page" in order or group_by is None:
        whole = ddf.repartition(npartitions=1)
        return whole.map_partitions(_run, *arguments, meta=meta, align_dataframes=False)
    if ddf.index.name in (_ROW, _INDEX) or _ROW in ddf.columns or _INDEX in ddf.columns:
        raise ValueError("fclib: the columns %s and %s are the evaluator's own" % (_ROW, _INDEX))
    lengths = ddf.map_partitions(len).compute()
    starts = np.concatenate([[0], np.cumsum(lengths)]).tolist()
    numbered = ddf.map_partitions(_number_rows, starts,
                                  meta=ddf._meta.assign(**{_ROW: np.int64(0), _INDEX: ddf._meta.index}))
    grouped = numbered.shuffle(on=group_by, npartitions=ddf.npartitions)
    ran_meta = meta.assign(**{_ROW: pd.Series([], dtype=np.int64), _INDEX: pd.Series([], dtype=ddf.index.dtype)})
    ran = grouped.map_partitions(_run_groups, *arguments, meta=ran_meta, align_dataframes=False)
    # Back to input order: the row numbers sort it, in the input's own partitions.
    divisions = starts[:-1] + [starts[-1] - 1] if starts[-1] > 0 else [0, 0]
    ordered = ran.set_index(_ROW, divisions=divisions)
    return ordered.map_partitions(_restore_index, meta=meta)


__all__ = ["evaluate"]
