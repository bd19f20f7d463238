// The formula editor: CodeMirror 6 with highlighting from fcl.tokens, completion from the
// catalogue and the host's fields, diagnostics and fixes from fcl.lint, hover documentation,
// the result type, code page 932 marks and byte counts. The library does all the analysis.
import { EditorState, RangeSetBuilder, StateEffect } from "@codemirror/state";
import { EditorView, Decoration, ViewPlugin, WidgetType, keymap, hoverTooltip } from "@codemirror/view";
import { defaultKeymap, history, historyKeymap } from "@codemirror/commands";
import { autocompletion, completionKeymap } from "@codemirror/autocomplete";
import { linter, lintKeymap, forceLinting } from "@codemirror/lint";
import { docFor } from "./docs.js";

const reanalysed = StateEffect.define();
const MASKS = [[1, "string"], [2, "number"], [4, "logical"], [8, "time"], [16, "date"]];

/** A type mask of the catalogue in words: "any", "any-but-logical" or "string|number". */
export function typeWords(mask) {
  if (mask === 31) return "any";
  if (mask === 27) return "any-but-logical";
  return MASKS.filter(([bit]) => mask & bit).map(([, word]) => word).join("|") || "none";
}

/** A function's record as it reads: LEFT(string, number) -> string. */
export const signature = (f) => `${f.name}(${f.args.map(typeWords).join(", ")}${f.argc < 0 ? ", ..." : ""}) -> ${typeWords(f.result)}`;

const functionName = (token) => token.text.replace(/^@/, "").toUpperCase();

// Fields as [{ name, type }] from an object, a Map or a list.
function fieldList(fields) {
  if (!fields) return [];
  if (Array.isArray(fields)) return fields;
  const entries = fields instanceof Map ? [...fields] : Object.entries(fields);
  return entries.map(([name, type]) => ({ name, type }));
}

class ByteCount extends WidgetType {
  constructor(bytes) {
    super();
    this.bytes = bytes;
  }
  eq(other) {
    return other.bytes === this.bytes;
  }
  toDOM() {
    const span = document.createElement("span");
    span.className = "fcl-bytes";
    span.textContent = `${this.bytes} B`;
    span.setAttribute("aria-label", `${this.bytes} bytes`);
    return span;
  }
}

/**
 * Makes a formula editor in element. Options: fclib (a createFclib instance), fields (name to
 * type, a Map, or [{ name, type }]), sample (a sample of sample.js, whose fields serve when
 * fields is left out), docs (the language reference of dist/language-docs.js), doc (the
 * starting text), label (the accessible name), onChange(state) after every change with
 * { text, tokens, lint, resultType, unmappable, ok }.
 */
