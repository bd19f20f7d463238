// Sample data for the editor: CSV read and typed as `fcl report` reads and types it, the
// preview run over the first records with running totals and groups, and the explanation of
// one record. Every value comes from the library; this file only feeds it records.
import { RawValue, Type } from "../../src/index.js";

const AGG_RESET = 0xffff;
const AGG_CONTINUE = 0xfffe;
const SYNC_FIELD = "fcl:sync";
// Records run per instance: each record's pass key differs from the one before it on that
// instance, also across previews (FCLINIT clears the slots but not the last key).
const runsOf = new WeakMap();
const TYPE_CODES = { string: Type.STRING, number: Type.NUMBER, logical: Type.LOGICAL, time: Type.TIME, date: Type.DATE };

// ---- CSV --------------------------------------------------------------------------------

// Records of CSV text: a leading BOM dropped, blank lines skipped, quoted cells with "" for a
// quote and any text after the closing quote kept, CR, LF or CRLF ending a record.
export function parseCsv(text) {
  const records = [];
  let i = text.charCodeAt(0) === 0xfeff ? 1 : 0;
  while (i < text.length) {
    while (i < text.length && (text[i] === "\n" || text[i] === "\r")) ++i;
    if (i === text.length) break;
    const cells = [];
    for (;;) {
      let cell = "";
      if (text[i] === '"') {
        ++i;
        for (;;) {
          const quote = text.indexOf('"', i);
          if (quote < 0) { cell += text.slice(i); i = text.length; break; }
          cell += text.slice(i, quote);
          i = quote + 1;
          if (text[i] !== '"') break;
          cell += '"';
          ++i;
        }
      }
      while (i < text.length && !",\r\n".includes(text[i])) cell += text[i++];
      cells.push(cell);
      if (text[i] === ",") { ++i; continue; }
      if (text[i] === "\r" && text[i + 1] === "\n") ++i;
      ++i;
      break;
    }
    records.push(cells);
  }
  return records;
}

// ---- Typing -----------------------------------------------------------------------------

const NUMBER_TEXT = /^[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?$/;
const TIME_TEXT = /^(\d{1,2}):(\d{2})(?::(\d{2}))?$/;

// yyyymmdd, yyyy/m/d or yyyy-m-d naming a real day, as "yyyymmdd"; null otherwise.
export function dateDigits(text) {
  const m = /^(\d{4})(\d{2})(\d{2})$/.exec(text) ?? /^(\d{4})([/-])(\d{1,2})\2(\d{1,2})$/.exec(text);
  if (!m) return null;
  const [year, month, day] = m.length === 4 ? [+m[1], +m[2], +m[3]] : [+m[1], +m[3], +m[4]];
  const days = [31, year % 4 === 0 && (year % 100 !== 0 || year % 400 === 0) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31];
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > days[month - 1]) return null;
  return `${m[1]}${String(month).padStart(2, "0")}${String(day).padStart(2, "0")}`;
}

// h:mm or h:mm:ss within a day, as "hhmmss"; null otherwise.
export function timeDigits(text) {
  const m = TIME_TEXT.exec(text);
  if (!m || +m[1] > 23 || +m[2] > 59 || +(m[3] ?? 0) > 59) return null;
  return m[1].padStart(2, "0") + m[2] + (m[3] ?? "00");
}

// true/false in any case, Y/N in either case, 1/0; null for anything else.
export function logicalValue(text) {
  const word = text.toLowerCase();
  if (word === "true" || word === "y" || text === "1") return true;
  if (word === "false" || word === "n" || text === "0") return false;
  return null;
}

/**
 * The type of a column from its cells, the rule of `fcl report` (tools/fcl/host.cpp, TypeGuess):
 * empty cells say nothing; a column whose every other cell is a date is a date, else one of
 * numbers a number, else of times a time, else of the words true/false (any case; not the
 * one-letter Y, N, 1, 0) a logical; anything else, and a column of empty cells, a string.
 */
export function columnType(cells) {
  let any = false, date = true, number = true, time = true, logical = true;
  for (const text of cells) {
    if (!text) continue;
    any = true;
    date &&= dateDigits(text) !== null;
    number &&= NUMBER_TEXT.test(text);
    time &&= timeDigits(text) !== null;
    logical &&= text.length > 1 && logicalValue(text) !== null;
  }
  if (!any) return "string";
  return date ? "date" : number ? "number" : time ? "time" : logical ? "logical" : "string";
}

/**
 * A sample from CSV text: the header row gives the fields (`Name:type` fixes a type; the
 * others are typed from every record by columnType) and the rest the records.
 */
export function sampleFromCsv(text) {
  const [header = [], ...rows] = parseCsv(text);
  const fields = header.map((cell, i) => {
    const colon = cell.lastIndexOf(":");
    const type = colon >= 0 ? cell.slice(colon + 1) : "";
    if (TYPE_CODES[type]) return { name: cell.slice(0, colon), type, inferred: false };
    return { name: cell, type: columnType(rows.map((row) => row[i] ?? "")), inferred: true };
  });
  return { fields, rows };
}

