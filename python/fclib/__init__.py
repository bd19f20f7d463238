"""fclib for Python: compile report formulas with the library and run them on records
(Context, Formula), on pandas columns (fclib.pandas) and on Dask (fclib.dask)."""
from ._core import CompileError, Context, Decimal, Formula, FunctionInfo, LintWarning, RunError, functions, lint
from ._native import (SettingsError, set_aggregate_sizes, set_backend, set_number_mode, set_profile_dir,
                      settings)

#: What a blank date (00000000) reads as; None passed for a date field is the blank date.
BLANK_DATE = None

__all__ = ["BLANK_DATE", "CompileError", "Context", "Decimal", "Formula", "FunctionInfo", "LintWarning", "RunError",
           "SettingsError", "functions", "lint", "set_aggregate_sizes", "set_backend", "set_number_mode",
           "set_profile_dir", "settings"]
