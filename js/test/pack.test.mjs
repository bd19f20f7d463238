// npm pack's tarball installs offline into an empty project and works there.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

test("the packed package installs offline and runs", () => {
  const dir = mkdtempSync(join(tmpdir(), "fclib-pack-"));
  const here = new URL("..", import.meta.url).pathname;
  const tarball = execFileSync("npm", ["pack", "--pack-destination", dir, here], { cwd: dir }).toString().trim().split("\n").pop();
  writeFileSync(join(dir, "package.json"), '{ "name": "empty", "version": "1.0.0", "type": "module" }');
  execFileSync("npm", ["install", "--offline", "--no-audit", "--no-fund", join(dir, tarball)], { cwd: dir });
  writeFileSync(join(dir, "main.js"), `import { createFclib } from "fclib";
const fcl = await createFclib();
console.log(fcl.compile('SEI2WA(CTOD("2024/04/01"))').run());`);
  assert.equal(execFileSync("node", ["main.js"], { cwd: dir }).toString().trim(), "令和060401");
});