export function createFormulaEditor(element, options) {
  const fcl = options.fclib;
  const catalogue = fcl.functions();
  const byName = new Map();
  for (const f of catalogue) byName.set(f.name, [...(byName.get(f.name) ?? []), f]);
  const byteCounting = new Set(catalogue.filter((f) => /\bbytes?\b/.test(f.summary)).map((f) => f.name));
  let fields = fieldList(options.fields ?? options.sample?.fields);
  let types = new Map(fields.map((f) => [f.name, f.type]));
  const typeOf = (name) => types.get(name);
  const unmappable = new Map();
  let current = null;

  const status = document.createElement("div");
  status.className = "fcl-status";
  status.setAttribute("role", "status");
  status.setAttribute("aria-live", "polite");
  status.id = `fcl-status-${Math.random().toString(36).slice(2)}`;

  // The whole analysis of a text, once per change: tokens, lint, the compiled result type.
  // Characters that code page 932 cannot hold stand as "?" of the same string length, so the
  // library reads the rest and the spans stay those of the text.
  function analyse(text) {
    const unmappableAt = [];
    const readable = text.replace(/[^\x00-\x7f]/gu, (char, at) => {
      if (!cannotEncode(char)) return char;
      unmappableAt.push({ from: at, to: at + char.length, char });
      return "?".repeat(char.length);
    });
    const tokens = fcl.tokens(readable).map((t) => ({ ...t, text: text.slice(t.begin, t.end) }));
    const lint = fcl.lint(readable, typeOf);
    let resultType = null;
    if (lint.ok && text.trim()) resultType = fcl.compile(readable, typeOf).resultType;
    return { text, tokens, lint, resultType, unmappable: unmappableAt, ok: lint.ok && !unmappableAt.length && text.trim() !== "" };
  }

  function cannotEncode(char) {
    if (char.charCodeAt(0) < 0x80) return false;
    if (!unmappable.has(char)) {
      let bad = false;
      try {
        fcl.encode(char);
      } catch {
        bad = true;
      }
      unmappable.set(char, bad);
    }
    return unmappable.get(char);
  }

  function showStatus(state) {
    const parts = [];
    if (!state.text.trim()) parts.push("Empty formula");
    else if (!state.lint.ok) parts.push(`Error ${state.lint.status}: ${state.lint.message}${state.lint.reason ? ` (${state.lint.reason})` : ""}`);
    else parts.push(`Result: ${state.resultType}`);
    if (state.lint.warnings.length) parts.push(`${state.lint.warnings.length} warning${state.lint.warnings.length > 1 ? "s" : ""}`);
    if (state.unmappable.length) parts.push(`${state.unmappable.map((u) => u.char).join(" ")}: not in code page 932`);
    else parts.push(`${fcl.encode(state.text).length} bytes`);
    status.textContent = parts.join(" · ");
    status.dataset.resultType = state.resultType ?? "";
    status.dataset.ok = String(state.ok);
  }

  // Token classes, code page 932 marks and byte counts of literals inside byte-counting calls.
  function decorations(state) {
    const builder = new RangeSetBuilder();
    const marks = [];
    const calls = [];
    for (const token of state.tokens) {
      if (token.kind === "function") calls.push({ counts: byteCounting.has(functionName(token)), depth: null });
      const top = calls[calls.length - 1];
      marks.push({ from: token.begin, to: token.end, deco: Decoration.mark({ class: `fcl-tok fcl-tok-${token.kind}` }) });
      if (token.kind === "string" && calls.some((c) => c.counts)) {
        const bytes = token.byteEnd - token.byteBegin - 2 - (token.text.match(/\\./g)?.length ?? 0);
        marks.push({ from: token.end, to: token.end, deco: Decoration.widget({ widget: new ByteCount(bytes), side: 1 }) });
      }
      if (token.kind === "open" && top && top.depth === null) top.depth = 0;
      if (top && token.kind === "open") ++top.depth;
      if (top && token.kind === "close" && --top.depth === 0) calls.pop();
    }
    for (const { from, to, char } of state.unmappable) {
      marks.push({ from, to, deco: Decoration.mark({ class: "fcl-unmappable", attributes: { title: `${char} cannot be written in code page 932` } }) });
    }
    marks.sort((a, b) => a.from - b.from || a.to - b.to);
    for (const m of marks) builder.add(m.from, m.to, m.deco);
    return builder.finish();
  }

  const highlight = ViewPlugin.fromClass(
    class {
      constructor(view) {
        this.decorations = decorations(current ?? (current = analyse(view.state.doc.toString())));
      }
      update(update) {
        if (update.docChanged || update.transactions.some((t) => t.effects.some((e) => e.is(reanalysed)))) this.decorations = decorations(current);
      }
    },
    { decorations: (plugin) => plugin.decorations },
  );

  function tokenAt(pos) {
    return current.tokens.find((t) => t.begin <= pos && pos < t.end) ?? current.tokens.find((t) => t.end === pos);
  }

  function diagnostics(view) {
    const out = [];
    const { lint, text } = current;
    if (text !== view.state.doc.toString()) return out;
    if (!lint.ok && text.trim()) {
      const token = current.tokens.find((t) => t.begin === lint.offset) ?? tokenAt(lint.offset);
      const from = Math.min(lint.offset, text.length);
      const to = token ? Math.max(token.end, from) : Math.min(from + 1, text.length);
      out.push({ from, to, severity: "error", source: `fclib ${lint.status}`, markClass: "fcl-error", message: `${lint.message}${lint.reason ? `: ${lint.reason}` : ""}` });
    }
    for (const { from, to, char } of current.unmappable) {
      out.push({ from, to, severity: "error", source: "code page 932", markClass: "fcl-error", message: `${char} (U+${char.codePointAt(0).toString(16).toUpperCase()}) cannot be written in code page 932` });
    }
    for (const w of lint.warnings) {
      const d = { from: w.begin, to: w.end, severity: "warning", source: w.code, markClass: "fcl-warning", message: w.message };
      if (w.fix) {
        d.actions = [{
          name: `Fix: ${w.fix.text}`,
          apply: (v) => v.dispatch({ changes: { from: w.fix.begin, to: w.fix.end, insert: w.fix.text } }),
        }];
      }
      out.push(d);
    }
    return out;
  }

  function complete(context) {
    const bracket = context.matchBefore(/\[(?:[^\]\\]|\\.)*$/);
    if (bracket) {
      return {
        from: bracket.from + 1,
        options: fields.map((f) => ({ label: f.name, type: "variable", detail: f.type, apply: `${f.name.replace(/\]/g, "\\]")}]` })),
        validFor: /^(?:[^\]\\]|\\.)*$/,
      };
    }
    const word = context.matchBefore(/@?[A-Za-z_][A-Za-z0-9_]*/);
    if (!word && !context.explicit) return null;
    const from = word ? word.from + (word.text.startsWith("@") ? 1 : 0) : context.pos;
    const functions = [...byName].map(([name, records]) => ({
      label: name,
      type: "function",
      detail: `-> ${[...new Set(records.map((r) => typeWords(r.result)))].join(" | ")}`,
      info: () => functionInfo(name, false),
      apply: `${name}(`,
    }));
    const fieldOptions = fields.map((f) => ({ label: f.name, displayLabel: `[${f.name}]`, type: "variable", detail: f.type, apply: `[${f.name.replace(/\]/g, "\\]")}]` }));
    return { from, options: [...functions, ...fieldOptions], validFor: /^[A-Za-z0-9_]*$/ };
  }

  // The overloads, the summary and the reference's words on a function, as a DOM node.
  function functionInfo(name, withDocs) {
    const box = document.createElement("div");
    box.className = "fcl-doc";
    const records = byName.get(name) ?? [];
    for (const r of records) {
      const line = document.createElement("code");
      line.textContent = signature(r);
      box.append(line, document.createElement("br"));
    }
    const summary = document.createElement("p");
    summary.textContent = records[0]?.summary ?? "";
    box.append(summary);
    const doc = withDocs && options.docs ? docFor(options.docs, name) : null;
    if (doc) {
      const more = document.createElement("p");
      more.className = "fcl-doc-section";
      more.textContent = `${doc.title}: ${doc.paragraph}`;
      box.append(more);
      if (doc.examples.length) {
        const pre = document.createElement("pre");
        pre.textContent = doc.examples.slice(0, 3).join("\n");
        box.append(pre);
      }
    }
    return box;
  }

  const hover = hoverTooltip((view, pos) => {
    const token = tokenAt(pos);
    if (!token) return null;
    if (token.kind === "function" && byName.has(functionName(token))) {
      return { pos: token.begin, end: token.end, create: () => ({ dom: functionInfo(functionName(token), true) }) };
    }
    if (token.kind === "field" || token.kind === "name") {
      const name = token.kind === "field" ? token.text.slice(1, -1).replace(/\\(.)/g, "$1") : token.text;
      return {
        pos: token.begin, end: token.end,
        create: () => {
          const dom = document.createElement("div");
          dom.className = "fcl-doc";
          dom.textContent = `${token.kind} ${name}: ${typeOf(name) ?? "unknown to the host"}`;
          return { dom };
        },
      };
    }
    return null;
  });

  const changes = EditorView.updateListener.of((update) => {
    if (!update.docChanged) return;
    notify();
  });

  function notify() {
    showStatus(current);
    options.onChange?.(current);
  }

  // The analysis runs before the view's plugins see a change, so all of them read one result.
  const analysisFirst = EditorState.transactionExtender.of((tr) => {
    if (tr.docChanged) current = analyse(tr.newDoc.toString());
    return null;
  });

  const view = new EditorView({
    parent: element,
    state: EditorState.create({
      doc: options.doc ?? "",
      extensions: [
        analysisFirst,
        history(),
        highlight,
        autocompletion({ override: [complete], icons: false }),
        linter(diagnostics, { delay: 0 }),
        hover,
        changes,
        keymap.of([...completionKeymap, ...lintKeymap, ...historyKeymap, ...defaultKeymap]),
        EditorView.contentAttributes.of({ "aria-label": options.label ?? "Formula", "aria-describedby": status.id, "aria-multiline": "false" }),
        EditorView.lineWrapping,
      ],
    }),
  });
  element.append(status);
  current = analyse(view.state.doc.toString());
  showStatus(current);

  return {
    view,
    get state() {
      return current;
    },
    get text() {
      return view.state.doc.toString();
    },
    setText(text) {
      view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text } });
    },
    /** New fields (or a new sample's): the analysis runs again. */
    setFields(next) {
      fields = fieldList(next);
      types = new Map(fields.map((f) => [f.name, f.type]));
      this.refresh();
    },
    /** The analysis again, after the library's number mode or profile changed. */
    refresh() {
      current = analyse(view.state.doc.toString());
      view.dispatch({ effects: reanalysed.of(null) });
      forceLinting(view);
      notify();
    },
    focus: () => view.focus(),
    destroy() {
      view.destroy();
      status.remove();
    },
  };
}
