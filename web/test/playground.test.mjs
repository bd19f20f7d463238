// The playground in headless Chromium: highlighting, completion, diagnostics, a fix, the
// preview against `fcl report`, the explanation of a failing record, keyboard use, hover
// documentation, the profile and number mode, the reference and its examples, the measures.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawnSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
import { fileURLToPath } from "node:url";
import { launch, open, shot, artefacts } from "./browser.mjs";

const root = fileURLToPath(new URL("../..", import.meta.url));
const fclTool = process.env.FCL ?? `${root}build-web-native/tools/fcl/fcl`;
let browser, page;

before(async () => {
  browser = await launch();
  page = await open(browser, `file://${root}web/index.html`);
});
after(async () => {
  assert.deepEqual(page.errors, []);
  await browser.close();
});

async function type(text) {
  await page.click(".cm-content");
  await page.keyboard.down("Control");
  await page.keyboard.press("a");
  await page.keyboard.up("Control");
  await page.keyboard.press("Backspace");
  await page.keyboard.type(text);
  await page.waitForFunction((t) => window.fclPlayground.editor.text === t, {}, text);
}

const texts = (selector) => page.$$eval(selector, (nodes) => nodes.map((n) => n.textContent));

test("tokens are highlighted by the library's kinds", async () => {
  await type('LEFT([Customer], 2) + "円"');
  const classes = await page.$$eval(".fcl-tok", (nodes) => nodes.map((n) => `${n.className.split(" ")[1]} ${n.textContent}`));
  assert.deepEqual(classes, ["fcl-tok-function LEFT", "fcl-tok-open (", "fcl-tok-field [Customer]", "fcl-tok-comma ,", "fcl-tok-number 2",
    "fcl-tok-close )", "fcl-tok-operator +", 'fcl-tok-string "円"']);
  assert.match(await page.$eval(".fcl-status", (n) => n.textContent), /Result: string/);
  await type('LEN("ボールペン①")');
  assert.deepEqual(await texts(".fcl-bytes"), ["12 B"]);
  await type('"a\u{1F600}"');
  assert.deepEqual(await texts(".fcl-unmappable"), ["\u{1F600}"]);
  assert.match(await page.$eval(".fcl-status", (n) => n.textContent), /not in code page 932/);
});

test("completion offers functions and the sample's fields", async () => {
  await type("LE");
  await page.waitForSelector(".cm-tooltip-autocomplete");
  const functions = await texts(".cm-tooltip-autocomplete .cm-completionLabel");
  assert.ok(functions.includes("LEFT") && functions.includes("LEN"), functions.join());
  await shot(page, "completion");
  await type("[");
  await page.waitForSelector(".cm-tooltip-autocomplete");
  const fields = await texts(".cm-tooltip-autocomplete .cm-completionLabel");
  assert.deepEqual(fields.sort(), ["Category", "Customer", "Item", "OrderDate", "OrderNo", "Price", "Qty"]);
  await page.keyboard.type("Cu");
  await page.waitForSelector(".cm-tooltip-autocomplete");
  await new Promise((resolve) => setTimeout(resolve, 150));
  await page.keyboard.press("Enter");
  assert.equal(await page.evaluate(() => window.fclPlayground.editor.text), "[Customer]");
});

test("a type error is underlined where it is, with its reason", async () => {
  await type("LEFT([Qty], 2)");
  await page.waitForSelector(".fcl-error");
  assert.equal(await page.$eval(".fcl-error", (n) => n.textContent), "[Qty]");
  await page.hover(".fcl-error");
  await page.waitForSelector(".cm-tooltip-lint");
  assert.match(await page.$eval(".cm-tooltip-lint", (n) => n.textContent), /type error.*a number where a string is expected: argument 1 of LEFT/);
  await shot(page, "diagnostic");
});

test("a warning offers its fix", async () => {
  await type("IF([Qty] = 0, 0, [Price] / [Qty])");
  await page.waitForSelector(".fcl-warning");
  await page.hover(".fcl-warning");
  await page.waitForSelector(".cm-diagnosticAction");
  await page.click(".cm-diagnosticAction");
  await page.waitForFunction(() => window.fclPlayground.editor.text === "IF([Qty] = 0, 0, [Price] / IF([Qty] = 0, 1, [Qty]))");
  assert.equal(await page.$(".fcl-warning"), null);
});

