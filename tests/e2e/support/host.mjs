// Starts and stops `gloam serve` on a private copy of the built widget, so that
// each test owns its widget folder, its user.plist and its port.
import { spawn } from "node:child_process";
import { cpSync, mkdtempSync, rmSync, existsSync, readFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const repo = resolve(here, "../../..");

// The build in use; CTest passes its own, a hand run defaults to build/.
export const gloamCli = process.env.GLOAM_CLI ?? join(repo, "build/gloam");
export const builtWidget = process.env.GLOAM_BUILD_WIDGET_DIR ?? join(repo, "build/widget/Gloam.wdgt");
export const artifactsDir = process.env.GLOAM_E2E_ARTIFACTS ?? join(repo, "build/e2e-artifacts");

export const pluginBundle = "GloamPlugin.widgetplugin";
export const configurationFile = join(pluginBundle, "Contents/Resources/user.plist");

const START_TIMEOUT_MS = 10000;
const STOP_TIMEOUT_MS = 5000;

// A fresh copy of the built widget in a temporary folder; `remove()` deletes it.
export function copyWidget({ withoutImages = false } = {}) {
  if (!existsSync(join(builtWidget, "index.html")))
    throw new Error(`no built widget at ${builtWidget}: build first (make build)`);
  const root = mkdtempSync(join(tmpdir(), "gloam-e2e-"));
  const dir = join(root, "Gloam.wdgt");
  cpSync(builtWidget, dir, { recursive: true });
  rmSync(join(dir, "Images/current.png"), { force: true });
  if (withoutImages)
    rmSync(join(dir, "Images"), { recursive: true, force: true });
  return {
    dir,
    picture: join(dir, "Images/current.png"),
    configuration: join(dir, configurationFile),
    remove: () => rmSync(root, { recursive: true, force: true }),
  };
}

// The "shadowlevel" number of a user.plist in XML form; null when absent.
export function shadowLevelIn(plistPath) {
  const text = readFileSync(plistPath, "utf8");
  const match = /<key>shadowlevel<\/key>\s*<(real|integer)>([^<]*)<\/\1>/.exec(text);
  return match ? Number(match[2]) : null;
}

// Runs `gloam serve` on `widgetDir` and resolves once it prints its address.
export async function startHost(widgetDir, port = 0) {
  const child = spawn(gloamCli, ["serve", "--port", String(port), "--widget", widgetDir], {
    stdio: ["ignore", "pipe", "pipe"],
  });
  let output = "";
  const exited = new Promise((done) => child.once("exit", (code, signal) => done({ code, signal })));
  const url = await new Promise((resolveUrl, reject) => {
    const timer = setTimeout(() => {
      child.kill("SIGKILL");
      reject(new Error(`gloam serve printed no address in ${START_TIMEOUT_MS} ms:\n${output}`));
    }, START_TIMEOUT_MS);
    const look = (chunk) => {
      output += chunk;
      const match = /Gloam widget host: (http:\/\/127\.0\.0\.1:(\d+)\/)/.exec(output);
      if (match) {
        clearTimeout(timer);
        resolveUrl(match[1]);
      }
    };
    child.stdout.setEncoding("utf8").on("data", look);
    child.stderr.setEncoding("utf8").on("data", (chunk) => (output += chunk));
    exited.then(({ code, signal }) => {
      clearTimeout(timer);
      reject(new Error(`gloam serve ended (${code ?? signal}) before serving:\n${output}`));
    });
  });
  return {
    url,
    port: Number(new URL(url).port),
    pid: child.pid,
    output: () => output,
    // Ends the host as Ctrl-C would, and waits until it has gone.
    async stop() {
      if (child.exitCode !== null || child.signalCode !== null)
        return exited;
      child.kill("SIGTERM");
      const timer = setTimeout(() => child.kill("SIGKILL"), STOP_TIMEOUT_MS);
      const status = await exited;
      clearTimeout(timer);
      return status;
    },
  };
}