// The sample's field types as compile's fields function: fields answer to both reference kinds,
// as `fcl report` looks both up alike.
export function fieldTypes(sample) {
  const types = new Map(sample.fields.map((f) => [f.name, f.type]));
  types.set(SYNC_FIELD, "number");
  return (name) => types.get(name);
}

// ---- Values -----------------------------------------------------------------------------

// A cell as the value handed to the library, or { problem } as fcl report words it.
export function cellValue(field, text, numbers) {
  const problem = (what) => ({ problem: `field ${field.name}: "${text}" ${what}` });
  switch (field.type) {
    case "number":
      if (!text) return { value: numbers === "text" ? new RawValue(Type.NUMBER, [0x30]) : 0 };
      if (!NUMBER_TEXT.test(text)) return problem("is not a number");
      return { value: numbers === "text" ? new RawValue(Type.NUMBER, ascii(text.replace(/^\+/, ""))) : Number(text) };
    case "date": {
      const digits = text ? dateDigits(text) : "00000000";
      return digits ? { value: new RawValue(Type.DATE, ascii(digits)) } : problem("is not a date (yyyy/mm/dd, yyyy-mm-dd or yyyymmdd)");
    }
    case "time": {
      const digits = text ? timeDigits(text) : "000000";
      return digits ? { value: new RawValue(Type.TIME, ascii(digits)) } : problem("is not a time (hh:mm or hh:mm:ss)");
    }
    case "logical": {
      const flag = text ? logicalValue(text) : false;
      return flag === null ? problem("is not a logical (true, false, Y, N, 1 or 0)") : { value: flag };
    }
    default:
      return { value: text, text: true };
  }
}

const ascii = (text) => Array.from(text, (c) => c.charCodeAt(0));

// One record as the run's field source and the aggregates' value source.
class RecordSource {
  constructor(fcl, sample, row) {
    this.fcl = fcl;
    this.sample = sample;
    this.row = row;
    this.problem = "";
  }

  cell(name) {
    const index = this.sample.fields.findIndex((f) => f.name === name);
    if (index < 0) return name === SYNC_FIELD ? { value: 0 } : { problem: `unknown field or column "${name}"` };
    const field = this.sample.fields[index];
    const text = this.row[index] ?? "";
    const got = cellValue(field, text, this.fcl.numbers);
    if (got.text) {
      try {
        got.value = new RawValue(Type.STRING, this.fcl.encode(text).subarray(0, 517));
      } catch (error) {
        return { problem: `field ${field.name}: ${JSON.stringify(error.character)} has no code page 932 form` };
      }
    }
    got.empty = text === "";
    return got;
  }

  field = (name) => {
    const got = this.cell(name);
    if (got.problem) this.problem = got.problem;
    return got.value;
  };
}

// The aggregate host of one record: running totals kept across records, the end of the call
// marked at the group's last record; calls counts the aggregate calls that ran.
function aggregateHost(source, passKey, groupLast) {
  const host = {
    calls: 0,
    pending: false,
    request({ form, name, type }) {
      const first = type === Type.FIELD || type === Type.NAME;
      if (form === "query") {
        ++host.calls;
        host.pending = true;
        return AGG_RESET;
      }
      const got = first ? source.cell(name) : {};
      const supplied = got.value !== undefined && !got.empty;
      if (form === "value") {
        if (first && !host.pending) ++host.calls;
        if (first) host.pending = false;
        if (supplied) return { status: passKey, value: got.value };
        return { status: passKey, type: groupLast ? AGG_RESET : AGG_CONTINUE };
      }
      return supplied ? { status: 0, value: got.value } : { status: 0, type: AGG_RESET };
    },
  };
  return host;
}

// ---- The preview ------------------------------------------------------------------------

// The running aggregate calls of a formula, in the order they run, by their kind's name.
function aggregateSites(fcl, text) {
  const running = new Set(fcl.functions().filter((f) => f.aggregate === "running").map((f) => f.name));
  return fcl.tokens(text).filter((t) => t.kind === "function" && running.has(t.text.toUpperCase())).map((t) => t.text.toUpperCase());
}

// Failure of one run: the library's status and words, and what the host saw wrong.
function failure(error, source) {
  return { status: error.status ?? 0, message: error.statusMessage ?? error.message, reason: source.problem || error.reason || "" };
}

/**
 * Runs the formula over the first `limit` records as `fcl report --group-by` does: one pass key
 * per record (2 plus the instance's count of records run, modulo 999), running totals that end at each group's last record
 * (a group is a run of records with one value of the groupBy field), PAGE from 1, stand-in
 * calls where a failed run missed its aggregates. Returns { resultType, rows, groups } or
 * { error } when the formula does not compile; rows hold { index, value } or { index, error }.
 */