// fcl report's JSON, the rows of the groups in order and the subtotals, as comparable values.
function report(formula) {
  const { stdout: out } = spawnSync(fclTool, ["report", `${root}examples/orders.csv`, "--output", "json", "--quiet", "--group-by", "Category", "--column", `R=${formula}`], { encoding: "utf8" });
  const groups = JSON.parse(out).groups;
  return { rows: groups.flatMap((g) => g.rows.map((r) => comparable(r.R))), subtotals: groups.map((g) => g.subtotal?.R) };
}
const comparable = (v) => (v?.error ? `#${v.error}` : typeof v === "number" ? Number(v.toPrecision(15)) : v);

test("the preview gives fcl report's values", async () => {
  await page.select("#group-by", "Category");
  for (const formula of ["[Qty] * [Price]", "SUM([Qty])", "COUNT([OrderNo])", "PAGE()", "SEI2WA1([OrderDate])", "[Price] / ([Qty] - 10)", 'LEFT([Item], 4) + "…"']) {
    await type(formula);
    const shown = await page.$$eval("#preview tbody tr:not(.subtotal) td.result", (cells) =>
      cells.map((c) => (c.dataset.status !== "0" ? `#${c.dataset.status}` : c.textContent)));
    const values = shown.map((s) => (s.startsWith("#") ? s : comparable(JSON.parse(s))));
    assert.deepEqual(values, report(formula).rows, formula);
  }
  await type("SUM([Qty]) + COUNT([Item])");
  const subtotals = (await texts("#preview tr.subtotal td.result")).map(Number);
  assert.deepEqual(subtotals, report("SUM([Qty]) + COUNT([Item])").subtotals);
});

test("the explanation shows where a record fails", async () => {
  await type("IF([Qty] = 10, 0, [Price] / ([Qty] - 10)) + SUM([Qty])");
  await page.click('#preview button[aria-label="Explain record 1"]');
  const items = await page.$$eval("#explain li", (nodes) => nodes.map((n) => [n.querySelector("code").textContent, n.dataset.status, n.lastChild.textContent]));
  const find = (text) => items.find(([code]) => code === text);
  assert.equal(find("[Price] / ([Qty] - 10)")[1], "1009");
  assert.deepEqual(find("[Qty] - 10").slice(1), ["0", "0"]);
  assert.deepEqual(find("[Qty] = 10").slice(1), ["0", "true"]);
  assert.deepEqual(find("SUM([Qty])").slice(1), ["0", "10"]);
  await page.click('#preview button[aria-label="Explain record 2"]');
  assert.equal(await page.$eval("#explain li:first-child", (n) => n.lastChild.textContent), "-95.5");
  assert.equal(items[0][1], "1009");
  await shot(page, "explain");
});

test("keyboard only: into the editor, complete, go to the diagnostic, out again", async () => {
  await page.focus("#numbers");
  const focusedEditor = () => page.evaluate(() => document.activeElement?.classList.contains("cm-content"));
  await page.keyboard.press("Tab");
  await page.keyboard.press("Tab");
  assert.ok(await focusedEditor());
  assert.equal(await page.$eval(".cm-content", (n) => n.getAttribute("aria-label")), "Formula");
  await page.keyboard.down("Control");
  await page.keyboard.press("a");
  await page.keyboard.up("Control");
  await page.keyboard.type("1 + SEI");
  await page.waitForSelector(".cm-tooltip-autocomplete");
  await new Promise((resolve) => setTimeout(resolve, 150));
  await page.keyboard.press("Enter");
  await page.keyboard.type('"x")');
  await page.waitForSelector(".fcl-error");
  await page.keyboard.press("Home");
  await page.keyboard.press("F8");
  const selection = await page.evaluate(() => window.fclPlayground.editor.view.state.selection.main.from);
  assert.equal(selection, await page.evaluate(() => window.fclPlayground.editor.state.lint.offset));
  await page.keyboard.press("Escape");
  await page.keyboard.press("Tab");
  assert.equal(await focusedEditor(), false);
});

const firstResult = () => page.$eval('#preview tr[data-index="0"] td.result', (n) => n.textContent);
const catalogue = () => page.evaluate(() => [...new Set(window.fclPlayground.fcl.functions().map((f) => f.name))]);

