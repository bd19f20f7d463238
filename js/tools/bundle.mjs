// Bundles the emscripten output into the package's dist/: the classic module made an ES module,
// and the .wasm as base64 text in an ES module of its own, so that one import works offline.
// Usage: node bundle.mjs fclib_module.js fclib_module.wasm DIST_DIR
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [loader, wasm, dist] = process.argv.slice(2);
mkdirSync(dist, { recursive: true });
const code = readFileSync(loader, "utf8");
writeFileSync(join(dist, "fclib_module.mjs"), `${code}\nexport default createFclibModule;\n`);
const binary = readFileSync(wasm);
writeFileSync(join(dist, "fclib_wasm.mjs"), `export default "${binary.toString("base64")}";\n`);
writeFileSync(join(dist, "fclib.wasm"), binary);
const profile = readFileSync(new URL("../../profile/ORBISRPT.INI", import.meta.url));
writeFileSync(join(dist, "sample_profile.mjs"), `export default "${profile.toString("base64")}";\n`);
