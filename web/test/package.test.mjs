// The fclib package itself as an ES module in a page from a local server: Japanese text and dates.
import { test } from "node:test";
import assert from "node:assert/strict";
import { serve } from "../serve.mjs";
import { launch, open } from "./browser.mjs";

test("fclib runs in the browser with Japanese text and dates", async () => {
  const server = await serve(0);
  const browser = await launch();
  try {
    const page = await open(browser, `http://127.0.0.1:${server.address().port}/web/test/package.html`);
    assert.deepEqual(await page.evaluate(() => window.results), {
      left: "山田", len: 10, era: "令和060401", weekday: "月", date: 1, bytes: [0x89, 0x7e],
    });
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
    server.close();
  }
});
