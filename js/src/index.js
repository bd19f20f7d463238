// fclib for JavaScript: the library's WebAssembly build with a thin layer over its C interface.
import createFclibModule from "../dist/fclib_module.mjs";
import wasmGzipBase64 from "../dist/fclib_wasm.mjs";
import sampleProfileBase64 from "../dist/sample_profile.mjs";

export const Type = Object.freeze({ STRING: 1, NUMBER: 2, LOGICAL: 4, TIME: 8, DATE: 16, FIELD: 32, NAME: 64 });
const TYPE_NAMES = { 1: "string", 2: "number", 4: "logical", 8: "time", 16: "date" };
const TYPE_CODES = { string: 1, number: 2, logical: 4, time: 8, date: 16 };
const RAW_DOUBLE = 0x8002;
const MAX_CODE = 528;
// Formula texts up to this size go through one block kept for them, without malloc and free.
const TEXT_SPACE = 4096;
const AGGREGATE_KINDS = ["none", "running", "per-call"];
const BUSY = 1010;
// The field slots of bindings.cpp, 80 bytes each: double number at 0, the address seen at 8,
// int32 state at 12, the logical's byte at 16, the NUL-terminated name from 17.
const SLOT_SIZE = 80;
const SLOT_ASK = 0, SLOT_NUMBER = 1, SLOT_LOGICAL = 2, SLOT_NO_VALUE = 3;

// The bundle's .wasm is gzipped (tools/bundle.mjs).
function gunzip(bytes) {
  return new Response(new Response(bytes).body.pipeThrough(new DecompressionStream("gzip"))).arrayBuffer();
}

function fromBase64(text) {
  if (typeof atob === "function") return Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
  return new Uint8Array(Buffer.from(text, "base64"));
}

// A failed compile (or run): the status, the library's words for it and, for a compile, why,
// where (JavaScript string index and byte offset) and at which token.
export class FclError extends Error {
  constructor(status, message, details = {}) {
    super(details.reason ? `${message}: ${details.reason}` : message);
    this.name = "FclError";
    this.status = status;
    this.statusMessage = message;
    this.reason = details.reason ?? "";
    this.offset = details.offset ?? -1;
    this.byteOffset = details.byteOffset ?? -1;
    this.token = details.token ?? "";
  }
}

// Text that code page 932 cannot hold: index is the JavaScript string index of the character.
export class Cp932Error extends Error {
  constructor(text, index) {
    const character = String.fromCodePoint(text.codePointAt(index));
    super(`code page 932 has no ${JSON.stringify(character)} (U+${character.codePointAt(0).toString(16).toUpperCase().padStart(4, "0")}) at index ${index}`);
    this.name = "Cp932Error";
    this.index = index;
    this.character = character;
  }
}

// A value handed to the library as it is: a type word (raw format in the high byte) and bytes.
export class RawValue {
  constructor(type, bytes) {
    this.type = type;
    this.bytes = bytes instanceof Uint8Array ? bytes : Uint8Array.from(bytes);
  }
}

// "20240401" as a Date at local midnight; null for the blank date.
export function dateFromText(text) {
  if (!/^\d{8}$/.test(text) || text === "00000000") return null;
  return new Date(+text.slice(0, 4), +text.slice(4, 6) - 1, +text.slice(6, 8));
}

// "123456" as a Date on the given day (default today) in local time.
export function timeFromText(text, day = new Date()) {
  if (!/^\d{6}$/.test(text)) return null;
  return new Date(day.getFullYear(), day.getMonth(), day.getDate(), +text.slice(0, 2), +text.slice(2, 4), +text.slice(4, 6));
}

const pad = (n, width) => String(n).padStart(width, "0");
export const dateToText = (d) => `${pad(d.getFullYear(), 4)}${pad(d.getMonth() + 1, 2)}${pad(d.getDate(), 2)}`;
export const timeToText = (d) => `${pad(d.getHours(), 2)}${pad(d.getMinutes(), 2)}${pad(d.getSeconds(), 2)}`;

function typeCode(type) {
  if (typeof type === "number") return type;
  return TYPE_CODES[type] ?? 0;
}

