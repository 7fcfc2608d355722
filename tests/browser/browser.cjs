"use strict";
// Opens written reports in Debian's Chromium through playwright-core. The browser gets a fresh
// profile per test file and is expected to run inside an empty network namespace (run.py puts it
// there); the page is also watched for any request that is not the report file itself.

const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { pathToFileURL } = require("node:url");
const { chromium } = require("playwright-core");

const CHROMIUM = process.env.WIRELUX_CHROMIUM || "/usr/bin/chromium";
const LAUNCH_ARGS = [
  "--no-sandbox",
  "--disable-gpu",
  "--disable-background-networking",
  "--disable-component-update",
  "--no-first-run"
];
const VIEWPORT = { width: 1400, height: 900 };

function requiredDir(variable) {
  const dir = process.env[variable];
  if (!dir) {
    throw new Error(`${variable} is not set: run tests/browser/run.py, which writes the reports first`);
  }
  return dir;
}

function reportPath(name) {
  const file = path.join(requiredDir("WIRELUX_BROWSER_REPORTS"), `${name}.html`);
  if (!fs.existsSync(file)) throw new Error(`no report ${file}: run tests/browser/make_reports.py first`);
  return file;
}

function artifactPath(name) {
  const dir = requiredDir("WIRELUX_BROWSER_ARTIFACTS");
  fs.mkdirSync(dir, { recursive: true });
  return path.join(dir, name);
}

// The browser may reach nothing but loopback: it starts only where no other interface has an address.
function assertLoopbackOnly() {
  const others = Object.keys(os.networkInterfaces()).filter((name) => name !== "lo");
  if (others.length > 0) {
    throw new Error(
      `refusing to start Chromium beside the interfaces ${others.join(", ")}: ` +
        "run the tests inside an empty network namespace (tests/browser/run.py does)"
    );
  }
}

async function launch() {
  assertLoopbackOnly();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "wirelux-chromium-"));
  let context;
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: CHROMIUM,
      headless: true,
      args: LAUNCH_ARGS,
      viewport: VIEWPORT,
      offline: true
    });
  } catch (err) {
    fs.rmSync(profile, { recursive: true, force: true });
    throw err;
  }
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    }
  };
}

// A fresh page on the report, with every console error, page error and request it made.
async function openReport(browser, name) {
  const file = reportPath(name);
  const page = await browser.context.newPage();
  const problems = [];
  const requests = [];
  page.on("console", (msg) => {
    if (msg.type() === "error" || msg.type() === "warning") {
      problems.push(`console ${msg.type()}: ${msg.text()}`);
    }
  });
  page.on("pageerror", (err) => problems.push(`page error: ${err.message}`));
  page.on("request", (req) => requests.push(req.url()));
  const url = pathToFileURL(file).href;
  await page.goto(url, { waitUntil: "load" });
  const doc = await page.evaluate(() => window.ND);
  return { page, problems, requests, url, doc };
}

// What the viewer can draw of a document: nodes with distinct ids, and edges between two different
// existing nodes.
function drawable(doc) {
  const ids = [];
  for (const node of doc.nodes || []) if (!ids.includes(node.id)) ids.push(node.id);
  const edges = (doc.edges || []).filter(
    (e) => ids.includes(e.from) && ids.includes(e.to) && e.from !== e.to
  );
  return { ids, edges };
}

async function showGraph(page) {
  await page.click('button[data-view="graph"]');
  // The view lays itself out 30 ms after it opens.
  await page.waitForTimeout(120);
}

// The world group's transform as numbers: "translate(tx ty) scale(s)".
async function worldTransform(page) {
  const text = await page.getAttribute("#graph-world", "transform");
  const m = /^translate\((-?[\d.e+-]+) (-?[\d.e+-]+)\) scale\(([\d.e+-]+)\)$/.exec(text || "");
  if (!m) throw new Error(`unexpected world transform ${JSON.stringify(text)}`);
  return { tx: Number(m[1]), ty: Number(m[2]), scale: Number(m[3]) };
}

// A node card's position from its "translate(x y)".
async function nodePosition(page, selector) {
  const text = await page.getAttribute(selector, "transform");
  const m = /^translate\((-?[\d.]+) (-?[\d.]+)\)$/.exec(text || "");
  if (!m) throw new Error(`unexpected node transform ${JSON.stringify(text)}`);
  return { x: Number(m[1]), y: Number(m[2]) };
}

// A point of the canvas where the background itself is hit (no card, edge or button on it).
async function backgroundPoint(page) {
  const point = await page.evaluate(() => {
    const svg = document.getElementById("graph-svg");
    const r = svg.getBoundingClientRect();
    for (let y = r.bottom - 12; y > r.top + 40; y -= 23) {
      for (let x = r.left + 12; x < r.right - 12; x += 37) {
        // Whole pixels: the pointer events a test sends carry whole-pixel positions.
        const px = Math.round(x);
        const py = Math.round(y);
        if (document.elementFromPoint(px, py) === svg) return { x: px, y: py };
      }
    }
    return null;
  });
  if (!point) throw new Error("the canvas has no free background");
  return point;
}

// A screenshot of the whole page. The footer is fixed to the window's bottom, so a whole-page
// picture would show it across the middle; it is laid out in the flow for the picture only.
async function pageShot(page, name) {
  await page.screenshot({
    path: artifactPath(name),
    fullPage: true,
    style: "footer{position:static!important} body{padding-bottom:0!important}"
  });
}

// Cards of one column that cover one another, as "a covers b" texts.
async function overlappingCards(page) {
  return page.evaluate(() => {
    const boxes = Array.from(document.querySelectorAll("#graph-world g.node")).map((g) => {
      const at = g.getAttribute("transform").match(/translate\(([-\d.]+) ([-\d.]+)\)/);
      const h = Number(g.querySelector("rect.node-card").getAttribute("height"));
      return { id: g.getAttribute("data-id"), x: Number(at[1]), y: Number(at[2]), h };
    });
    const hits = [];
    for (const a of boxes) {
      for (const c of boxes) {
        if (a !== c && a.x === c.x && a.y <= c.y && c.y < a.y + a.h) hits.push(`${a.id} covers ${c.id}`);
      }
    }
    return hits;
  });
}

// Opens every row detail of the graph, the way a press on each row does. The rows are pressed by
// event rather than by pointer because a long graph has rows outside the visible canvas.
async function expandAll(page) {
  return page.evaluate(() => {
    let opened = 0;
    for (let guard = 0; guard < 500; guard++) {
      const row = document.querySelector("#graph-world g.row.expandable:not(.open)");
      if (!row) break;
      row.dispatchEvent(new PointerEvent("pointerdown", { bubbles: true, button: 0, pointerId: 1 }));
      row.dispatchEvent(new PointerEvent("pointerup", { bubbles: true, button: 0, pointerId: 1 }));
      opened++;
    }
    return opened;
  });
}

module.exports = {
  overlappingCards,
  pageShot,
  expandAll,
  launch,
  openReport,
  drawable,
  showGraph,
  worldTransform,
  nodePosition,
  backgroundPoint,
  artifactPath
};
