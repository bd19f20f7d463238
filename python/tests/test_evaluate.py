import csv
import decimal
import io
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import fclib
import fclib.pandas as fp
from conftest import ROOT

ORDERS = ROOT / "examples" / "orders.csv"
FORMULAS = {
    "Amount": "[Qty] * [Price] / 7",
    "Total": "SUM(Amount)",
    "Orders": "COUNT([OrderNo])",
    "Lowest": "MIN([Price])",
    "No": "PAGE()",
    "Era": "SEI2WA1([OrderDate])",
    "Day": "CDOW([OrderDate])",
    "Date": "[OrderDate]",
    "Who": "LEFT([Customer], 4) + \"様\"",
    "Big": "[Price] > 1000",
}


def orders():
    return pd.read_csv(ORDERS, parse_dates=["OrderDate"])


def fcl_report(text_mode, group_by):
    command = [os.environ["FCLIB_FCL"], "report", str(ORDERS), "--output", "csv", "--exact", "--quiet",
               "--group-by", group_by] + [arg for name, text in FORMULAS.items() for arg in ("--column", f"{name}={text}")]
    if text_mode:
        command.append("--text-numbers")
    env = dict(os.environ, FCLIB_PROFILE_DIR=str(ROOT / "profile"))
    out = subprocess.run(command, check=True, capture_output=True, text=True, encoding="utf-8", env=env).stdout
    return list(csv.DictReader(io.StringIO(out)))


def shown(value, text_mode):
    """A Python value as fcl report prints it."""
    if isinstance(value, (bool, np.bool_)):
        return "true" if value else "false"
    if isinstance(value, float):
        return value
    if hasattr(value, "isoformat"):
        return value.isoformat()
    return value


def test_evaluate_matches_fcl_report(text_mode):
    expected = fcl_report(text_mode, "Category")
    got = fp.evaluate(orders(), FORMULAS, group_by="Category")
    assert len(got) == len(expected) == 16
    for row, want in zip(got.itertuples(index=False), expected):
        for name, value in zip(FORMULAS, row):
            if isinstance(value, float):
                assert value == float(want[name]), name
            elif isinstance(value, decimal.Decimal):
                assert value == decimal.Decimal(want[name]), name
            else:
                assert shown(value, text_mode) == want[name], name


def test_groups_need_not_be_contiguous():
    df = pd.DataFrame({"K": ["a", "b", "a", "b", "a"], "X": [1, 2, 3, 4, 5]})
    got = fp.evaluate(df, {"S": "SUM([X])", "N": "COUNT([X])"}, group_by="K")
    assert [float(x) for x in got["S"]] == [1, 2, 4, 6, 9]
    assert [float(x) for x in got["N"]] == [1, 1, 2, 2, 3]
    assert got.index.equals(df.index)


@pytest.mark.parametrize("errors", ["raise", "status"])
def test_row_failures(errors):
    df = pd.DataFrame({"A": [1.0, 2.0, 3.0], "B": [1.0, 0.0, 2.0]}, index=[10, 20, 30])
    if errors == "raise":
        with pytest.raises(fclib.RunError, match="row 20") as caught:
            fp.evaluate(df, {"Q": "[A] / [B]"}, errors=errors)
        assert caught.value.status == 1009
        return
    got = fp.evaluate(df, {"Q": "[A] / [B]"}, errors=errors)
    assert got["Q_status"].tolist() == [0, 1009, 0]
    assert pd.isna(got["Q"].iloc[1]) and float(got["Q"].iloc[2]) == 1.5


def test_nulls_are_blank_and_skipped_by_aggregates():
    df = pd.DataFrame({"X": [1.0, None, 3.0], "S": ["ア", None, "イ"]})
    got = fp.evaluate(df, {"V": "[X] + 1", "N": "COUNT([X])", "T": "[S] + \"!\""})
    assert [float(x) for x in got["V"]] == [2, 1, 4]
    assert [float(x) for x in got["N"]] == [1, 1, 2]
    assert got["T"].tolist() == ["ア!", "!", "イ!"]


def test_same_values_as_formula_run(context):
    df = orders()
    got = fp.evaluate(df, {"Era": "SEI2WA([OrderDate])", "Amount": "[Qty] * [Price] + 0.5"})
    fields = fp.column_types(df)
    era = context.compile("SEI2WA([OrderDate])", fields)
    amount = context.compile("[Qty] * [Price] + 0.5", fields)
    for record, row in zip(df.to_dict("records"), got.itertuples(index=False)):
        record["OrderDate"] = record["OrderDate"].date()
        assert (era.run(record), amount.run(record)) == (row.Era, row.Amount)