test("hovering a function shows its overloads, summary and the reference's section", async () => {
  for (const [formula, name] of [["MONTH2([OrderDate])", "MONTH2"], ['LEFT("ab", 1)', "LEFT"], ["SEI2WA1Z([OrderDate])", "SEI2WA1Z"]]) {
    await type(formula);
    await page.mouse.move(0, 0);
    await page.hover(".fcl-tok-function");
    await page.waitForSelector(".cm-tooltip-hover .fcl-doc");
    const shown = await page.$eval(".cm-tooltip-hover .fcl-doc", (n) => n.textContent);
    const summary = await page.evaluate((n) => window.fclPlayground.fcl.functions().find((f) => f.name === n).summary, name);
    assert.ok(shown.includes(summary) && shown.includes(`${name}(`), `${name}: ${shown}`);
    assert.ok(await page.$(".cm-tooltip-hover .fcl-doc-section"), name);
  }
  await page.mouse.move(0, 0);
});

test("the profile and the number mode change the preview", async () => {
  const original = await page.$eval("#profile-text", (n) => n.value);
  const setProfile = async (text) => {
    await page.$eval("#profile-text", (n, t) => (n.value = t), text);
    await page.click("#profile-apply");
  };
  for (const [formula, edit, before, after] of [
    ["MONTH2([OrderDate])", (p) => `${p}\nMonth=1月,2月,3月,4月,5月,6月,7月,8月,9月,10月,11月,12月`, '"Apr"', '"4月"'],
    ["SEI2WA([OrderDate])", (p) => p.replace("Nengou5=令和R", "Nengou5=新元X"), '"令和060401"', '"新元060401"'],
  ]) {
    await type(formula);
    assert.equal(await firstResult(), before, formula);
    await setProfile(edit(original));
    assert.equal(await firstResult(), after, formula);
    await setProfile(original);
  }
  await type("0.1 + 0.2 = 0.3");
  assert.equal(await firstResult(), "false");
  await page.select("#numbers", "text");
  assert.equal(await firstResult(), "true");
  await page.select("#numbers", "double");
});

test("every catalogue function is in the reference and offered by completion", async () => {
  const listed = await page.$$eval("#reference article", (nodes) => nodes.map((n) => n.dataset.name));
  assert.deepEqual(listed.sort(), (await catalogue()).sort());
  for (const [prefix, name] of [["SEI2WA1", "SEI2WA1Z"], ["MONTH", "MONTH2"]]) {
    await type(prefix);
    await page.waitForSelector(".cm-tooltip-autocomplete");
    assert.ok((await texts(".cm-tooltip-autocomplete .cm-completionLabel")).includes(name), name);
  }
});

test("a reference example runs with one click", async () => {
  assert.equal(await page.$$eval("#reference .example", (nodes) => nodes.filter((n) => !n.querySelector("button.run")).length), 0);
  await page.type("#reference-search", "MONTH2");
  await page.click('#reference article[data-name="MONTH2"] button.run');
  await page.waitForFunction(() => window.fclPlayground.editor.text === 'MONTH2("20240315")');
  assert.equal(await firstResult(), '"Mar"');
  await page.$eval("#reference-search", (n) => { n.value = ""; n.dispatchEvent(new Event("input")); });
});

// Typing to diagnostics and preview per keystroke, over the sample and over 100 generated records.
test("measures: typing to diagnostics and preview, bundle size", async () => {
  const measures = { sizes: JSON.parse(readFileSync(`${root}web/dist/sizes.json`, "utf8")) };
  for (const [name, csv] of [["sample", null], ["orders100", execFileSync(fclTool, ["gen-orders", "100"], { encoding: "utf8" })]]) {
    if (csv) {
      await page.$eval("#sample-text", (n, t) => (n.value = t), csv);
      await page.click("#sample-apply");
    }
    await type("[Qty] * [Price]");
    const records = await page.$$eval("#preview tr[data-index]", (rows) => rows.length);
    await page.evaluate(() => (window.fclTimings.length = 0));
    await page.keyboard.type(" + LEN([Customer]) * 2", { delay: 30 });
    const timings = (await page.evaluate(() => window.fclTimings)).sort((a, b) => a - b);
    measures[name] = { records, keystrokes: timings.length, medianMs: timings[timings.length >> 1], maxMs: timings[timings.length - 1] };
    assert.ok(timings.length > 10);
    if (!csv) await shot(page, "playground");
  }
  assert.equal(measures.orders100.records, 100);
  writeFileSync(`${artefacts}/measures.json`, JSON.stringify(measures, null, 2));
  console.log(JSON.stringify(measures));
});
