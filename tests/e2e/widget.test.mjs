// The widget page in headless Chromium against a real `gloam serve`: what the
// page shows, the script object it gets, fresh pictures, the settings side
// and the shadow level it saves, and a host that goes away and comes back.
import { after, before, describe, it } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdirSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";

import { chromiumPath, launchBrowser, openPage, recordCalls } from "./support/browser.mjs";
import { artifactsDir, copyWidget, shadowLevelIn, startHost } from "./support/host.mjs";

const TEST_TIMEOUT_MS = 45000;
// "MM-dd-yyyy hh:mm:ss a zzz", the text every composite request returns.
const DATE_TEXT = /^\d\d-\d\d-\d{4} \d\d:\d\d:\d\d [AP]M \S.*$/;

let browser;
before(async () => {
  browser = await launchBrowser();
  mkdirSync(artifactsDir, { recursive: true });
});
after(async () => {
  await browser?.close();
});

// One widget copy, one host and one page for the length of `body`, all
// cleaned up however it ends.
async function withWidget(options, body) {
  const widget = copyWidget(options);
  let host;
  let context;
  try {
    host = await startHost(widget.dir);
    const opened = await openPage(browser, options);
    context = opened.context;
    const calls = recordCalls(opened.page);
    if (options.fakeClock)
      await opened.page.clock.install();
    const response = await opened.page.goto(host.url);
    return await body({ ...opened, widget, calls, response, host: () => host, setHost: (h) => (host = h) });
  } finally {
    await context?.close();
    await host?.stop();
    widget.remove();
  }
}

// Waits until the page has shown the outcome of its first render.
async function firstRender(page) {
  await page.waitForFunction(() => {
    const picture = document.getElementById("widget").dataset.picture;
    return picture === "fresh" || picture === "missing";
  });
}

async function pictureState(page) {
  return page.evaluate(() => {
    const picture = document.getElementById("picture");
    const { naturalWidth, naturalHeight, clientWidth, clientHeight, hidden, alt } = picture;
    const state = document.getElementById("widget").dataset.picture;
    return { src: picture.getAttribute("src"), naturalWidth, naturalHeight, clientWidth, clientHeight, hidden, alt, state };
  });
}

// Records, for every picture element put into the map, whether it was
// already loaded when it appeared: a swap before loading would flicker.
async function watchSwaps(page) {
  await page.evaluate(() => {
    window.__swaps = [];
    new MutationObserver((changes) => {
      for (const change of changes) {
        for (const node of change.addedNodes) {
          if (node.id === "picture")
            window.__swaps.push({ src: node.getAttribute("src"), loaded: node.complete && node.naturalWidth > 0 });
        }
      }
    }).observe(document.getElementById("map"), { childList: true });
  });
}

// The id of the focused element, and whether `id` is inert.
const focused = (page) => page.evaluate(() => document.activeElement.id);
const inert = (page, id) => page.evaluate((id) => document.getElementById(id).inert, id);

// What a returning tab does: the page hears that it is visible again.
async function becomeVisible(page) {
  await page.evaluate(() => document.dispatchEvent(new Event("visibilitychange")));
}

