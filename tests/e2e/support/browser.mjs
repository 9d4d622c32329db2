// Debian's Chromium, headless, through playwright-core; and a page that
// records what went wrong in it (errors, policy violations, failed loads).
import { chromium } from "playwright-core";

export const chromiumPath = process.env.GLOAM_CHROMIUM ?? "/usr/bin/chromium";

export function launchBrowser() {
  return chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking"],
    timeout: 20000,
  });
}

// A new context and page at the given density. `problems` collects console
// errors, uncaught exceptions and content-policy violations, which a sound
// page never produces while its host is up.
export async function openPage(browser, { deviceScaleFactor = 1, reducedMotion = "reduce" } = {}) {
  const context = await browser.newContext({
    viewport: { width: 640, height: 400 },
    deviceScaleFactor,
    reducedMotion,
  });
  const page = await context.newPage();
  page.setDefaultTimeout(10000);
  const problems = [];
  page.on("console", (message) => {
    if (message.type() === "error")
      problems.push(`console: ${message.text()}`);
  });
  page.on("pageerror", (error) => problems.push(`exception: ${error.message}`));
  await page.addInitScript(() => {
    document.addEventListener("securitypolicyviolation", (event) => {
      console.error(`policy violation: ${event.violatedDirective} ${event.blockedURI}`);
    });
  });
  return { context, page, problems };
}

// The bridge calls the page has made, by method name, in order.
export function recordCalls(page) {
  const calls = [];
  page.on("request", (request) => {
    if (request.method() === "POST" && new URL(request.url()).pathname === "/_bridge/call")
      calls.push(request.postDataJSON());
  });
  return calls;
}