export async function createFclib(options = {}) {
  // Module.fclField stays one function that hands every request to the instance's _handler,
  // the one of the call in progress (compile and run install theirs): the module's object is
  // large, and stores to it are slow.
  let fclib;
  const module = await createFclibModule({
    wasmBinary: new Uint8Array(await gunzip(fromBase64(wasmGzipBase64))),
    fclClock: options.clock,
    fclField: (data, name, raw, type) => fclib._handler(data, name, raw, type),
  });
  return (fclib = new Fclib(module, options));
}

class Fclib {
  constructor(m, options) {
    this.m = m;
    this.raw = m;
    this._handler = () => 1;
    this._callback = m._fclw_callback();
    this._hostToken = m._malloc(8);
    this._handle = m._FCLCREATEHANDLE();
    this._scratch = m._malloc(4096);
    this._result = m._malloc(MAX_CODE + 8);
    this._textAt = m._malloc(TEXT_SPACE);
    this._code = m._malloc(MAX_CODE);
    this._slots = m._fclw_slots();
    this._mostSlots = m._fclw_most_slots();
    this._slotName = new RegExp(`^[\\x01-\\x7f]{1,${m._fclw_slot_name_bytes() - 1}}$`);  // ASCII that fits
    this._slotOwner = null;  // the formula whose slot names the slots hold, and how many
    this._slotOwnerCount = 0;
    // While a run is in progress. Its record's getters and functions are its field callback,
    // where the library refuses compiles and runs on the same handle (FCL_E_BUSY): getters the
    // slots are filled from, before the library's run starts, are refused here alike.
    this._busy = false;
    m._fclw_bind(this._hostToken, this._handle, this._result);
    this._view = new DataView(m.HEAPU8.buffer);
    this.setProfile(options.profile === undefined ? fromBase64(sampleProfileBase64) : options.profile);
    m._NumSetup(5);
    this.setNumbers(options.numbers ?? "double");
    if (options.initAggregates !== false) this.init(1);
    this.Decimal = makeDecimal(this);
  }

  get numbers() {
    return this.m._FCLMODE() ? "text" : "double";
  }

  // Process-wide for this instance: formulas carry the number mode of their compile.
  setNumbers(numbers) {
    if (numbers !== "double" && numbers !== "text") throw new TypeError(`numbers must be "double" or "text"`);
    this.m._FCLSETMODE(numbers === "text" ? 1 : 0);
  }

  // FCLINIT: 1 sizes the aggregate areas from the profile and clears them, 2 frees them.
  init(mode = 1) {
    const at = this._scratch;
    this.m.HEAP32[at >> 2] = mode;
    return this.m._FCLINIT(0, 0, at);  // the 64-bit reserved argument as two 32-bit halves
  }

  // The profile's text: a string (read as UTF-8), bytes as a file holds them, or null for none.
  setProfile(profile) {
    const m = this.m;
    if (profile === null) return void m._fclw_set_profile(0, 0);
    const bytes = typeof profile === "string" ? new TextEncoder().encode("\uFEFF" + profile) : profile;
    const at = m._malloc(bytes.length + 1);
    m.HEAPU8.set(bytes, at);
    m._fclw_set_profile(at, bytes.length);
    m._free(at);
  }

  // ---- Text ----

  // A JavaScript string as code page 932 bytes; Cp932Error for a character it cannot hold.
  encode(text) {
    if (/^[\x00-\x7f]*$/.test(text)) {
      const bytes = new Uint8Array(text.length);
      for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
      return bytes;
    }
    const m = this.m;
    const units = m._malloc(text.length * 2 + 2);
    const out = m._malloc(text.length * 2 + 2);
    for (let i = 0; i < text.length; ++i) m.HEAPU16[(units >> 1) + i] = text.charCodeAt(i);
    const written = m._fclw_encode(units, text.length, out, text.length * 2);
    const bytes = written >= 0 ? m.HEAPU8.slice(out, out + written) : null;
    m._free(units);
    m._free(out);
    if (!bytes) throw new Cp932Error(text, -1 - written);
    return bytes;
  }

  // Code page 932 bytes as a JavaScript string; bytes that are no character give U+FFFD.
  decode(bytes) {
    let ascii = true;
    for (let i = 0; i < bytes.length && ascii; ++i) ascii = bytes[i] < 0x80;
    if (ascii) return String.fromCharCode.apply(null, bytes);
    const m = this.m;
    const at = m._malloc(bytes.length * 3 + 2);
    m.HEAPU8.set(bytes, at);
    const units = at + bytes.length + (bytes.length & 1);
    const count = m._fclw_decode(at, bytes.length, units);
    const text = String.fromCharCode.apply(null, m.HEAPU16.subarray(units >> 1, (units >> 1) + count));
    m._free(at);
    return text;
  }

