// Debian's Chromium, headless, as the machine's closed network needs it; every request the
// page makes that is not for a file of its own folder is recorded, and the network is off.
"use strict";
const puppeteer = require("puppeteer-core");

const ARGS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--lang=en-US"];

async function launch() {
  const browser = await puppeteer.launch({
    executablePath: process.env.SERIX_CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: ARGS,
  });
  await browser.defaultBrowserContext().overridePermissions("file://",
    ["clipboard-read", "clipboard-write", "clipboard-sanitized-write"]);
  return browser;
}

// A page with the network off; `outside` collects what it tried to reach beyond file: and
// data: addresses (and the `server` named, an http://127.0.0.1:PORT/ of the test's own), and
// `errors` its script errors.
async function openPage(browser, { width = 1280, height = 1000, server = null } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  await page.setOfflineMode(!server);
  page.outside = [];
  page.errors = [];
  await page.setRequestInterception(true);
  page.on("request", (request) => {
    const url = request.url();
    if (/^(file|data|about|blob):/.test(url) || (server && url.startsWith(server))) {
      return request.continue();
    }
    page.outside.push(url);
    return request.abort();
  });
  page.on("pageerror", (error) => page.errors.push(error.message));
  return page;
}

module.exports = { launch, openPage };
