import assert from "node:assert/strict";
import { test } from "node:test";
import { Cp932Error, FclError, createFclib, dateFromText } from "../src/index.js";

const fcl = await createFclib();
const text = await createFclib({ numbers: "text" });

test("the sample profile's eras hold out of the box", () => {
  assert.equal(fcl.compile('SEI2WA(CTOD("2024/04/01"))').run(), "令和060401");
  assert.equal(fcl.compile('SEI2WA(CTOD("2024/04/01"))').resultType, "string");
});

test("a profile given as text replaces the sample", async () => {
  const other = await createFclib({ profile: "[Fclib]\nMonth=一月,二月,三月\n" });
  assert.equal(other.compile('MONTH2(CTOD("2024/02/10"))').run(), "二月");
});

test("fields, result types, flags and bytes", () => {
  const formula = fcl.compile("[Price] * [Qty] + 1", { Price: "number", Qty: "number" });
  assert.equal(formula.resultType, "number");
  assert.equal(formula.flags & 0x08, 0x08);
  assert.equal(formula.code.length, formula.code[2] | (formula.code[3] << 8));
  assert.equal(formula.run({ Price: 2.5, Qty: 4 }), 11);
  assert.deepEqual(formula.runMany([{ Price: 1, Qty: 1 }, new Map([["Price", 3], ["Qty", 3]])]), [2, 10]);
  const named = fcl.compile('LEFT([名前], 4) + "様"', (name) => (name === "名前" ? "string" : undefined));
  assert.equal(named.run({ 名前: "山田太郎" }), "山田様");
});

test("a field gives the same answer from an object, a Map or a function record", () => {
  const formula = fcl.compile('IF([On], STR([A] + [B]), "off")', { On: "logical", A: "number", B: "number" });
  const records = [
    { On: true, A: 1, B: 2 }, { On: true, A: 1, B: "2" }, { On: true, A: 1 }, { On: false, A: 1, B: 2 },
    { On: true, A: null, B: 2 }, { On: 1, A: 1.5, B: -0 }, { On: "Y", A: 3, B: 4 }, { On: true, A: 1e300, B: 1e300 },
  ];
  const outcome = (record) => {
    try {
      return formula.run(record);
    } catch (error) {
      return error.status;
    }
  };
  for (let pass = 0; pass < 2; ++pass) {
    for (const record of records) {
      const expected = outcome((name) => record[name]);
      assert.equal(outcome(record), expected, JSON.stringify(record));
      assert.equal(outcome(new Map(Object.entries(record))), expected, JSON.stringify(record));
    }
  }
});

test("runs inside runs, formulas in turn, and fields past what the module answers itself", () => {
  const inner = fcl.compile("[X] * 10", { X: "number" });
  const outer = fcl.compile("[A] - [B]", { A: "number", B: "number" });
  const swapped = fcl.compile("[B] - [A]", { A: "number", B: "number" });
  // A record's getters and functions are the run's field callback, where the library refuses
  // runs and compiles on the same handle: the first run (fields asked one by one) and later
  // ones (fields read before the run) alike.
  const busy = (error) => error.status === 1010;
  for (let i = 0; i < 3; ++i) {
    assert.throws(() => outer.run({ A: 5, get B() { return inner.run({ X: i }); } }), busy);
    assert.throws(() => outer.run({ A: 5, get B() { return fcl.compile("1").run(); } }), busy);
    assert.throws(() => outer.run((name) => (name === "A" ? inner.run({ X: 1 }) : i)), busy);
    assert.equal(outer.run({ A: inner.run({ X: i }), B: 1 }), 10 * i - 1);
    assert.equal(swapped.run({ A: i, B: 7 }), 7 - i);
  }
  // 34 fields, one with a name of 66 bytes: more, and longer, than the module answers itself.
  const names = Array.from({ length: 34 }, (_, i) => `F${i}`.padEnd(i === 3 ? 66 : 2, "x"));
  const sum = fcl.compile(names.map((n) => `[${n}]`).join(" + "), (name) => (names.includes(name) ? "number" : undefined));
  const record = Object.fromEntries(names.map((n, i) => [n, i]));
  for (let i = 0; i < 2; ++i) assert.equal(sum.run(record), (33 * 34) / 2);
  sum.dispose();
  assert.throws(() => sum.run(record), /disposed/);
});

test("dates, times and logicals", () => {
  const day = fcl.compile("[D]", { D: "date" }).run({ D: new Date(2024, 1, 29) });
  assert.equal(day, "20240229");
  assert.equal(dateFromText(day).getMonth(), 1);
  assert.equal(fcl.compile("[B] AND 1 = 1", { B: "logical" }).run({ B: false }), false);
});

