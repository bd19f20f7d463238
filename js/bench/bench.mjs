// The package's measures: module size, runMany throughput, run and compile time per call.
// With FCLIB_NATIVE_BENCH (native_bench.c built) it prints the native times beside them.
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
time(10000, () => formula.run(record));
const run = time(200000, () => formula.run(record));
const text = 'IF([Qty] > 10, FORMAT([Price] * [Qty], "#,##0"), LEFT("abc", 2))';
const fields = { Price: "number", Qty: "number" };
time(2000, () => fcl.compile(text, fields).dispose());
const compile = time(20000, () => fcl.compile(text, fields).dispose());
console.log(`run ${run.toFixed(0)} ns, compile ${compile.toFixed(0)} ns`);
if (process.env.FCLIB_NATIVE_BENCH) {
  const [nativeRun, nativeCompile] = execFileSync(process.env.FCLIB_NATIVE_BENCH).toString().trim().split(" ").map(Number);
  console.log(`native run ${nativeRun.toFixed(0)} ns, compile ${nativeCompile.toFixed(0)} ns: ` +
    `run ${(run / nativeRun).toFixed(1)}x, compile ${(compile / nativeCompile).toFixed(1)}x`);
}
