// Every case file and the language reference through the package; with FCLIB_NATIVE_DUMP (the
// native_dump.c program) every compile's bytes and status must equal the native library's.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readdirSync } from "node:fs";
import { test } from "node:test";
import { runCaseFile } from "./case_runner.mjs";

const root = new URL("../../", import.meta.url).pathname;
const files = readdirSync(`${root}tests/cases`).filter((f) => f.endsWith(".cases")).sort()
  .map((f) => `${root}tests/cases/${f}`).concat(`${root}docs/language.md`);
const compiles = [];

for (const file of files) {
  test(file.slice(root.length), async () => {
    const result = await runCaseFile(file);
    assert.ok(result.cases > 0, "no cases");
    assert.deepEqual(result.failures, []);
    compiles.push(...result.compiles);
  });
}

test("compiled bytes equal the native library's", { skip: !process.env.FCLIB_NATIVE_DUMP }, () => {
  const hex = (bytes) => Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
  const input = compiles.map((c) => `${c.mode} ${c.backend} ${hex(c.text) || "-"} ${c.answers.join(",") || "-"}\n`).join("");
  const output = execFileSync(process.env.FCLIB_NATIVE_DUMP, { input, maxBuffer: 1 << 28 }).toString().trim().split("\n");
  assert.equal(output.length, compiles.length);
  const differ = compiles.filter((c, i) => output[i] !== `${c.status} ${hex(c.code).toUpperCase()}`)
    .map((c) => `${c.where}: ${output[compiles.indexOf(c)]} vs ${c.status} ${hex(c.code)}`);
  assert.deepEqual(differ, []);
  assert.ok(compiles.length > 3000);
});