  _cstring(at) {
    const heap = this.m.HEAPU8;
    let end = at;
    while (heap[end]) ++end;
    return heap.subarray(at, end);
  }

  _text(at) {
    return this.decode(this._cstring(at));
  }

  // _text for the short names of field requests: ASCII read in place, without a copy.
  _nameText(at) {
    const heap = this.m.HEAPU8;
    let text = "";
    for (let i = at, byte; (byte = heap[i]); ++i) {
      if (byte >= 0x80) return this._text(at);
      text += String.fromCharCode(byte);
    }
    return text;
  }

  _bytes(text) {
    return typeof text === "string" ? this.encode(text) : text;
  }

  // A formula text into the heap with its NUL: ASCII written there directly (its code page 932
  // bytes), through the kept block when it fits; returns the address, to pass to _unput.
  _putText(text) {
    const at = this._textAt;
    if (typeof text === "string" && text.length < TEXT_SPACE) {
      const heap = this.m.HEAPU8;
      let i = 0;
      for (let unit; i < text.length && (unit = text.charCodeAt(i)) < 0x80; ++i) heap[at + i] = unit;
      if (i === text.length) {
        heap[at + i] = 0;
        return at;
      }
    }
    const bytes = this._bytes(text);
    return bytes.length < TEXT_SPACE ? this._putAt(bytes, at) : this._put(bytes);
  }

  _unput(at) {
    if (at !== this._textAt) this.m._free(at);
  }

  _putAt(bytes, at) {
    this.m.HEAPU8.set(bytes, at);
    this.m.HEAPU8[at + bytes.length] = 0;
    return at;
  }

  // Copies bytes and a NUL into the heap; the caller frees the block.
  _put(bytes) {
    const at = this.m._malloc(bytes.length + 1);
    this.m.HEAPU8.set(bytes, at);
    this.m.HEAPU8[at + bytes.length] = 0;
    return at;
  }

  // The callback's answer to compile-time type queries from fields (object, Map or function),
  // each kept in answered (which, name, code triples in a row) when given.
  _typeHandler(fields, answered) {
    const resolve =
      typeof fields === "function" ? fields : fields instanceof Map ? (n) => fields.get(n) : (n) => fields?.[n];
    return (data, name, raw, type) => {
      if (data !== this._hostToken) return 1;
      const heap16 = this.m.HEAPU16;
      const kind = heap16[type >> 1];
      const text = this._nameText(name);
      const which = kind === Type.FIELD ? "field" : "name";
      const code = typeCode(resolve(text, which));
      answered?.push(which, text, code);
      if (!code) return 1;
      heap16[type >> 1] = code;
      return 0;
    };
  }

  _withHandler(handler, call) {
    const previous = this._handler;
    this._handler = handler;
    try {
      return call();
    } finally {
      this._handler = previous;
    }
  }

  // ---- Compile and analysis ----

  compile(text, fields = {}) {
    const m = this.m;
    const at = this._putText(text);
    const code = this._code;
    const length = this._scratch;
    const answered = [];
    const status = this._busy ? BUSY : this._withHandler(this._typeHandler(fields, answered), () =>
      m._FCLCOMPILE2(this._callback, this._hostToken, at, code, length, this._handle),
    );
    if (status) {
      const error = this._compileError(status, this._bytes(text), at, answered);
      this._unput(at);
      throw error;
    }
    this._unput(at);
    const size = m.HEAPU16[length >> 1];
    return new Formula(this, m.HEAPU8.slice(code, code + size), m._FCLMODE());
  }

  // The analysis of the failed text gives the reason and the token the compiler stopped at
  // (fclib.h's context offsets hold for 64-bit builds only); the compile's answers serve it again.
  _compileError(status, bytes, at, answered) {
    const m = this.m;
    const answers = new Map();
    for (let i = 0; i < answered.length; i += 3) answers.set(`${answered[i]}:${answered[i + 1]}`, answered[i + 2]);
    const reason = this._withHandler(this._typeHandler((name, kind) => answers.get(`${kind}:${name}`)), () => {
      m._fclw_analyze(this._hostToken, at, 1);
      return this._text(m._fclw_diagnostic_reason());
    });
    const byteOffset = m._fclw_diagnostic_begin();
    const token = this.decode(bytes.subarray(byteOffset, m._fclw_diagnostic_end()));
    const offset = this.decode(bytes.subarray(0, byteOffset)).length;
    return new FclError(status, this._text(m._fclw_status_message(status)), { reason, offset, byteOffset, token });
  }