describe("the widget page", { timeout: TEST_TIMEOUT_MS }, () => {
  it("loads under the host's content policy with the map, the time and a reachable settings button", async () => {
    await withWidget({}, async ({ page, problems, response }) => {
      assert.equal(response.status(), 200);
      assert.equal(await page.title(), "Gloam");
      await firstRender(page);
      assert.match(await page.textContent("#when"), DATE_TEXT);

      // Only the picture may be missing (the host may not draw one); no
      // script error and no policy violation.
      const serious = problems.filter((p) => !/Failed to load resource/.test(p));
      assert.deepEqual(serious, []);

      // The front is shown; the back's controls are out of the focus order.
      assert.equal(await inert(page, "back"), true);
      await page.keyboard.press("Tab");
      assert.equal(await focused(page), "show-settings");
      const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
      assert.notEqual(outline, "none", "the focused button shows where the focus is");
      await page.keyboard.press("Tab");
      const after = await focused(page);
      assert.ok(!["shadow", "done"].includes(after), `Tab reached ${after} on the hidden side`);

      // The widget's size, and the map on whole pixels so that it is not
      // resampled off the pixel grid.
      const box = await page.locator("#widget").boundingBox();
      assert.deepEqual([box.width, box.height], [544, 320]);
      const map = await page.locator("#map").boundingBox();
      assert.ok(Number.isInteger(map.x) && Number.isInteger(map.y), `map at ${map.x},${map.y}`);
      await page.screenshot({ path: join(artifactsDir, "widget-front.png") });
    });
  });

  it("renders once a minute, nothing while hidden, and at once when shown again", async () => {
    await withWidget({ fakeClock: true }, async ({ page, calls }) => {
      await firstRender(page);
      const renders = () => calls.filter((call) => call.method === "getCurrentComposite").length;
      assert.equal(renders(), 1);
      await page.clock.fastForward(58000);
      assert.equal(renders(), 1, "not sooner than a minute");
      await page.clock.fastForward(3000);
      await waitFor(() => renders() === 2, "the render a minute later");

      await page.evaluate(() => {
        Object.defineProperty(document, "visibilityState", { configurable: true, get: () => "hidden" });
        document.dispatchEvent(new Event("visibilitychange"));
      });
      await page.clock.fastForward(180000);
      assert.equal(renders(), 2, "a hidden page draws nothing");

      await page.evaluate(() => {
        delete document.visibilityState;
        document.dispatchEvent(new Event("visibilitychange"));
      });
      await waitFor(() => renders() === 3, "the render on being shown");
      await page.clock.fastForward(61000);
      await waitFor(() => renders() === 4, "the minute's render after that");
    });
  });

  it("shows a fresh picture after each render, swapped in only once it has loaded", async () => {
    await withWidget({}, async ({ page, problems, widget }) => {
      await firstRender(page);
      const first = await pictureState(page);
      assert.equal(first.state, "fresh");
      assert.equal(first.hidden, false);
      assert.match(first.src, /^Images\/current\.png\?render=/);
      assert.equal(first.naturalWidth, 2 * first.clientWidth, "the picture has pixels for 2x screens");
      assert.equal(first.naturalHeight, 2 * first.clientHeight);
      assert.match(first.alt, /^The Earth's day and night at \d\d-/);
      assert.equal(await page.isHidden("#placeholder"), true);

      // Each render must write the file anew: it is removed before each, so
      // a swap proves the new file, whatever the file system's clock says.
      await watchSwaps(page);
      let last = first.src;
      for (let i = 0; i < 2; ++i) {
        rmSync(widget.picture);
        await becomeVisible(page);
        await page.waitForFunction((src) => document.getElementById("picture").getAttribute("src") !== src, last);
        last = (await pictureState(page)).src;
      }
      const swaps = await page.evaluate(() => window.__swaps);
      assert.equal(swaps.length, 2);
      assert.ok(swaps.every((swap) => swap.loaded), JSON.stringify(swaps));
      assert.equal(new Set([first.src, ...swaps.map((s) => s.src)]).size, 3, "every render has its own address");
      assert.deepEqual(problems, []);
    });
  });

  it("says so when the host draws no picture, and names no time", async () => {
    await withWidget({ withoutImages: true }, async ({ page, problems }) => {
      await firstRender(page);
      const state = await pictureState(page);
      assert.equal(state.state, "missing");
      assert.equal(state.hidden, true, "no broken picture is shown");
      assert.equal(await page.textContent("#placeholder"), "The map could not be drawn.");
      assert.equal((await page.textContent("#when")).trim(), "", "no picture, so no instant of one");
      assert.equal(await page.isHidden("#notice"), true, "the host itself is fine");
      assert.deepEqual(problems.filter((p) => !/Failed to load resource/.test(p)), []);
    });
  });

  it("keeps the caption of the picture it shows when the host cannot replace it, and the host says why", async () => {
    await withWidget({}, async ({ page, host }) => {
      await firstRender(page);
      const before = await pictureState(page);
      assert.equal(before.state, "fresh");
      const caption = await page.textContent("#when");
      // A second later the instant has another text; then the host may write
      // no file over 4 KiB, as with a full disk.
      await new Promise((resolve) => setTimeout(resolve, 1100));
      const pid = String(host().pid);
      execFileSync("prlimit", ["--pid", pid, "--fsize=4096:"]);
      await becomeVisible(page);
      await page.waitForSelector("#notice:not([hidden])");
      assert.equal(await page.textContent("#notice"), "The map could not be updated.");
      assert.equal(await page.textContent("#when"), caption, "the caption names the picture shown");
      const during = await pictureState(page);
      assert.equal(during.state, "stale");
      assert.equal(during.src, before.src);
      assert.equal(await page.evaluate(() => document.getElementById("widget").classList.contains("offline")), false);
      const said = () => host().output().split("\n").filter((line) => /was not replaced/.test(line));
      await waitFor(() => said().length > 0, "the host's line");
      assert.equal(said().length, 1);
      assert.match(said()[0], /Images\/current\.png was not replaced: File too large$/);
      await page.screenshot({ path: join(artifactsDir, "widget-not-updated.png") });

      // Room again: the next picture comes with its own time, and the notice goes.
      execFileSync("prlimit", ["--pid", pid, "--fsize=unlimited:"]);
      await becomeVisible(page);
      await page.waitForFunction((src) => document.getElementById("picture").getAttribute("src") !== src, before.src);
      assert.notEqual(await page.textContent("#when"), caption);
      assert.equal(await page.isHidden("#notice"), true);
    });
  });

  it("sets the shadow level from the keyboard on the settings side and saves it at the next render", async () => {
    await withWidget({}, async ({ page, widget, calls }) => {
      await firstRender(page);
      const saved = shadowLevelIn(widget.configuration);
      assert.equal(await page.inputValue("#shadow"), String(saved), "the slider starts at the saved level");
      await page.keyboard.press("Tab");
      await page.keyboard.press("Enter");
      await page.waitForFunction(() => document.getElementById("widget").classList.contains("flipped"));
      assert.equal(await focused(page), "shadow");
      assert.equal(await inert(page, "front"), true);

      await page.keyboard.press("Home");
      for (let i = 0; i < 10; ++i)
        await page.keyboard.press("ArrowRight");
      assert.equal(await page.inputValue("#shadow"), "0.5");
      assert.equal(await page.textContent("#shadow-value"), "50%");

      await page.waitForFunction(() => window.GloamPlugin.getShadowLevel() === 0.5);
      const lastSet = calls.findLastIndex((call) => call.method === "setShadowLevel");
      assert.deepEqual(calls[lastSet].args, [0.5]);
      const rendersSince = () => calls.slice(lastSet + 1).filter((c) => c.method === "getCurrentComposite").length;
      await waitFor(() => rendersSince() >= 1, "a render after the level was set");

      await page.screenshot({ path: join(artifactsDir, "widget-back-keyboard.png") });

      // Escape goes back, and the focus with it.
      await page.keyboard.press("Escape");
      await page.waitForFunction(() => !document.getElementById("widget").classList.contains("flipped"));
      assert.equal(await focused(page), "show-settings");
      assert.equal(await inert(page, "back"), true);

      // Space flips too, and Done is the next stop after the slider.
      const sets = () => calls.filter((call) => call.method === "setShadowLevel").length;
      const setsBefore = sets();
      await page.keyboard.press("Space");
      await page.waitForFunction(() => document.activeElement.id === "shadow");
      await page.keyboard.press("Tab");
      assert.equal(await focused(page), "done");
      await page.keyboard.press("Enter");
      await page.waitForFunction(() => document.activeElement.id === "show-settings");
      assert.equal(sets(), setsBefore, "an unchanged slider sends nothing new");
    });
  });

  it("keeps its picture while the host is away, keeps a level set meanwhile, and recovers on the same port", async () => {
    await withWidget({}, async ({ page, widget, calls, host, setHost }) => {
      await firstRender(page);
      const before = await pictureState(page);
      const port = host().port;

      await host().stop();
      await becomeVisible(page);
      await page.waitForSelector("#notice:not([hidden])");
      assert.match(await page.textContent("#notice"), /cannot be reached/);
      assert.equal(await page.evaluate(() => document.getElementById("widget").classList.contains("offline")), true);
      const during = await pictureState(page);
      assert.equal(during.src, before.src, "the last picture stays");
      assert.equal(during.hidden, before.hidden);
      await page.screenshot({ path: join(artifactsDir, "widget-offline.png") });

      // A level chosen while the host is away is not lost.
      await page.click("#show-settings");
      await page.focus("#shadow");
      await page.keyboard.press("End");
      assert.equal(await page.textContent("#shadow-value"), "100%");
      assert.match(await page.textContent("#back-notice"), /cannot be reached/);
      await page.keyboard.press("Escape");

      const callsBefore = calls.length;
      setHost(await startHost(widget.dir, port));
      await page.waitForSelector("#notice", { state: "hidden", timeout: 10000 });
      assert.equal(await page.evaluate(() => document.getElementById("widget").classList.contains("offline")), false);
      assert.equal(await page.evaluate(() => window.GloamPlugin.getShadowLevel()), 1);
      assert.ok(calls.slice(callsBefore).some((c) => c.method === "getCurrentComposite"));
      if (before.state === "fresh")
        await page.waitForFunction((src) => document.getElementById("picture").getAttribute("src") !== src, before.src);
    });
  });

  // Chromium offers to install a page only in a profile of its own, never in
  // the private contexts the other cases use.
  it("is an installable app: Chromium finds no fault in its manifest and icons", async () => {
    const profile = mkdtempSync(join(tmpdir(), "gloam-app-"));
    const widget = copyWidget();
    let host;
    let context;
    try {
      host = await startHost(widget.dir);
      context = await chromium.launchPersistentContext(profile, {
        executablePath: chromiumPath,
        headless: true,
        args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking"],
      });
      const page = await context.newPage();
      await page.goto(host.url);
      const cdp = await context.newCDPSession(page);
      assert.deepEqual((await cdp.send("Page.getInstallabilityErrors")).installabilityErrors, []);
      const manifest = await cdp.send("Page.getAppManifest");
      assert.deepEqual(manifest.errors, []);
      const app = JSON.parse(manifest.data);
      assert.equal(app.display, "standalone");
      // Each icon is a PNG of the size it claims.
      const icons = await page.evaluate(async (icons) => Promise.all(icons.map(async ({ src, sizes }) => {
        const bitmap = await createImageBitmap(await (await fetch(src)).blob());
        return [sizes, `${bitmap.width}x${bitmap.height}`];
      })), app.icons);
      assert.deepEqual(icons.sort(), [["192x192", "192x192"], ["512x512", "512x512"]]);
    } finally {
      await context?.close();
      await host?.stop();
      widget.remove();
      rmSync(profile, { recursive: true, force: true });
    }
  });
});

async function waitFor(condition, what, timeoutMs = 5000) {
  const end = Date.now() + timeoutMs;
  while (!condition()) {
    if (Date.now() > end)
      throw new Error(`gave up waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}