test("a failed compile says why and where, in string indices and bytes", () => {
  assert.throws(() => fcl.compile('LEFT("名前", 1) + FOO(2)'), (error) => {
    assert.ok(error instanceof FclError);
    assert.equal(error.status, 1002);
    assert.equal(error.token, "FOO");
    assert.equal(error.offset, 16);
    assert.equal(error.byteOffset, 18);
    assert.match(error.reason, /FOO/);
    return true;
  });
  assert.throws(() => fcl.compile("[Missing] + 1", {}), (error) => error.status === 1005);
});

test("a failed run throws, and runMany puts the error in its place", () => {
  const formula = fcl.compile("1 / [N]", { N: "number" });
  assert.throws(() => formula.run({ N: 0 }), (error) => error.status === 1009);
  const results = formula.runMany([{ N: 4 }, { N: 0 }]);
  assert.equal(results[0], 0.25);
  assert.equal(results[1].status, 1009);
});

test("text numbers are exact", () => {
  assert.equal(text.compile("0.1 + 0.2 = 0.3").run(), true);
  assert.equal(fcl.compile("0.1 + 0.2 = 0.3").run(), false);
  assert.equal(text.compile("[A] * 3", { A: "number" }).run({ A: "0.1" }), "0.3");
  const double = fcl.compile("1");
  fcl.setNumbers("text");
  assert.throws(() => double.run(), /compiled for double numbers/);
  fcl.setNumbers("double");
});

test("Decimal arithmetic through the Num functions", () => {
  const { Decimal } = fcl;
  const sum = new Decimal("0.1").add("0.2");
  assert.equal(sum.toString(), "0.3");
  assert.ok(sum.equals("0.30"));
  assert.equal(new Decimal(1).div(3).toFixed(5), "0.33333");
  assert.equal(new Decimal("-2.75").trunc().toString(), "-2");
  assert.equal(new Decimal("1").compare("2"), -1);
});

test("code page 932 text: the whole table, characters it lacks reported", () => {
  assert.deepEqual(Array.from(fcl.encode("ｱ①髙")), [0xb1, 0x87, 0x40, 0xfb, 0xfc]);
  assert.equal(fcl.decode(Uint8Array.of(0xb1, 0x87, 0x40, 0xfb, 0xfc)), "ｱ①髙");
  assert.throws(() => fcl.encode("café"), (error) => error instanceof Cp932Error && error.index === 3);
  assert.throws(() => fcl.encode("😀"), Cp932Error);
  assert.equal(fcl.decode(Uint8Array.of(0x81)), "\uFFFD");
});

test("tokens, lint and the catalogue", () => {
  const tokens = fcl.tokens("LEFT([名前], 3)");
  assert.deepEqual(tokens.map((t) => t.kind), ["function", "open", "field", "comma", "number", "close"]);
  assert.deepEqual([tokens[2].begin, tokens[2].end, tokens[2].byteEnd], [5, 9, 11]);
  const lint = fcl.lint("IF([Qty] = 0, 0, [Amount] / [Qty])", { Qty: "number", Amount: "number" });
  assert.ok(lint.ok);
  assert.equal(lint.warnings[0].code, "guarded-division");
  assert.equal(lint.warnings[0].fix.text, "IF([Qty] = 0, 1, [Qty])");
  assert.equal(fcl.lint("FOO(1)").status, 1002);
  const functions = fcl.functions();
  assert.equal(functions.length, 142);
  assert.ok(functions.some((f) => f.name === "SUM" && f.aggregate === "running"));
});

test("aggregates through a host object", () => {
  fcl.init(1);
  const formula = fcl.compile("SUM([Amount])", { Amount: "number" });
  const host = (value, end) => {
    let given = false;
    return {
      request({ form }) {
        if (form === "query") return 0xffff;
        if (!given) return (given = true), { status: 7, value };
        return { status: 7, type: end };
      },
    };
  };
  assert.equal(formula.run({ Amount: 100 }, host(100, 0xfffe)), 100);
});

test("the clock is the host's", async () => {
  const fixed = await createFclib({ clock: () => ({ year: 2030, month: 5, day: 6, hour: 7, minute: 8, second: 9 }) });
  assert.equal(fixed.compile("DATE()").run(), "20300506");
});

test("the 34 entry points are there with the heap", () => {
  const { raw } = fcl;
  for (const name of ["FCLINIT", "FCLCOMPILE", "FCLEXECUTE2", "NumAdd", "NumDec", "LoadMPL32"]) {
    assert.equal(typeof raw[`_${name}`], "function", name);
  }
  assert.equal(raw._NumSize(), 28);
  assert.ok(raw.HEAPU8 instanceof Uint8Array);
});