  // A compiled block from elsewhere (a native compile, storage) as a Formula of the current
  // number mode; the library checks it when it runs.
  adopt(code) {
    return new Formula(this, Uint8Array.from(code), this.m._FCLMODE());
  }

  // The tokens as the lexer reads them, with byte spans and JavaScript string spans.
  tokens(text) {
    const m = this.m;
    const bytes = this._bytes(text);
    const at = this._put(bytes);
    const out = m._malloc(6 * (bytes.length + 2));
    const count = m._fclw_tokens(at, out, bytes.length + 2);
    const spans = this._indexer(bytes);
    const tokens = [];
    for (let i = 0; i < count; ++i) {
      const [kind, begin, end] = m.HEAPU16.subarray((out >> 1) + 3 * i, (out >> 1) + 3 * i + 3);
      tokens.push({
        kind: this._text(m._fclw_token_kind(kind)),
        text: this.decode(bytes.subarray(begin, end)),
        begin: spans(begin), end: spans(end), byteBegin: begin, byteEnd: end,
      });
    }
    m._free(at);
    m._free(out);
    return tokens;
  }

  // Byte offset in bytes -> JavaScript string index of the decoded text.
  _indexer(bytes) {
    return (offset) => this.decode(bytes.subarray(0, offset)).length;
  }

  // The analysis of a formula: { ok, status, message, reason, offset, warnings } where every
  // warning is { code, message, begin, end, fix? } (fix: { begin, end, text }).
  lint(text, fields = {}) {
    const m = this.m;
    const bytes = this._bytes(text);
    const at = this._put(bytes);
    const status = this._withHandler(this._typeHandler(fields), () =>
      m._fclw_analyze(this._hostToken, at, this.numbers === "double" ? 1 : 0),
    );
    m._free(at);
    const index = this._indexer(bytes);
    const result = { ok: status === 0, status, message: this._text(m._fclw_status_message(status)), warnings: [] };
    if (status) {
      result.reason = this._text(m._fclw_diagnostic_reason());
      result.offset = index(m._fclw_diagnostic_begin());
      result.byteOffset = m._fclw_diagnostic_begin();
    }
    for (let i = 0; i < m._fclw_warning_count(); ++i) {
      const warning = {
        code: this._text(m._fclw_warning_code(i)),
        message: this._text(m._fclw_warning_message(i)),
        begin: index(m._fclw_warning_begin(i)), end: index(m._fclw_warning_end(i)),
        byteBegin: m._fclw_warning_begin(i), byteEnd: m._fclw_warning_end(i),
      };
      const fix = m._fclw_warning_fix(i);
      if (fix) {
        warning.fix = {
          begin: index(m._fclw_warning_fix_begin(i)), end: index(m._fclw_warning_fix_end(i)),
          byteBegin: m._fclw_warning_fix_begin(i), byteEnd: m._fclw_warning_fix_end(i),
          text: this._text(fix), bytes: this._cstring(fix).slice(),
        };
      }
      result.warnings.push(warning);
    }
    return result;
  }

  // The function catalogue: one entry per function record, 1-based record numbers.
  functions() {
    const m = this.m;
    const list = [];
    for (let record = 1; record <= m._fclw_function_count(); ++record) {
      const argc = m._fclw_function_argc(record);
      const args = [];
      for (let i = 0; i < Math.max(argc, 0); ++i) args.push(m._fclw_function_arg(record, i));
      list.push({
        name: this._text(m._fclw_function_name(record)), record, argc, args,
        result: m._fclw_function_result(record), summary: this._text(m._fclw_function_summary(record)),
        aggregate: AGGREGATE_KINDS[m._fclw_function_aggregate(record)], docs: this._text(m._fclw_function_anchor(record)),
      });
    }
    return list;
  }

  // ---- Values ----

