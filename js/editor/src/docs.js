// The language reference (docs/language.md) as the editor and the playground use it: its
// sections, and per function the section that speaks of it and the examples that call it.

/** Sections of the reference's markdown: [{ title, anchor, text }], the anchors as GitHub makes them. */
export function languageDocs(markdown) {
  const sections = [];
  for (const part of markdown.split(/^(?=#{2,3} )/m)) {
    const title = /^#{2,3} (.*)/.exec(part)?.[1];
    if (!title) continue;
    const anchor = title.toLowerCase().replace(/[^\p{L}\p{N} _-]/gu, "").replace(/ /g, "-");
    sections.push({ title, anchor, text: part.slice(part.indexOf("\n") + 1) });
  }
  return { sections };
}

const calls = (name) => new RegExp(`(^|[^A-Za-z0-9_])@?${name}\\(`, "i");

/** Every example of the reference that calls the function: "FORMULA ==> result" lines. */
export function examplesOf(docs, name) {
  const pattern = calls(name);
  const out = [];
  for (const section of docs.sections) {
    for (const block of section.text.split("```").filter((_, i) => i % 2 === 1)) {
      if (!block.startsWith("cases")) continue;
      for (const line of block.split("\n")) if (line.includes("==>") && pattern.test(line.split("==>")[0])) out.push(line.trim());
    }
  }
  return out;
}

/** The first section that explains the function (not the list of all records), its first paragraph naming it, its examples. */
export function docFor(docs, name) {
  const pattern = calls(name);
  const examples = examplesOf(docs, name);
  for (const section of docs.sections) {
    if (section.anchor === "all-function-records") continue;
    const paragraph = section.text.split(/\n\s*\n/).find((p) => !p.startsWith("```") && pattern.test(p.replace(/`/g, "")));
    if (paragraph) return { title: section.title, anchor: section.anchor, paragraph: paragraph.replace(/\s*\n\s*/g, " ").trim(), examples };
  }
  return examples.length ? { title: "Examples", anchor: "", paragraph: "", examples } : null;
}
