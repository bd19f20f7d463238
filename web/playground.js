// The playground: the formula editor over a sample, the preview, the explanation of a record,
// the function reference, the profile and the number mode. Bundled into dist/playground.js.
import { createFclib } from "../js/src/index.js";
import { createFormulaEditor, sampleFromCsv, runPreview, explainRecord, languageDocs, docFor, examplesOf, signature } from "fclib-editor";
import ordersCsv from "../examples/orders.csv";
import languageMarkdown from "../docs/language.md";
import profileBytes from "../profile/ORBISRPT.INI";

const $ = (id) => document.getElementById(id);
const docs = languageDocs(languageMarkdown);
const timings = (window.fclTimings = []);

function element(tag, props = {}, ...children) {
  const node = Object.assign(document.createElement(tag), props);
  node.append(...children);
  return node;
}

const shown = (value) => (typeof value === "string" ? JSON.stringify(value) : String(value));
const failureText = (e) => `#${e.status} ${e.message}${e.reason ? ` (${e.reason})` : ""}`;

async function main() {
  const fcl = await createFclib();
  const scratch = await createFclib();
  const profileText = fcl.decode(profileBytes);
  let sample = sampleFromCsv(ordersCsv);
  let selected = 0;
  let last = null;

  $("sample-text").value = ordersCsv;
  $("profile-text").value = profileText;

  const editor = createFormulaEditor($("editor"), {
    fclib: fcl,
    sample,
    docs,
    doc: "IF([Qty] = 0, 0, [Qty] * [Price] / [Qty])",
    label: "Formula",
    onChange: update,
  });

  function groupBy() {
    return $("group-by").value;
  }

  function update() {
    const started = window.fclInputAt ?? performance.now();
    last = runPreview(fcl, editor.text, sample, { groupBy: groupBy() });
    renderPreview(last);
    renderExplain();
    const ms = performance.now() - started;
    window.fclInputAt = undefined;
    timings.push(ms);
    $("timing").textContent = `analysis and preview: ${ms.toFixed(1)} ms`;
  }

  function renderPreview(run) {
    const box = $("preview");
    box.replaceChildren();
    if (run.error) {
      box.append(element("p", { className: "fail", textContent: `The formula does not compile: ${failureText({ status: run.error.status, message: run.error.statusMessage ?? run.error.message, reason: run.error.reason })}` }));
      return;
    }
    const head = element("tr", {}, element("th", { textContent: "#" }), ...sample.fields.map((f) => element("th", { textContent: `${f.name}:${f.type}` })), element("th", { textContent: `Result (${run.resultType})` }));
    const body = element("tbody");
    const groupEnds = new Set(run.groups.map((g) => g.last));
    for (const row of run.rows) {
      const pick = element("button", { textContent: String(row.index + 1), title: "Explain this record" });
      pick.setAttribute("aria-label", `Explain record ${row.index + 1}`);
      pick.addEventListener("click", () => select(row.index));
      const result = row.error
        ? element("td", { className: "result fail", textContent: failureText(row.error) })
        : element("td", { className: "result", textContent: shown(row.value) });
      result.dataset.status = row.error ? String(row.error.status) : "0";
      const tr = element("tr", { className: row.index === selected ? "selected" : "" }, element("td", {}, pick), ...sample.fields.map((_, i) => element("td", { textContent: sample.rows[row.index][i] ?? "" })), result);
      tr.dataset.index = String(row.index);
      body.append(tr);
      if (groupEnds.has(row.index) && run.sites > 0) {
        const total = row.error ? failureText(row.error) : shown(row.value);
        body.append(element("tr", { className: "subtotal" }, element("td", { colSpan: sample.fields.length + 1, textContent: `Subtotal ${row.key}` }), element("td", { className: "result", textContent: total })));
      }
    }
    box.append(element("table", {}, element("thead", {}, head), body));
  }

  function select(index) {
    selected = index;
    $("explain-record").value = String(index + 1);
    if (last && !last.error) renderPreview(last);
    renderExplain();
  }

  function renderExplain() {
    const box = $("explain");
    box.replaceChildren();
    if (!sample.rows.length) return;
    if (!editor.state.ok) {
      box.append(element("p", { className: "fail", textContent: "The formula does not compile; see the diagnostic in the editor." }));
      return;
    }
    const parts = explainRecord(fcl, scratch, editor.text, sample, selected, { groupBy: groupBy() });
    const list = element("ol", { ariaLabel: `Sub-expressions of record ${selected + 1}` });
    for (const part of parts) {
      const outcome = part.error
        ? element("span", { className: "fail", textContent: `fails: ${failureText(part.error)}` })
        : element("span", { className: "value", textContent: shown(part.value) });
      const item = element("li", {}, element("code", { textContent: part.text }), " → ", outcome);
      item.style.paddingLeft = `${part.depth * 1.2}em`;
      item.dataset.status = part.error ? String(part.error.status) : "0";
      list.append(item);
    }
    box.append(element("p", { textContent: `Record ${selected + 1}: ${sample.fields.map((f, i) => `${f.name}=${sample.rows[selected][i] ?? ""}`).join(", ")}` }), list);
  }

  function loadSample(text) {
    sample = sampleFromCsv(text);
    selected = 0;
    const choice = $("group-by");
    const keep = choice.value;
    choice.replaceChildren(element("option", { value: "", textContent: "(none)" }), ...sample.fields.map((f) => element("option", { value: f.name, textContent: f.name })));
    choice.value = sample.fields.some((f) => f.name === keep) ? keep : "";
    $("explain-record").max = String(sample.rows.length);
    $("sample-fields").textContent = `${sample.rows.length} records; fields: ${sample.fields.map((f) => `${f.name} (${f.type})`).join(", ")}`;
    editor.setFields(sample.fields);
  }

  function renderReference() {
    const query = $("reference-search").value.trim().toUpperCase();
    const byName = new Map();
    for (const f of fcl.functions()) byName.set(f.name, [...(byName.get(f.name) ?? []), f]);
    const box = $("reference");
    box.replaceChildren();
    for (const [name, records] of byName) {
      if (query && !name.includes(query) && !records[0].summary.toUpperCase().includes(query)) continue;
      const doc = docFor(docs, name);
      const article = element("article", {}, element("h3", { textContent: name }), ...records.map((r) => element("div", {}, element("code", { textContent: signature(r) }))), element("p", { textContent: records[0].summary }));
      if (doc?.paragraph) article.append(element("p", { className: "hint", textContent: `${doc.title}: ${doc.paragraph}` }));
      const examples = examplesOf(docs, name);
      for (const example of examples) article.append(exampleLine(example));
      article.dataset.name = name;
      box.append(article);
    }
  }

  // An example runs in one click: its formula goes into the editor, whose change runs the preview.
  function exampleLine(example) {
    const formula = example.split("==>")[0].trim();
    const run = element("button", { className: "run", textContent: "Run" });
    run.setAttribute("aria-label", `Run ${formula}`);
    run.addEventListener("click", () => {
      editor.setText(formula);
      $("formula-section").scrollIntoView();
      editor.focus();
    });
    return element("div", { className: "example" }, run, " ", element("code", { textContent: example }));
  }

  editor.view.contentDOM.addEventListener("beforeinput", () => {
    window.fclInputAt = performance.now();
  });
  $("group-by").addEventListener("change", update);
  $("explain-record").addEventListener("change", (e) => select(Math.max(0, Math.min(sample.rows.length - 1, Number(e.target.value) - 1))));
  $("numbers").addEventListener("change", (e) => {
    fcl.setNumbers(e.target.value);
    scratch.setNumbers(e.target.value);
    editor.refresh();
  });
  $("profile-apply").addEventListener("click", () => {
    fcl.setProfile($("profile-text").value);
    scratch.setProfile($("profile-text").value);
    editor.refresh();
  });
  $("sample-apply").addEventListener("click", () => loadSample($("sample-text").value));
  $("sample-file").addEventListener("change", async (e) => {
    const file = e.target.files[0];
    if (!file) return;
    $("sample-text").value = await file.text();
    loadSample($("sample-text").value);
  });
  $("reference-search").addEventListener("input", renderReference);

  loadSample(ordersCsv);
  $("group-by").value = "Category";
  renderReference();
  update();
  document.body.dataset.ready = "true";
  window.fclPlayground = { fcl, editor, get sample() { return sample; }, get preview() { return last; } };
}

main().catch((error) => {
  document.body.prepend(element("p", { className: "fail", textContent: `The playground failed to start: ${error.message}` }));
  throw error;
});
