import datetime
import decimal

import pytest

import fclib

D = decimal.Decimal
FIELDS = {"Price": "number", "Qty": float, "Name": str, "When": datetime.date, "At": datetime.time, "Ok": bool}
RECORD = {"Price": 12.5, "Qty": 4, "Name": "山田 太郎", "When": datetime.date(2024, 4, 1),
          "At": datetime.time(9, 30), "Ok": True}


@pytest.mark.parametrize("text, double, exact", [
    ("[Price] * [Qty] + 1", 51.0, D("51")),
    ("0.1 + 0.2", 0.1 + 0.2, D("0.3")),
    ("1 / 3 * 3", 1.0, D("0." + "9" * 44)),
    ("0.1 + 0.2 = 0.3", False, True),
])
def test_numbers_in_both_modes(context, text_mode, text, double, exact):
    value = context.compile(text, FIELDS).run(RECORD)
    assert value == (exact if text_mode else double)
    assert type(value) is type(exact if text_mode else double)


@pytest.mark.parametrize("text, expected", [
    ("SEI2WA([When])", "令和060401"),
    ("LEFT([Name], 4)", "山田"),
    ("[Name] + \"様\"", "山田 太郎様"),
    ("CDOW([When])", "月"),
    ("CTOD(\"2024/05/01\")", datetime.date(2024, 5, 1)),
    ("[When]", datetime.date(2024, 4, 1)),
    ("[At]", datetime.time(9, 30)),
    ("[Ok] AND [Price] > 10", True),
])
def test_text_dates_times_logicals(context, text, expected):
    assert context.compile(text, FIELDS).run(RECORD) == expected


def test_blank_values(context):
    assert context.compile("[When]", FIELDS).run({}) is fclib.BLANK_DATE
    assert context.compile("[At]", FIELDS).run({"At": None}) == datetime.time(0, 0)
    assert context.compile("[Name]", FIELDS).run({}) == ""


def test_formula_bytes_and_type(context):
    formula = context.compile("[Price] * 2", FIELDS)
    assert formula.result_type == "number" and formula.code[0] == 2
    assert len(formula.code) == formula.code[2] | formula.code[3] << 8
    assert context.compile("[Name]", FIELDS).result_type == "string"
    assert context.compile("SUM([Price])", FIELDS).order == {"aggregate"}


@pytest.mark.parametrize("text, status, token, offset", [
    ("FOO([Price])", 1002, "FOO", 0),
    ("[Price] + ", 1001, "", 10),
    ("[Missing] + 1", 1005, "[Missing]", 0),
    ("LEFT([Price], 2)", 1003, "[Price]", 5),
    ("\"山田\" + FOO(1)", 1002, "FOO", 7),
])
def test_compile_errors(context, text, status, token, offset):
    with pytest.raises(fclib.CompileError) as caught:
        context.compile(text, FIELDS)
    error = caught.value
    assert (error.status, error.token, error.offset) == (status, token, offset)
    assert error.message and str(status) in str(error)


def test_run_error_has_status_and_blank(context, text_mode):
    with pytest.raises(fclib.RunError) as caught:
        context.compile("[Price] / ([Qty] - 4)", FIELDS).run(RECORD)
    assert caught.value.status == 1009
    assert caught.value.blank == 0


def test_settings_are_fixed_once_in_use(context):
    with pytest.raises(fclib.SettingsError):
        fclib.set_number_mode("double" if fclib.settings()["number_mode"] == "text" else "text")
    fclib.set_number_mode(fclib.settings()["number_mode"])
    with pytest.raises(ValueError):
        fclib.set_backend("quad")


@pytest.mark.parametrize("a, b, op, expected", [
    ("0.1", "0.2", "+", "0.3"),
    ("1", "3", "/", "0." + "3" * 44),
    ("-2.5", "4", "*", "-10"),
    ("123456789012345678901234567890", "1", "-", "123456789012345678901234567889"),
])
def test_decimal_over_num(a, b, op, expected):
    x, y = fclib.Decimal(a), fclib.Decimal(decimal.Decimal(b))
    result = {"+": x + y, "-": x - y, "*": x * y, "/": x / y}[op]
    assert str(result) == expected
    assert result == D(expected) and result.to_decimal() == D(expected)


def test_decimal_compares_and_converts():
    assert fclib.Decimal("2.5") > 2 and fclib.Decimal(7).truncate() == 7
    assert fclib.Decimal("-7.25").truncate() == -7 and fclib.Decimal("-7.25").fraction() == D("-0.25")
    assert float(fclib.Decimal(0.5)) == 0.5 and not fclib.Decimal(0)


def test_lint_and_catalogue():
    warnings = fclib.lint("IF([Qty] <> 0, [Price] / [Qty], 0)", FIELDS)
    assert [w.code for w in warnings] == ["guarded-division"]
    assert fclib.lint("[Price] + 1", FIELDS) == []
    with pytest.raises(fclib.CompileError):
        fclib.lint("FOO(1)", FIELDS)
    catalogue = fclib.functions()
    assert [f.record for f in catalogue] == list(range(1, len(catalogue) + 1))
    sums = [f for f in catalogue if f.name == "SUM"]
    assert sums and sums[0].aggregate == "running"