  // Writes value into the raw buffer as a field answer; false when there is none.
  _writeValue(raw, type, value, declared) {
    const m = this.m;
    if (typeof value === "number") {
      if (declared === Type.STRING) return this._writeText(raw, type, String(value), Type.STRING);
      this._view.setFloat64(raw, value, true);
      m.HEAPU16[type >> 1] = RAW_DOUBLE;
      return true;
    }
    if (value === null || value === undefined) return false;
    if (typeof value === "string") return this._writeText(raw, type, value, declared === 0 ? Type.STRING : declared);
    if (typeof value === "boolean") {
      m.HEAPU8[raw] = value ? 1 : 0;
      m.HEAPU16[type >> 1] = Type.LOGICAL;
      return true;
    }
    if (typeof value === "bigint" || value instanceof this.Decimal) return this._writeText(raw, type, String(value), Type.NUMBER);
    if (value instanceof Date) {
      return declared === Type.TIME
        ? this._writeText(raw, type, timeToText(value), Type.TIME)
        : this._writeText(raw, type, dateToText(value), Type.DATE);
    }
    if (value instanceof RawValue) {
      const size = Math.min(value.bytes.length + 1, 518);
      m.HEAPU8.set(value.bytes.subarray(0, size), raw);
      if (value.bytes.length < size) m.HEAPU8[raw + value.bytes.length] = 0;
      m.HEAPU16[type >> 1] = value.type;
      return true;
    }
    return false;
  }

  _writeText(raw, type, text, typeWord) {
    const bytes = this.encode(text).subarray(0, 517);
    this.m.HEAPU8.set(bytes, raw);
    this.m.HEAPU8[raw + bytes.length] = 0;
    this.m.HEAPU16[type >> 1] = typeWord;
    return true;
  }

  // The tagged value at at as JavaScript: string, number (text mode: exact decimal string),
  // boolean, date "yyyymmdd", time "hhmmss"; mode is FCLMODE's when the caller has it.
  _readValue(at, mode = this.m._FCLMODE()) {
    const heap = this.m.HEAPU8;
    switch (heap[at]) {
      case Type.NUMBER:
        if (!mode) return this._view.getFloat64(at + 1, true);
        return this.Decimal.plainText(this._cstring(at + 1));
      case Type.LOGICAL:
        return heap[at + 1] !== 0;
      case Type.STRING: case Type.TIME: case Type.DATE:
        return this._text(at + 1);
      case 128:
        return heap[at + 1];
      default:
        return undefined;
    }
  }
}

class Formula {
  constructor(fcl, code, mode) {
    this.fcl = fcl;
    this.code = code;
    this.resultType = TYPE_NAMES[code[0]] ?? code[0];
    this.resultMask = code[0];
    this.flags = code[1];
    this.numbers = mode ? "text" : "double";
    this._mode = mode;
    this._at = 0;  // the heap copy of the code that runs use, made by the first run
    this._disposed = false;
    this._names = new Map();  // name address in the run's code -> name
    this._slotNames = [];  // the fields runs answer through the slots, in slot order
  }

  // Frees the heap copy of the code (done anyway when the formula is collected); the formula
  // no longer runs.
  dispose() {
    this._disposed = true;
    if (!this._at) return;
    formulas.unregister(this);
    this.fcl.m._free(this._at);
    this._at = 0;
  }

  // The heap copy of the code: a formula that is only compiled (checked, stored) needs none.
  _codeAt() {
    if (this._disposed) throw new Error("the formula was disposed");
    const m = this.fcl.m;
    const at = m._malloc(MAX_CODE);
    m.HEAPU8.set(this.code.subarray(0, MAX_CODE), at);
    formulas.register(this, { m, at }, this);
    return (this._at = at);
  }

  _name(name) {
    let text = this._names.get(name);
    if (text === undefined) {
      text = this.fcl._nameText(name);
      this._names.set(name, text);
    }
    return text;
  }

  // The name of a field request seen for the first time; a short ASCII name gets a slot.
  _fieldName(name) {
    const text = this._name(name);
    const slotted = this._slotNames;
    const fcl = this.fcl;
    if (slotted.length < fcl._mostSlots && fcl._slotName.test(text) && !slotted.includes(text)) slotted.push(text);
    return text;
  }

