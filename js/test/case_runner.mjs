// Runs a tests/cases file through the package as tests/formula_cases_test.cpp runs it natively
// (tests/cases/README.md): every case in both number modes, the aggregate host, the Num lines,
// the linter's verdicts. Returns the failures and every compile, for the byte comparison.
import { readFileSync } from "node:fs";
import { RawValue, createFclib } from "../src/index.js";

const TYPES = { string: 1, number: 2, logical: 4, time: 8, date: 16 };
const isLead = (b) => (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
// Byte strings: one character per byte, as the native runner's std::string.
const bin = (bytes) => String.fromCharCode(...bytes);
const bytesOf = (s) => Uint8Array.from(s, (c) => c.charCodeAt(0));
const hex = (bytes) => Array.from(bytes, (b) => b.toString(16).toUpperCase().padStart(2, "0")).join(" ");

function unescape(text) {
  let out = "";
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (isLead(text.charCodeAt(i)) && i + 1 < text.length) out += text.slice(i, ++i + 1);
    else if (c !== "\\" || i + 1 === text.length) out += c;
    else {
      const next = text[++i];
      if (next === "x" && i + 2 < text.length) out += String.fromCharCode(parseInt(text.slice(i + 1, (i += 2) + 1), 16));
      else out += next === "n" ? "\n" : next === "t" ? "\t" : next;
    }
  }
  return out;
}

function splitWords(text) {
  const words = [];
  let current = "", quoted = false, any = false;
  for (const c of text) {
    if (c === '"') (quoted = !quoted), (any = true);
    else if (c === " " && !quoted) {
      if (any) words.push(current);
      (current = ""), (any = false);
    } else (current += c), (any = true);
  }
  if (any) words.push(current);
  return words;
}

// The \xNN escapes of a formula resolved, double-byte characters kept whole.
function rawBytes(text) {
  let out = "";
  for (let i = 0; i < text.length; ++i) {
    if (isLead(text.charCodeAt(i)) && i + 1 < text.length) out += text.slice(i, ++i + 1);
    else if (text.startsWith("\\x", i) && i + 3 < text.length && /^[0-9a-fA-F]{2}$/.test(text.slice(i + 2, i + 4)))
      (out += String.fromCharCode(parseInt(text.slice(i + 2, i + 4), 16))), (i += 3);
    else out += text[i];
  }
  return out;
}

// TYPE:VALUE as the RawValue the native host hands over.
function parseValue(word) {
  const colon = word.indexOf(":");
  if (colon < 0) return null;
  const type = word.slice(0, colon);
  const text = unescape(word.slice(colon + 1));
  if (type === "double" || type === "i32") {
    const x = Number.parseFloat(text) || 0;
    const view = new DataView(new ArrayBuffer(8));
    if (type === "double") view.setFloat64(0, x, true);
    else view.setInt32(0, Math.trunc(x), true);
    return new RawValue(type === "double" ? 0x8002 : 0xc002, new Uint8Array(view.buffer, 0, type === "double" ? 8 : 4));
  }
  const word16 = TYPES[type] ?? (/^(0x[0-9a-fA-F]+|\d+)$/.test(type) ? Number(type) : NaN);
  return Number.isNaN(word16) ? null : new RawValue(word16, bytesOf(text));
}

