// The package's measures: module size, runMany throughput, run and compile time per call.
// With FCLIB_NATIVE_BENCH (native_bench.c built) it prints the ratios to the native times.
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { gzipSync } from "node:zlib";
import { createFclib } from "../src/index.js";

const dist = new URL("../dist/", import.meta.url);
const wasm = readFileSync(new URL("fclib.wasm", dist));
const module = Buffer.concat([readFileSync(new URL("fclib_module.mjs", dist)), readFileSync(new URL("fclib_wasm.mjs", dist))]);
const kb = (n) => `${(n / 1024).toFixed(0)} KB`;
console.log(`wasm ${kb(wasm.length)} (gzip ${kb(gzipSync(wasm).length)}); bundled module ${kb(module.length)} (gzip ${kb(gzipSync(module).length)})`);

const fcl = await createFclib();
const formula = fcl.compile("[Price] * [Qty] + 1", { Price: "number", Qty: "number" });
const records = Array.from({ length: 1_000_000 }, (_, i) => ({ Price: i % 100, Qty: 3 }));
formula.runMany(records.slice(0, 10000));
let start = performance.now();
formula.runMany(records);
const seconds = (performance.now() - start) / 1000;
console.log(`runMany: ${(records.length / seconds).toFixed(0)} records/s`);

const time = (count, call) => {
  const begin = performance.now();
  for (let i = 0; i < count; ++i) call(i);
  return ((performance.now() - begin) * 1e6) / count;
};
const record = { Price: 2, Qty: 3 };
const text = 'IF([Qty] > 10, FORMAT([Price] * [Qty], "#,##0"), LEFT("abc", 2))';
const fields = { Price: "number", Qty: "number" };
time(10000, () => formula.run(record));
time(2000, () => fcl.compile(text, fields).dispose());
// Each time is the fastest of its samples (the machine's other work only ever adds time), and
// rounds take the package's and the native times one after the other, so that a change in the
// machine's load reaches both sides of a ratio; the median round is reported with the range.
const fastest = (samples, count, call) => Math.min(...Array.from({ length: samples }, () => time(count, call)));
const rounds = [];
for (let round = 0; round < 5; ++round) {
  const run = fastest(20, 50000, () => formula.run(record));
  const compile = fastest(20, 1000, () => fcl.compile(text, fields).dispose());
  const native = process.env.FCLIB_NATIVE_BENCH
    ? execFileSync(process.env.FCLIB_NATIVE_BENCH).toString().trim().split(" ").map(Number)
    : [NaN, NaN];
  rounds.push({ run, compile, runRatio: run / native[0], compileRatio: compile / native[1] });
}
const median = (key) => rounds.map((r) => r[key]).sort((a, b) => a - b)[rounds.length >> 1];
const range = (key) => {
  const values = rounds.map((r) => r[key]);
  return `${Math.min(...values).toFixed(1)}-${Math.max(...values).toFixed(1)}`;
};
console.log(`run ${median("run").toFixed(0)} ns, compile ${median("compile").toFixed(0)} ns (median of ${rounds.length} rounds)`);
if (process.env.FCLIB_NATIVE_BENCH) {
  console.log(`against native FCLEXECUTE and FCLCOMPILE in the same rounds: run ${median("runRatio").toFixed(1)}x ` +
    `(${range("runRatio")}), compile ${median("compileRatio").toFixed(1)}x (${range("compileRatio")})`);
}