  // Writes the record's value of every slotted field into the slots: a number or logical to be
  // answered in the module, a missing value to fail there, anything else to be asked of the
  // handler. Returns the slots the run may use: none for a record that is a function (called
  // for the fields the run asks for, and only those).
  _fill(record) {
    const fcl = this.fcl;
    const names = this._slotNames;
    if (names.length === 0 || typeof record !== "object" || record === null) return 0;
    const m = fcl.m;
    const at = fcl._slots;
    if (fcl._slotOwner !== this || fcl._slotOwnerCount !== names.length) {
      const heap = m.HEAPU8;
      for (let i = 0; i < names.length; ++i) {
        const name = names[i];
        const slot = at + i * SLOT_SIZE;
        m.HEAPU32[(slot + 8) >> 2] = 0;
        for (let c = 0; c < name.length; ++c) heap[slot + 17 + c] = name.charCodeAt(c);
        heap[slot + 17 + name.length] = 0;
      }
      fcl._slotOwner = this;
      fcl._slotOwnerCount = names.length;
    }
    const numbers = m.HEAPF64;
    const words = m.HEAP32;
    const map = record instanceof Map;
    for (let i = 0; i < names.length; ++i) {
      const value = map ? record.get(names[i]) : record[names[i]];
      const slot = at + i * SLOT_SIZE;
      let state = SLOT_ASK;
      if (typeof value === "number") {
        numbers[slot >> 3] = value;
        state = SLOT_NUMBER;
      } else if (typeof value === "boolean") {
        m.HEAPU8[slot + 16] = value ? 1 : 0;
        state = SLOT_LOGICAL;
      } else if (value === undefined || value === null) {
        state = SLOT_NO_VALUE;
      }
      words[(slot + 12) >> 2] = state;
    }
    return names.length;
  }

  // The handler answering the run's field and aggregate requests from record and host.
  _runHandler(state) {
    const fcl = this.fcl;
    const token = fcl._hostToken;
    const view = fcl._view;
    const names = this._names;
    return (data, name, raw, type) => {
      try {
        if (data !== token) return this._aggregate(state.host, data, name, raw, type);
        const key = names.get(name) ?? this._fieldName(name);
        const record = state.record;
        const value = typeof record === "function" ? record(key) : record instanceof Map ? record.get(key) : record?.[key];
        if (typeof value === "number") {
          // The double straight into the raw buffer, type word as FCL_RAW_DOUBLE.
          view.setFloat64(raw, value, true);
          view.setUint16(type, RAW_DOUBLE, true);
          return 0;
        }
        return fcl._writeValue(raw, type, value, 0) ? 0 : 1;
      } catch (error) {
        state.error ??= error;
        return 1;
      }
    };
  }

  // An aggregate request handed to host.request({ form, name, type }) -> { status, type, value }.
  _aggregate(host, data, name, raw, type) {
    const fcl = this.fcl;
    const m = fcl.m;
    const word = m.HEAP32[data >> 2];
    const form = word === 3 ? "query" : word === 2 ? "value" : fcl._text(data);
    if (!host) return form === "query" ? 0xffff : form === "value" ? 1 : 0;
    const answer = host.request({ form, name: this._name(name), type: m.HEAPU16[type >> 1], raw: raw !== 0 });
    if (typeof answer === "number") return answer;
    if (answer.value !== undefined) fcl._writeValue(raw, type, answer.value, 0);
    else if (answer.type !== undefined) m.HEAPU16[type >> 1] = answer.type;
    return answer.status ?? 0;
  }

  // Runs the formula once with state's record; the status. The result is in fcl._result.
  _execute(state) {
    const fcl = this.fcl;
    const m = fcl.m;
    const at = this._at || this._codeAt();
    if (fcl._busy) return m._fclw_refuse(at);
    fcl._busy = true;
    let status;
    try {
      status = m._fclw_run(at, this._fill(state.record), this._mode);
    } finally {
      fcl._busy = false;
    }
    if (status < 0) throw new Error(`the formula was compiled for ${this.numbers} numbers`);
    if (state.error) {
      const error = state.error;
      state.error = undefined;
      throw error;
    }
    return status;
  }

  // The status and the tagged value's bytes of one run, without conversion.
  runRaw(record, host) {
    const fcl = this.fcl;
    const state = { record, host };
    const status = fcl._withHandler(this._runHandler(state), () => this._execute(state));
    const at = fcl._result;
    const heap = fcl.m.HEAPU8;
    let size = 1;
    if (heap[at] === Type.NUMBER && !this._mode) size = 9;
    else if (heap[at] === Type.LOGICAL || heap[at] === 128) size = 2;
    else if (TYPE_NAMES[heap[at]]) size = fcl._cstring(at + 1).length + 2;
    return { status, value: heap.slice(at, at + size) };
  }