export async function runCaseFile(path) {
  const fcl = await createFclib({ profile: null, initAggregates: false });
  const m = fcl.raw;
  const failures = [];
  const compiles = [];
  const source = readFileSync(path, "utf8").split("\n");
  const markdown = path.endsWith(".md");
  let inBlock = false;
  const lines = source.map((line) => {
    line = line.replace(/\r$/, "");
    if (!markdown) return line;
    const fence = line.startsWith("```");
    if (fence) inBlock = !inBlock && line === "```cases";
    return fence || !inBlock ? "" : line;
  });
  const sequential = lines.includes("@sequential");
  const decode = (s) => fcl.decode(bytesOf(s));
  let cases = 0;

  for (const pass of sequential ? [0, 1] : [-1]) {
    const st = { modes: "both", backend: 5, repeat: 0, expectedLint: "", lineNo: 0 };
    const host = { fields: new Map(), passKey: 1, query: 0xffff, again: 0, batches: new Map(), handingOut: "", cursor: 0, pendingAgain: 0, log: [] };
    const fail = (message) => failures.push(`${path}:${st.lineNo}: ${message}`);
    const fieldOf = (name) => host.fields.get(name) ?? host.fields.get("*");
    const newRun = () => {
      const queue = host.batches.get(host.handingOut);
      if (host.cursor > 0 && queue?.length) queue.shift();
      (host.cursor = 0), (host.pendingAgain = 0), (host.log = []);
    };
    const aggregates = {
      request({ form, name, type }) {
        if (form === "query") return host.log.push("query"), host.query;
        const pForm = form !== "value";
        if (host.pendingAgain === 0) host.log.push(`${pForm ? form : "value"}(${name},${type})`);
        if (host.again < 0 || host.pendingAgain < host.again) return ++host.pendingAgain, pForm ? 1 : 0xffff;
        host.pendingAgain = 0;
        if (!host.batches.has(name)) host.batches.set(name, []);
        const queue = host.batches.get(name);
        host.handingOut = name;
        const status = pForm ? 0 : host.passKey;
        if (!queue.length || host.cursor === queue[0].values.length) {
          const end = pForm ? 0xffff : queue.length ? queue[0].end : 0xfffe;
          if (queue.length) queue.shift();
          host.cursor = 0;
          return { status, type: end };
        }
        return { status, value: queue[0].values[host.cursor++] };
      },
    };
    const compileFields = (answers) => (name, kind) => {
      host.log.push(`type(${name},${kind === "field" ? 32 : 64})`);
      const value = fieldOf(name);
      answers.push(value ? `0x${value.type.toString(16)}` : "x");
      return value ? value.type : 0;
    };

    const lintCodes = (formula, fixed) => {
      const result = fcl.lint(bytesOf(formula), compileFields([]));
      if (!result.ok) return `status ${result.status} reason ${bin(fcl.encode(result.reason))}`;
      const fix = result.warnings[0]?.fix;
      if (fixed && fix) fixed.text = formula.slice(0, fix.byteBegin) + bin(fix.bytes) + formula.slice(fix.byteEnd);
      return result.warnings.map((w) => w.code).join(",");
    };

    const numberEquals = (want, value, text) => {
      if (text) {
        const a = m._malloc(64), b = a + 32, w = fcl._put(bytesOf(want)), v = fcl._put(value.subarray(1, value.length - 1));
        m._NumFromStr(a, w), m._NumFromStr(b, v);
        const equal = m._NumComp(a, b) === 0;
        [a, w, v].forEach((p) => m._free(p));
        return equal;
      }
      const x = new DataView(value.buffer, value.byteOffset + 1, 8).getFloat64(0, true);
      if (want === "nan") return Number.isNaN(x);
      if (want === "-0") return Object.is(x, -0);
      return x === strtod(want);
    };

    const describe = (value, text) => {
      const payload = bin(value.subarray(1, value.length - 1));
      switch (value[0]) {
        case 1: return `string "${payload.replace(/[\x00-\x1f\x7f-\xff"\\]/g, (c) => `\\x${c.charCodeAt(0).toString(16).padStart(2, "0")}`)}"`;
        case 2: return text ? `payload ${payload}` : `number ${new DataView(value.buffer, value.byteOffset + 1, 8).getFloat64(0, true)}`;
        case 4: return value[1] ? "logical true" : "logical false";
        case 8: return `time ${payload}`;
        case 16: return `date ${payload}`;
        case 128: return `function ${value[1]}`;
        default: return `type ${value[0]}`;
      }
    };
    const escapeBack = (quoted) => describe(Uint8Array.of(1, ...bytesOf(unescape(quoted.slice(1, -1))), 0), false).slice(8, -1);

    const names = new Map(fcl.functions().map((f) => [f.record, f.name]));
    const listing = (code, text) => {
      const out = [];
      for (let at = 4; at + 1 < code.length; ) {
        let end = at + 1;
        while (end < code.length && code[end]) ++end;
        const payload = bin(code.subarray(at + 1, end));
        let size = payload.length + 2;
        switch (code[at]) {
          case 1: out.push(`"${payload}"`); break;
          case 2:
            if (text) out.push(payload);
            else out.push(formatG(new DataView(code.buffer, code.byteOffset + at + 1, 8).getFloat64(0, true))), (size = 9);
            break;
          case 4: out.push(`logical:${code[at + 1]}`), (size = 2); break;
          case 8: out.push(`time:${payload}`); break;
          case 16: out.push(`date:${payload}`); break;
          case 32: out.push(`[${payload}]`), (size += 2); break;
          case 64: out.push(payload), (size += 2); break;
          case 128: out.push(names.get(code[at + 1]) ?? "?"), (size = 2); break;
          default: return out.join(" ") + " <bad item>";
        }
        at += size;
      }
      return out.join(" ");
    };

    const check = (formula, expectation, mode) => {
      m._NumSetup(st.backend === 1 && mode ? 1 : 5);
      m._FCLSETMODE(mode);
      newRun();
      const label = `${decode(formula)} [${mode ? "text" : "double"}]`;
      const space = expectation.indexOf(" ");
      const kind = space < 0 ? expectation : expectation.slice(0, space);
      const want = space < 0 ? "" : expectation.slice(space + 1);
      if (kind === "lint" || expectation.includes(" reason ")) {
        const fixed = {};
        const actual = lintCodes(formula, fixed);
        const words = splitWords(expectation);
        if (words.length >= 3 && words[0] === "status") {
          if (actual !== `${words[0]} ${words[1]} reason ${rawBytes(words[3])}`) fail(`${label}: ${decode(actual)}`);
          return;
        }
        if (actual !== (words[1] ?? "")) fail(`${label}: lint ${actual}`);
        const at = expectation.indexOf(" fixed ");
        if (at >= 0 && fixed.text !== rawBytes(expectation.slice(at + 7))) fail(`${label}: fixed ${decode(fixed.text ?? "")}`);
        return;
      }
      let formulaObject, code, status = 0;
      if (formula.length > 2 && formula.startsWith("{") && formula.endsWith("}")) {
        code = Uint8Array.from(splitWords(formula.slice(1, -1)).slice(0, 528), (w) => parseInt(w, 16));
        formulaObject = fcl.adopt(code);
      } else {
        const answers = [];
        try {
          formulaObject = fcl.compile(bytesOf(formula), compileFields(answers));
          code = formulaObject.code;
        } catch (error) {
          if (error.status === undefined) throw error;
          status = error.status;
          code = Uint8Array.of(1, 0, 7, 0, 1, 0, 0);
        }
        compiles.push({ mode, backend: mode ? st.backend : 5, text: bytesOf(formula), answers, status, code, where: `${path}:${st.lineNo}` });
      }
      if (["bytes", "items", "header", "call"].includes(kind)) {
        if (status) return fail(`${label}: compile failed ${status}`);
        let actual = hex(code);
        if (kind === "items") actual = listing(code, mode !== 0);
        if (kind === "header") actual = hex(code.subarray(0, 2));
        if (kind === "call") actual = code[code.length - 3] === 128 ? String(code[code.length - 2]) : "none";
        const expected = kind === "bytes" || kind === "header" ? splitWords(want).join(" ").toUpperCase() : want;
        if (actual !== expected) fail(`${label}: ${kind} ${decode(actual)}, expected ${decode(expected)}`);
        return;
      }
      if (status) {
        if (`status ${status}` !== expectation) fail(`${label}: compile failed with ${status}, expected ${expectation}`);
        return;
      }
      if (!formula.startsWith("{")) {
        const asked = [...host.log];
        const codes = lintCodes(formula);
        if (codes !== st.expectedLint) fail(`${label}: linter warnings ${codes}`);
        host.log = asked;
      }
      const run = formulaObject.runRaw((name) => fieldOf(name), aggregates);
      formulaObject.dispose();
      if (run.status) {
        if (`status ${run.status}` !== expectation) fail(`${label}: status ${run.status}, expected ${expectation}`);
        return;
      }
      const text = mode !== 0;
      const value = run.value;
      const ok =
        kind === "number" ? value[0] === 2 && numberEquals(want, value, text)
        : kind === "payload" ? value[0] === 2 && text && bin(value.subarray(1, value.length - 1)) === want
        : kind === "string" ? describe(value, text) === `string "${escapeBack(want)}"`
        : describe(value, text) === `${kind} ${want}`;
      if (!ok) fail(`${label}: expected ${decode(expectation)}, got ${decode(describe(value, text))}`);
    };

    const numCase = (formula, expectation) => {
      const w = splitWords(formula);
      if (!w.length || !/^Num[A-Z]/.test(w[0])) return false;
      const words = w.map(unescape);
      while (words.length < 4) words.push("");
      const op = words[0].slice(3);
      const integer = (i) => Number.parseInt(words[i], words[i].startsWith("0x") ? 16 : 10) | 0;
      m._NumSetup(st.backend);
      const area = m._malloc(88), a = area + 1, b = area + 41, textAt = m._malloc(730);
      m.HEAPU8.fill(0, area, area + 88);
      const s1 = fcl._put(bytesOf(words[1])), s2 = fcl._put(bytesOf(words[2]));
      m._NumFromStr(a, s1), m._NumFromStr(b, s2);
      const str = (at) => bin(fcl._cstring(at));
      const binary = { Add: m._NumAdd, Sub: m._NumSub, Mul: m._NumMul, Div: m._NumDiv };
      const unary = { Zero: m._NumZero, Min: m._NumMin, Max: m._NumMax, Neg: m._NumNeg, Int: m._NumInt, Frac: m._NumFrac };
      let actual;
      if (op === "Setup") m._NumSetup(integer(1)), (actual = `${m._NumType()} ${m._NumSize()}`);
      else if (op === "Comp") actual = String(m._NumComp(a, b));
      else if (op === "CompInt") actual = String(m._NumCompInt(a, integer(2)));
      else if (op === "IsZero") actual = String(m._NumIsZero(a));
      else if (op === "ToStr") actual = str(m._NumToStr(a, textAt, integer(2), integer(3)));
      else {
        if (op === "FromInt") m._NumFromInt(a, integer(1));
        else if (op === "FromDbl") m._NumFromDbl(a, strtod(words[1]));
        else if (op === "Inc") m._NumInc(a, integer(2));
        else if (op === "Dec") m._NumDec(a, integer(2));
        else if (op === "Copy") m._NumCopy(b, a), m._NumZero(a), m._NumCopy(a, b);
        else if (binary[op]) binary[op](a, b);
        else if (unary[op]) unary[op](a);
        else if (op !== "FromStr") fail(`unknown Num function ${words[0]}`);
        actual = expectation.startsWith("bytes ") ? `bytes ${hex(m.HEAPU8.subarray(a, a + m._NumSize()))}` : str(m._NumToStr(a, textAt, 1, -1));
      }
      const expected = expectation.startsWith("bytes ") ? `bytes ${splitWords(expectation.slice(6)).join(" ").toUpperCase()}` : expectation;
      if (actual !== expected) fail(`${formula}: ${actual}, expected ${expected}`);
      [area, textAt, s1, s2].forEach((p) => m._free(p));
      m._NumSetup(5);
      return true;
    };

    const directive = (text) => {
      const words = splitWords(text.slice(1));
      if (!words.length) return;
      const name = words.shift();
      const number = (i) => (i < words.length ? Number.parseInt(words[i], words[i].startsWith("0x") ? 16 : 10) || 0 : 0);
      if (name === "mode") st.modes = words[0];
      else if (name === "backend") st.backend = words[0] === "double" ? 1 : 5;
      else if (name === "fields") {
        host.fields.clear();
        for (const word of words) {
          const equals = word.indexOf("=");
          const value = equals < 0 ? null : parseValue(word.slice(equals + 1));
          if (!value) fail(`field must be NAME=TYPE:VALUE: ${word}`);
          else host.fields.set(decode(unescape(word.slice(0, equals))), value);
        }
      } else if (name === "profile") fcl.setProfile(bytesOf(["[Fclib]", ...words].map((e) => e + "\n").join("")));
      else if (name === "profile-file" && words.length === 2)
        fcl.setProfile(words[0].toUpperCase() === "ORBISRPT.INI" ? bytesOf(unescape(words[1])) : null);
      else if (name === "init" && words.length) {
        m._FCLSETMODE(words[1] === "other" ? (pass !== 1 ? 1 : 0) : pass === 1 ? 1 : 0);
        if (fcl.init(number(0)) !== 1) fail("FCLINIT did not return 1");
      } else if (name === "pass") host.passKey = number(0) & 0xffff;
      else if (name === "query") host.query = number(0) & 0xffff;
      else if (name === "again") host.again = words[0] === "always" ? -1 : number(0);
      else if (name === "values" && words.length) {
        const batch = { values: [], end: 0xfffe };
        for (const word of words.slice(1)) {
          const value = word === "end=reset" ? null : parseValue(word.includes(":") ? word : `number:${word}`);
          if (word === "end=reset") batch.end = 0xffff;
          else if (value) batch.values.push(value);
          else fail(`bad value ${word}`);
        }
        const key = decode(words[0]);
        if (!host.batches.has(key)) host.batches.set(key, []);
        for (let i = 0; i < Math.max(st.repeat, 1); ++i) host.batches.get(key).push(batch);
        st.repeat = 0;
      } else if (name === "requests") {
        const expected = words.map(decode).join(" ");
        if (host.log.join(" ") !== expected) fail(`requests ${host.log.join(" ")}, expected ${expected}`);
      } else if (name === "repeat") st.repeat = number(0);
      else if (name === "expect-lint" && words.length === 1) st.expectedLint = words[0];
      else if (name !== "sequential" && name !== "fresh-process") fail(`unknown directive ${text}`);
    };

    for (st.lineNo = 1; st.lineNo <= lines.length; ++st.lineNo) {
      const line = lines[st.lineNo - 1];
      if (!line || line[0] === "#") continue;
      let text;
      try {
        text = bin(fcl.encode(line));
      } catch {
        fail("text has no code page 932 form");
        continue;
      }
      if (text[0] === "@") {
        directive(text);
        continue;
      }
      const separator = text.indexOf(" ==> ");
      if (separator < 0) {
        fail("missing ' ==> '");
        continue;
      }
      const formula = rawBytes(text.slice(0, separator));
      const expectation = text.slice(separator + 5);
      ++cases;
      for (let round = 0; round < Math.max(st.repeat, 1); ++round) {
        if (numCase(formula, expectation)) continue;
        for (const mode of [0, 1]) {
          const wanted = st.modes === "both" || st.modes === (mode ? "text" : "double");
          if (wanted && (pass < 0 || pass === mode)) check(formula, expectation, mode);
        }
      }
      st.repeat = 0;
      st.expectedLint = "";
      m._FCLSETMODE(0);
      m._NumSetup(5);
    }
    fcl.setProfile(null);
    fcl.init(2);
    m._FCLSETMODE(0);
    m._NumSetup(5);
  }
  return { failures, compiles, cases };
}