export function runPreview(fcl, text, sample, { groupBy = "", limit = 100 } = {}) {
  let formula;
  const types = fieldTypes(sample);
  try {
    formula = fcl.compile(text, types);
  } catch (error) {
    return { error };
  }
  fcl.init(1);
  fcl.compile("PAGE(1, 1)").run();
  const sites = aggregateSites(fcl, text);
  const standIns = new Map(sites.map((kind) => [kind, fcl.compile(`${kind}([${SYNC_FIELD}])`, types)]));
  const group = sample.fields.findIndex((f) => f.name === groupBy);
  const rows = [];
  const groups = [];
  const count = Math.min(limit, sample.rows.length);
  for (let i = 0; i < count; ++i) {
    const row = sample.rows[i];
    const key = group >= 0 ? row[group] ?? "" : "";
    const next = sample.rows[i + 1];
    const groupLast = !next || (group >= 0 && (next[group] ?? "") !== key);
    const source = new RecordSource(fcl, sample, row);
    const runs = (runsOf.get(fcl) ?? 0) + 1;
    runsOf.set(fcl, runs);
    const host = aggregateHost(source, 2 + (runs % 999), groupLast);
    const out = { index: i, key };
    try {
      out.value = formula.run(source.field, host);
    } catch (error) {
      out.error = failure(error, source);
      for (const kind of sites.slice(host.calls)) {
        try { standIns.get(kind).run(source.field, host); } catch { /* a stand-in keeps slots in step only */ }
      }
    }
    rows.push(out);
    if (groupLast) groups.push({ key, last: i, total: out });
  }
  formula.dispose();
  for (const standIn of standIns.values()) standIn.dispose();
  return { resultType: formula.resultType, rows, groups, sites: sites.length };
}

// ---- Explain this record ----------------------------------------------------------------

const OPERAND_START = new Set(["function", "field", "name", "number", "string", "open", "operator"]);
const OPERAND_END = new Set(["close", "field", "name", "number", "string"]);

/**
 * Every sub-expression of the formula with its value for record `index`: a span of tokens is
 * one when it compiles alone and putting it in parentheses leaves the compiled formula as it
 * was (so the library's own precedence decides). Calls that keep state (aggregates, PAGE) are
 * run over the records up to this one on `scratch`, a second instance, so that the real totals
 * stay as they are. Returns [{ begin, end, text, depth, value | error }], outermost first.
 */
export function explainRecord(fcl, scratch, text, sample, index, options = {}) {
  const types = fieldTypes(sample);
  const whole = fcl.compile(text, types).code;
  const tokens = fcl.tokens(text).filter((t) => t.kind !== "space");
  const stateful = new Set(fcl.functions().filter((f) => f.aggregate !== "none" || f.name === "PAGE").map((f) => f.name));
  const spans = [];
  for (let i = 0; i < tokens.length; ++i) {
    if (!OPERAND_START.has(tokens[i].kind)) continue;
    let depth = 0;
    for (let j = i; j < tokens.length; ++j) {
      const kind = tokens[j].kind;
      depth += kind === "open" ? 1 : kind === "close" ? -1 : 0;
      if (depth < 0) break;
      if (depth > 0 || !OPERAND_END.has(kind)) continue;
      const begin = tokens[i].begin, end = tokens[j].end;
      const part = text.slice(begin, end);
      if (!compiles(fcl, part, types)) continue;
      const wrapped = `${text.slice(0, begin)}(${part})${text.slice(end)}`;
      if (begin === 0 && end === text.length || sameCode(fcl, wrapped, types, whole)) {
        spans.push({ begin, end, text: part, stateful: tokens.slice(i, j + 1).some((t) => t.kind === "function" && stateful.has(t.text.toUpperCase())) });
      }
    }
  }
  spans.sort((a, b) => a.begin - b.begin || b.end - a.end);
  return spans.map((span) => {
    const depth = spans.filter((o) => o !== span && o.begin <= span.begin && o.end >= span.end).length;
    const result = span.stateful ? replay(scratch, span.text, sample, index, options) : once(fcl, span.text, sample, index, types);
    return { begin: span.begin, end: span.end, text: span.text, depth, ...result };
  });
}

function compiles(fcl, text, types) {
  try {
    fcl.compile(text, types).dispose();
    return true;
  } catch {
    return false;
  }
}

function sameCode(fcl, text, types, code) {
  try {
    const formula = fcl.compile(text, types);
    formula.dispose();
    return formula.code.length === code.length && formula.code.every((b, i) => b === code[i]);
  } catch {
    return false;
  }
}

function once(fcl, text, sample, index, types) {
  const formula = fcl.compile(text, types);
  const source = new RecordSource(fcl, sample, sample.rows[index]);
  try {
    return { value: formula.run(source.field) };
  } catch (error) {
    return { error: failure(error, source) };
  } finally {
    formula.dispose();
  }
}

function replay(scratch, text, sample, index, options) {
  const run = runPreview(scratch, text, sample, { ...options, limit: index + 1 });
  const row = run.rows[index];
  return row.error ? { error: row.error } : { value: row.value };
}