  // The formula's value for one record; FclError when the run fails.
  run(record, host) {
    const fcl = this.fcl;
    const state = (this._state ??= { record: undefined, host: undefined, handler: undefined, error: undefined });
    state.handler ??= this._runHandler(state);
    state.record = record;
    state.host = host;
    const previous = fcl._handler;
    fcl._handler = state.handler;
    let status;
    try {
      status = this._execute(state);
    } finally {
      fcl._handler = previous;
      state.record = state.host = undefined;
    }
    if (status) throw this._runError(status);
    return fcl._readValue(fcl._result, this._mode);
  }

  // The values for every record, in an array; a failed run gives an FclError in its place.
  runMany(records, host) {
    const fcl = this.fcl;
    const state = { record: undefined, host };
    return fcl._withHandler(this._runHandler(state), () => {
      const out = new Array(records.length);
      for (let i = 0; i < records.length; ++i) {
        state.record = records[i];
        const status = this._execute(state);
        out[i] = status ? this._runError(status) : fcl._readValue(fcl._result, this._mode);
      }
      return out;
    });
  }

  _runError(status) {
    return new FclError(status, this.fcl._text(this.fcl.m._fclw_status_message(status)));
  }
}

const formulas = new FinalizationRegistry(({ m, at }) => m._free(at));

// The exact 28-byte decimal of the Num functions, as a small immutable class.
function makeDecimal(fcl) {
  const m = fcl.m;
  const a = m._malloc(32);
  const b = m._malloc(32);
  const text = m._malloc(720);
  const load = (at, value) => {
    if (value instanceof Decimal) return m.HEAPU8.set(value.bytes, at);
    const s = fcl._put(fcl.encode(String(value)));
    m._NumFromStr(at, s);
    m._free(s);
  };
  const make = (at) => new Decimal(m.HEAPU8.slice(at, at + 28));
  const backend = (call) => {
    const previous = m._NumType();
    if (previous !== 5) m._NumSetup(5);
    try {
      return call();
    } finally {
      if (previous !== 5) m._NumSetup(previous);
    }
  };
  const binary = (op) =>
    function (other) {
      return backend(() => {
        load(a, this);
        load(b, other);
        op(a, b);
        return make(a);
      });
    };
  class Decimal {
    constructor(value) {
      if (value instanceof Uint8Array && value.length === 28) {
        this.bytes = value;
      } else {
        this.bytes = backend(() => (load(a, value), m.HEAPU8.slice(a, a + 28)));
      }
      Object.freeze(this);
    }
    static from(value) {
      return value instanceof Decimal ? value : new Decimal(value);
    }
    // Plain decimal text of a library number text (used for text-mode results).
    static plainText(bytes) {
      const s = fcl._put(bytes);
      m._NumFromStr(a, s);
      m._free(s);
      return fcl._text(m._NumToStr(a, text, -1, -1));
    }
    toString() {
      return backend(() => (load(a, this), fcl._text(m._NumToStr(a, text, -1, -1))));
    }
    // The library's own form of the number (digits with an exponent).
    toFullText() {
      return backend(() => (load(a, this), fcl._text(m._NumToStr(a, text, 1, -1))));
    }
    toFixed(digits) {
      return backend(() => (load(a, this), fcl._text(m._NumToStr(a, text, 0, digits))));
    }
    toNumber() {
      return Number(this.toString());
    }
    toJSON() {
      return this.toString();
    }
    compare(other) {
      return backend(() => (load(a, this), load(b, other), m._NumComp(a, b)));
    }
    equals(other) {
      return this.compare(other) === 0;
    }
    isZero() {
      return backend(() => (load(a, this), m._NumIsZero(a) === 1));
    }
    neg() {
      return backend(() => (load(a, this), m._NumNeg(a), make(a)));
    }
    trunc() {
      return backend(() => (load(a, this), m._NumInt(a), make(a)));
    }
    frac() {
      return backend(() => (load(a, this), m._NumFrac(a), make(a)));
    }
  }
  Decimal.prototype.add = binary((x, y) => m._NumAdd(x, y));
  Decimal.prototype.sub = binary((x, y) => m._NumSub(x, y));
  Decimal.prototype.mul = binary((x, y) => m._NumMul(x, y));
  Decimal.prototype.div = binary((x, y) => m._NumDiv(x, y));
  return Decimal;
}