// strtod's reading of a number text: decimal, "inf", "nan", hexadecimal.
function strtod(text) {
  const t = text.trim().toLowerCase();
  const sign = t.startsWith("-") ? -1 : 1;
  const body = t.replace(/^[-+]/, "");
  if (body.startsWith("inf")) return sign * Infinity;
  if (body.startsWith("nan")) return NaN;
  if (body.startsWith("0x")) return sign * Number.parseInt(body.slice(2), 16);
  return Number.parseFloat(t) || 0;
}

// printf's "%g".
function formatG(x) {
  if (!Number.isFinite(x)) return Number.isNaN(x) ? "nan" : x > 0 ? "inf" : "-inf";
  if (x === 0) return Object.is(x, -0) ? "-0" : "0";
  const exponent = Math.floor(Math.log10(Math.abs(Number(x.toPrecision(6)))));
  if (exponent < -4 || exponent >= 6) {
    const [mantissa, e] = x.toExponential(5).split("e");
    const trimmed = mantissa.replace(/\.?0+$/, "");
    return `${trimmed}e${e[0] === "-" ? "-" : "+"}${e.replace(/^[-+]/, "").padStart(2, "0")}`;
  }
  return x.toFixed(Math.max(0, 5 - exponent)).replace(/(\.\d*?)0+$/, "$1").replace(/\.$/, "");
}
