export type TypeName = "string" | "number" | "logical" | "time" | "date";
/** A field's type: a name, or a type word (raw format in the high byte). */
export type FieldType = TypeName | number;
export type Fields = Record<string, FieldType> | Map<string, FieldType> | ((name: string, kind: "field" | "name") => FieldType | undefined);
export type FieldValue = string | number | boolean | bigint | Date | Decimal | RawValue | null | undefined;
export type Record_ = Record<string, FieldValue> | Map<string, FieldValue> | ((name: string) => FieldValue);
/** A formula's value: text-number mode gives numbers as exact decimal strings; dates "yyyymmdd", times "hhmmss". */
export type Value = string | number | boolean;

export declare const Type: Readonly<{ STRING: 1; NUMBER: 2; LOGICAL: 4; TIME: 8; DATE: 16; FIELD: 32; NAME: 64 }>;

export declare class FclError extends Error {
  status: number;
  statusMessage: string;
  reason: string;
  /** JavaScript string index of the failing token; -1 for a run. */
  offset: number;
  byteOffset: number;
  token: string;
}
export declare class Cp932Error extends Error {
  index: number;
  character: string;
}
export declare class RawValue {
  constructor(type: number, bytes: Uint8Array | ArrayLike<number>);
  type: number;
  bytes: Uint8Array;
}

export interface AggregateRequest {
  /** "query", "value" (plain aggregates) or the P form's name without the P ("SUM", ...). */
  form: string;
  name: string;
  /** The type word on entry. */
  type: number;
}
export interface AggregateHost {
  /** A status alone, or a status with a value, or with an end mark in type. */
  request(request: AggregateRequest): number | { status?: number; value?: FieldValue; type?: number };
}

export declare class Decimal {
  constructor(value: string | number | bigint | Decimal);
  static from(value: string | number | bigint | Decimal): Decimal;
  readonly bytes: Uint8Array;
  add(other: string | number | Decimal): Decimal;
  sub(other: string | number | Decimal): Decimal;
  mul(other: string | number | Decimal): Decimal;
  div(other: string | number | Decimal): Decimal;
  neg(): Decimal;
  trunc(): Decimal;
  frac(): Decimal;
  compare(other: string | number | Decimal): -1 | 0 | 1;
  equals(other: string | number | Decimal): boolean;
  isZero(): boolean;
  toString(): string;
  toFullText(): string;
  toFixed(digits: number): string;
  toNumber(): number;
  toJSON(): string;
}

export interface Formula {
  readonly code: Uint8Array;
  readonly resultType: TypeName | number;
  readonly resultMask: number;
  readonly flags: number;
  readonly numbers: "double" | "text";
  run(record?: Record_, host?: AggregateHost): Value;
  runMany(records: ArrayLike<Record_>, host?: AggregateHost): Array<Value | FclError>;
  runRaw(record?: Record_, host?: AggregateHost): { status: number; value: Uint8Array };
  dispose(): void;
}

export interface Token { kind: string; text: string; begin: number; end: number; byteBegin: number; byteEnd: number }
export interface Warning {
  code: string; message: string; begin: number; end: number; byteBegin: number; byteEnd: number;
  fix?: { begin: number; end: number; byteBegin: number; byteEnd: number; text: string; bytes: Uint8Array };
}
export interface LintResult {
  ok: boolean; status: number; message: string; reason?: string; offset?: number; byteOffset?: number; warnings: Warning[];
}
export interface FunctionInfo {
  name: string; record: number; argc: number; args: number[]; result: number; summary: string;
  aggregate: "none" | "running" | "per-call"; docs: string;
}

export interface Fclib {
  readonly numbers: "double" | "text";
  /** The emscripten module: the 34 entry points as _FCLINIT ... _NumDec, HEAPU8 and the other views, _malloc, _free. */
  readonly raw: any;
  readonly Decimal: typeof Decimal;
  setNumbers(numbers: "double" | "text"): void;
  setProfile(profile: string | Uint8Array | null): void;
  init(mode?: number): number;
  compile(text: string | Uint8Array, fields?: Fields): Formula;
  adopt(code: Uint8Array): Formula;
  tokens(text: string | Uint8Array): Token[];
  lint(text: string | Uint8Array, fields?: Fields): LintResult;
  functions(): FunctionInfo[];
  encode(text: string): Uint8Array;
  decode(bytes: Uint8Array): string;
}

export interface Options {
  /** ORBISRPT.INI: text, the file's bytes, or null for none; the sample profile when left out. */
  profile?: string | Uint8Array | null;
  numbers?: "double" | "text";
  /** The local time: a Date read in local time, or the six fields. */
  clock?: () => Date | { year: number; month: number; day: number; hour: number; minute: number; second: number };
  /** FCLINIT mode 1 at the start (default true). */
  initAggregates?: boolean;
}

export declare function createFclib(options?: Options): Promise<Fclib>;
export declare function dateFromText(text: string): Date | null;
export declare function timeFromText(text: string, day?: Date): Date | null;
export declare function dateToText(date: Date): string;
export declare function timeToText(date: Date): string;
