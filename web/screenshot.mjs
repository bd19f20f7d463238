// Regenerates docs/playground.png: the playground from file:// with a formula that shows a
// warning, the preview and an explanation. Run after `npm run build` in js/editor.
import { fileURLToPath } from "node:url";
import { launch, open } from "./test/browser.mjs";

const root = fileURLToPath(new URL("..", import.meta.url));
const browser = await launch();
const page = await open(browser, `file://${root}web/index.html`);
await page.setViewport({ width: 1280, height: 900 });
await page.evaluate(() => window.fclPlayground.editor.setText('IF([Qty] = 0, 0, [Price] / [Qty]) + SUM([Qty])'));
await page.click('#preview button[aria-label="Explain record 2"]');
await page.hover(".fcl-warning");
await page.waitForSelector(".cm-tooltip-lint");
await page.screenshot({ path: `${root}docs/playground.png` });
await browser.close();
