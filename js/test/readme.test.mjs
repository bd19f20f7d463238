// The top README's one-liner prints what the README says it prints.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { test } from "node:test";

test("the README's node -e line prints the README's result", () => {
  const root = new URL("../..", import.meta.url).pathname;
  const lines = readFileSync(root + "README.md", "utf8").split("\n");
  const at = lines.findIndex((line) => line.trim().startsWith("node --input-type=module -e "));
  assert.ok(at > 0, "the README has the one-liner");
  const command = lines[at].trim();
  const script = command.slice(command.indexOf("'") + 1, command.lastIndexOf("'"));
  const printed = execFileSync("node", ["--input-type=module", "-e", script], { cwd: root }).toString().trim();
  assert.equal(printed, lines[at + 1].trim());
});
