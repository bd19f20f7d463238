// Headless Chromium for the tests: one browser, pages that fail on page errors, screenshots.
import { createRequire } from "node:module";
import { mkdirSync } from "node:fs";

const puppeteer = createRequire(new URL("../../js/editor/package.json", import.meta.url))("puppeteer-core");

export const artefacts = process.env.FCLIB_WEB_ARTEFACTS ?? new URL("../../build-web-native/web-test", import.meta.url).pathname;
mkdirSync(artefacts, { recursive: true });

export function launch() {
  return puppeteer.launch({ executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium", args: ["--no-sandbox", "--headless=new"] });
}

export async function open(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  page.on("pageerror", (error) => errors.push(error.message));
  await page.setViewport({ width: 1400, height: 1000 });
  await page.goto(url);
  await page.waitForSelector("body[data-ready]", { timeout: 20000 });
  page.errors = errors;
  return page;
}

export const shot = (page, name) => page.screenshot({ path: `${artefacts}/${name}.png`, fullPage: true });
