// Bundles the editor package (dist/fclib-editor.js, ES module, fclib included) and the
// playground (web/dist/playground.js, a classic script so the page works from file://, with
// examples/orders.csv, docs/language.md and the sample profile inside).
import { build } from "esbuild";
import { readFileSync, writeFileSync, mkdirSync } from "node:fs";
import { gzipSync } from "node:zlib";
import { fileURLToPath } from "node:url";

const root = fileURLToPath(new URL("../..", import.meta.url));
const common = { bundle: true, minify: true, legalComments: "none", target: "es2020", logLevel: "error" };
await build({ ...common, entryPoints: [`${root}js/editor/src/index.js`], format: "esm", outfile: `${root}js/editor/dist/fclib-editor.js` });
await build({
  ...common,
  entryPoints: [`${root}web/playground.js`],
  format: "iife",
  outfile: `${root}web/dist/playground.js`,
  loader: { ".csv": "text", ".md": "text", ".INI": "binary" },
  alias: { "fclib-editor": `${root}js/editor/src/index.js` },
  nodePaths: [`${root}js/editor/node_modules`],
});
mkdirSync(`${root}web/dist`, { recursive: true });
const sizes = {};
for (const file of ["js/editor/dist/fclib-editor.js", "web/dist/playground.js"]) {
  const bytes = readFileSync(`${root}${file}`);
  sizes[file] = { bytes: bytes.length, gzip: gzipSync(bytes, { level: 9 }).length };
}
writeFileSync(`${root}web/dist/sizes.json`, JSON.stringify(sizes, null, 2));
for (const [file, size] of Object.entries(sizes)) console.log(`${file}: ${size.bytes} bytes, ${size.gzip} gzipped`);
