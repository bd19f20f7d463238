// Bundles the emscripten output into the package's dist/: the classic module made an ES module,
// and the .wasm gzipped as base64 text in an ES module of its own, so that one import works
// offline: base64 of the raw binary gzips badly (~22% above the binary's own gzip), base64 of
// its gzip barely grows when served gzipped, and DecompressionStream undoes it at load.
// Usage: node bundle.mjs fclib_module.js fclib_module.wasm DIST_DIR
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { constants, gzipSync } from "node:zlib";

const [loader, wasm, dist] = process.argv.slice(2);
mkdirSync(dist, { recursive: true });
const code = readFileSync(loader, "utf8");
writeFileSync(join(dist, "fclib_module.mjs"), `${code}\nexport default createFclibModule;\n`);
const binary = readFileSync(wasm);
const packed = gzipSync(binary, { level: constants.Z_BEST_COMPRESSION });
writeFileSync(join(dist, "fclib_wasm.mjs"), `export default "${packed.toString("base64")}";\n`);
writeFileSync(join(dist, "fclib.wasm"), binary);
const profile = readFileSync(new URL("../../profile/ORBISRPT.INI", import.meta.url));
writeFileSync(join(dist, "sample_profile.mjs"), `export default "${profile.toString("base64")}";\n`);
