"use strict";
// Reports written by real lab runs of the Linux program, opened in Chromium: the page loads clean,
// the tabs switch views, the graph draws the embedded document, and pan, zoom, drag, auto layout,
// row details, hover and the "Show info" toggle behave as a user sees them.

const { describe, it, before, after } = require("node:test");
const assert = require("node:assert/strict");
const b = require("./browser.cjs");

const NW = 230;
const HOSTILE_EXE = "<!--<img src=x onerror=window.__pwned=1>";

function near(actual, expected, what) {
  assert.ok(Math.abs(actual - expected) < 0.02, `${what}: ${actual} is not ${expected}`);
}

describe("lab reports", () => {
  // One browser serves both reports: starting Chromium is the slowest step.
  let browser;
  before(async () => {
    browser = await b.launch();
  });
  after(async () => {
    if (browser) await browser.close();
  });

  describe("home report", () => {
    const open = () => b.openReport(browser, "home");

    it("loads with no console or page errors and requests nothing but itself", async () => {
      const { page, problems, requests, url, doc } = await open();
      await b.showGraph(page);
      await page.click('button[data-view="chain"]');
      assert.deepEqual(problems, []);
      assert.deepEqual(requests, [url]);
      assert.ok(doc && doc.nodes.length >= 4, "the embedded graph document has the egress path");
      assert.equal(await page.evaluate(() => window.__pwned), undefined);
      await page.close();
    });

    it("switches between the detail chain and the node graph with the tabs", async () => {
      const { page } = await open();
      assert.ok(await page.isVisible("#view-chain"));
      assert.ok(await page.isHidden("#view-graph"));
      assert.ok(await page.isVisible(".chain .block"), "the hash-linked blocks are drawn");
      await b.pageShot(page, "home-chain.png");

      await b.showGraph(page);
      assert.ok(await page.isHidden("#view-chain"));
      assert.ok(await page.isVisible("#view-graph"));
      const box = await page.locator("#graph-svg").boundingBox();
      assert.ok(box.height > 300 && box.width > 600, `the canvas is ${box.width} x ${box.height}`);
      assert.match(await page.getAttribute('button[data-view="graph"]', "class"), /\bon\b/);
      assert.doesNotMatch(await page.getAttribute('button[data-view="chain"]', "class"), /\bon\b/);
      await page.screenshot({ path: b.artifactPath("home-graph.png") });

      await page.click('button[data-view="chain"]');
      assert.ok(await page.isVisible("#view-chain"));
      assert.ok(await page.isHidden("#view-graph"));
      await page.close();
    });

    it("ends the graph canvas above the fixed footer, also in a small window", async () => {
      for (const size of [null, { width: 800, height: 600 }]) {
        const { page } = await open();
        if (size) await page.setViewportSize(size);
        await b.showGraph(page);
        const r = await page.evaluate(() => ({
          canvas: document.getElementById("graph-svg").getBoundingClientRect().bottom,
          footer: document.querySelector("footer").getBoundingClientRect().top
        }));
        assert.ok(r.canvas <= r.footer + 0.5, `canvas bottom ${r.canvas}, footer top ${r.footer}`);
        await page.close();
      }
    });

    it("draws one card per node and one curve per edge, joined at the card sides", async () => {
      const { page, doc } = await open();
      await b.showGraph(page);
      const want = b.drawable(doc);
      const drawn = await page.evaluate(() => {
        const position = (g) =>
          g.getAttribute("transform").match(/translate\(([-\d.]+) ([-\d.]+)\)/).slice(1).map(Number);
        const nodes = {};
        for (const g of document.querySelectorAll("#graph-world g.node")) {
          nodes[g.getAttribute("data-id")] = position(g);
        }
        const edges = Array.from(document.querySelectorAll("#graph-world g.edge")).map((g) => ({
          from: g.getAttribute("data-from"),
          to: g.getAttribute("data-to"),
          lines: g.querySelectorAll("path.edge-line").length,
          d: g.querySelector("path.edge-line").getAttribute("d")
        }));
        return { count: document.querySelectorAll("#graph-world g.node").length, nodes, edges };
      });
      assert.equal(drawn.count, want.ids.length);
      assert.deepEqual(Object.keys(drawn.nodes).sort(), [...want.ids].sort());
      assert.equal(drawn.edges.length, want.edges.length);
      want.edges.forEach((edge, i) => {
        const e = drawn.edges[i];
        assert.deepEqual([e.from, e.to], [edge.from, edge.to]);
        assert.equal(e.lines, 1);
        const m = /^M([-\d.]+) ([-\d.]+) C[-\d. ]+ ([-\d.]+) ([-\d.]+)$/.exec(e.d);
        assert.ok(m, `edge ${edge.from} -> ${edge.to} has the path ${e.d}`);
        near(Number(m[1]), drawn.nodes[edge.from][0] + NW, "an edge leaves its source card's right side");
        near(Number(m[3]), drawn.nodes[edge.to][0], "an edge ends at its target card's left side");
      });
      await page.close();
    });

    it("zooms about the pointer, pans with a background drag and fits on a double click", async () => {
      const { page } = await open();
      await b.showGraph(page);
      const start = await b.worldTransform(page);
      const p = await b.backgroundPoint(page);
      const svg = await page.locator("#graph-svg").boundingBox();
      const px = p.x - svg.x;
      const py = p.y - svg.y;

      await page.mouse.move(p.x, p.y);
      await page.mouse.wheel(0, -100);
      await page.waitForTimeout(50);
      const zoomed = await b.worldTransform(page);
      near(zoomed.scale / start.scale, 1.15, "one wheel step in");
      // The world point that was under the pointer is still drawn there (in canvas pixels).
      near(((px - start.tx) / start.scale) * zoomed.scale + zoomed.tx, px, "pointer x after zooming");
      near(((py - start.ty) / start.scale) * zoomed.scale + zoomed.ty, py, "pointer y after zooming");

      await page.mouse.wheel(0, 100);
      await page.waitForTimeout(50);
      near((await b.worldTransform(page)).scale, zoomed.scale * 0.87, "one wheel step out");

      const before = await b.worldTransform(page);
      await page.mouse.down();
      await page.mouse.move(p.x - 90, p.y - 40, { steps: 4 });
      await page.mouse.up();
      const panned = await b.worldTransform(page);
      near(panned.tx - before.tx, -90, "horizontal pan");
      near(panned.ty - before.ty, -40, "vertical pan");
      assert.equal(panned.scale, before.scale);

      // A double click on the background fits the drawing again.
      const q = await b.backgroundPoint(page);
      await page.mouse.dblclick(q.x, q.y);
      assert.deepEqual(await b.worldTransform(page), start);
      await page.close();
    });

    it("refits the drawing into the canvas when the window is resized", async () => {
      const { page } = await open();
      await b.showGraph(page);
      const before = await b.worldTransform(page);
      await page.setViewportSize({ width: 900, height: 700 });
      await page.waitForTimeout(120);
      assert.notDeepEqual(await b.worldTransform(page), before);
      const r = await page.evaluate(() => {
        const canvas = document.getElementById("graph-svg").getBoundingClientRect();
        const drawing = document.getElementById("graph-world").getBoundingClientRect();
        const footer = document.querySelector("footer").getBoundingClientRect().top;
        return { canvas, drawing, footer };
      });
      // The canvas follows the window's new height: it still ends above the fixed footer.
      assert.ok(r.canvas.bottom <= r.footer + 0.5, `canvas bottom ${r.canvas.bottom}, footer top ${r.footer}`);
      assert.ok(
        r.drawing.left >= r.canvas.left && r.drawing.right <= r.canvas.right,
        `the drawing spans ${r.drawing.left}..${r.drawing.right}, ` +
          `the canvas ${r.canvas.left}..${r.canvas.right}`
      );
      await page.close();
    });

    it("moves a dragged card with its edges, and Auto layout puts it back", async () => {
      const { page } = await open();
      await b.showGraph(page);
      const view = await b.worldTransform(page);
      const id = await page.evaluate(() => {
        const edge = document.querySelector("#graph-world g.edge");
        return edge.getAttribute("data-to");
      });
      const card = `#graph-world g.node[data-id="${id}"]`;
      const edgeLine = `#graph-world g.edge[data-to="${id}"] path.edge-line`;
      const home = await b.nodePosition(page, card);
      const edgeBefore = await page.getAttribute(edgeLine, "d");
      const header = await page.locator(`${card} .node-header`).boundingBox();

      await page.mouse.move(header.x + 40, header.y + header.height / 2);
      await page.mouse.down();
      await page.mouse.move(header.x + 140, header.y + header.height / 2 + 70, { steps: 5 });
      await page.mouse.up();
      const moved = await b.nodePosition(page, card);
      near(moved.x - home.x, 100 / view.scale, "card x moved by the drag in world units");
      near(moved.y - home.y, 70 / view.scale, "card y moved by the drag in world units");
      assert.notEqual(await page.getAttribute(edgeLine, "d"), edgeBefore, "the edge follows the card");
      assert.deepEqual(await b.worldTransform(page), view, "dragging a card does not pan");

      await page.click("#graph-auto");
      assert.deepEqual(await b.nodePosition(page, card), home);
      assert.equal(await page.getAttribute(edgeLine, "d"), edgeBefore);
      assert.deepEqual(await b.worldTransform(page), view, "auto layout fits the view again");
      await page.close();
    });

    it("opens and closes a row's detail card, growing its card clear of the cards below", async () => {
      const { page, problems, doc } = await open();
      await b.showGraph(page);
      // The lab's SOCKS5 process lists its listener in a detail card.
      const withItems = (it) => it.detail && it.detail.items.length > 0;
      const owner = doc.nodes.find((n) => n.items.some(withItems));
      assert.ok(owner, "the document has a row detail with items");
      const { k: key, detail } = owner.items.find(withItems);
      const target = await page.evaluate(
        ([id, k]) => {
          const rows = document.querySelectorAll(`#graph-world g.node[data-id="${id}"] g.row.expandable`);
          for (const r of rows) {
            const tip = r.querySelector("title").textContent;
            if (tip === k || tip.startsWith(`${k} \u00b7 `)) {
              return { node: r.closest("g.node").getAttribute("data-node"), row: r.getAttribute("data-row") };
            }
          }
          return null;
        },
        [owner.id, key]
      );
      assert.ok(target, `no expandable "${key}" row on ${owner.id}`);
      const card = `#graph-world g.node[data-node="${target.node}"]`;
      const theRow = `${card} g.row[data-row="${target.row}"]`;
      const heightBefore = Number(await page.getAttribute(`${card} rect.node-card`, "height"));
      const keyBefore = await page.textContent(`${theRow} .row-key`);
      assert.match(keyBefore, /^\u25b8 /);

      await page.click(theRow);
      assert.equal(await page.locator(`${card} g.detail[data-detail="${target.row}"]`).count(), 1);
      assert.match(await page.getAttribute(theRow, "class"), /\bopen\b/);
      assert.match(await page.textContent(`${theRow} .row-key`), /^\u25be /);
      const heightOpen = Number(await page.getAttribute(`${card} rect.node-card`, "height"));
      assert.ok(heightOpen > heightBefore, `the card grows from ${heightBefore} to ${heightOpen}`);
      const items = await page.locator(`${card} g.detail g.row`).count();
      assert.equal(items, detail.items.length, "the detail card lists its items");
      const overlaps = await b.overlappingCards(page);
      assert.deepEqual(overlaps, [], "cards in one column never overlap after the layout reruns");
      await page.locator(`${card} g.detail`).scrollIntoViewIfNeeded();
      await page.screenshot({ path: b.artifactPath("home-graph-expanded.png") });

      await page.click(theRow);
      assert.equal(await page.locator(`${card} g.detail`).count(), 0);
      assert.equal(Number(await page.getAttribute(`${card} rect.node-card`, "height")), heightBefore);
      assert.deepEqual(problems, []);
      await page.close();
    });

    it("highlights the edges of a hovered card and dims the rest", async () => {
      const { page } = await open();
      await b.showGraph(page);
      const id = await page.evaluate(() =>
        document.querySelector("#graph-world g.edge").getAttribute("data-to")
      );
      await page.hover(`#graph-world g.node[data-id="${id}"] .node-header`);
      const state = await page.evaluate((nodeId) => {
        const edges = Array.from(document.querySelectorAll("#graph-world g.edge"));
        return {
          focus: document.getElementById("graph-world").classList.contains("focus"),
          wrong: edges
            .filter((g) => {
              const touches = g.dataset.from === nodeId || g.dataset.to === nodeId;
              return g.classList.contains("hl") !== touches;
            })
            .map((g) => `${g.dataset.from}->${g.dataset.to}`)
        };
      }, id);
      assert.ok(state.focus);
      assert.deepEqual(state.wrong, []);
      await page.close();
    });

    it("blurs the details until Show info is pressed, and blurs them again on Hide info", async () => {
      const { page } = await open();
      const look = () =>
        page.evaluate(() => {
          const blur = document.querySelector(".brows .row .v .si-blur");
          const real = document.querySelector(".brows .row .v .si-real");
          return {
            revealed: document.body.classList.contains("revealed"),
            wrapped: document.querySelectorAll(".si-wrap").length,
            blurShown: getComputedStyle(blur).display !== "none",
            blurFilter: getComputedStyle(blur).filter,
            realColor: getComputedStyle(real).color,
            sameText: blur.textContent === real.textContent,
            button: document.getElementById("revealbtn").textContent,
            pressed: document.getElementById("revealbtn").getAttribute("aria-pressed")
          };
        });
      const hidden = await look();
      assert.ok(hidden.wrapped > 10, `only ${hidden.wrapped} values are wrapped`);
      assert.equal(hidden.revealed, false);
      assert.ok(hidden.blurShown);
      assert.match(hidden.blurFilter, /blur/);
      assert.equal(hidden.realColor, "rgba(0, 0, 0, 0)");
      assert.ok(hidden.sameText);
      assert.equal(hidden.button, "Show info");

      await page.click("#revealbtn");
      const shown = await look();
      assert.equal(shown.revealed, true);
      assert.equal(shown.blurShown, false);
      assert.notEqual(shown.realColor, "rgba(0, 0, 0, 0)");
      assert.deepEqual([shown.button, shown.pressed], ["Hide info", "true"]);
      await page.screenshot({ path: b.artifactPath("home-chain-revealed.png") });

      await page.click("#revealbtn");
      const again = await look();
      assert.deepEqual(
        [again.revealed, again.blurShown, again.button, again.pressed],
        [false, true, "Show info", "false"]
      );
      await page.close();
    });

    it("shows the hostile executable name of the lab's listener as text", async () => {
      const { page, doc, problems } = await open();
      await b.showGraph(page);
      assert.ok((await b.expandAll(page)) > 0);
      const seen = await page.evaluate((name) => ({
        pwned: window.__pwned,
        images: document.querySelectorAll("img").length,
        inText: document.body.textContent.includes(name),
        inGraphTitles: Array.from(document.querySelectorAll("#graph-svg title")).some((t) =>
          t.textContent.includes(name)
        )
      }), HOSTILE_EXE);
      assert.ok(JSON.stringify(doc).includes(HOSTILE_EXE), "the document names the listener's process");
      assert.deepEqual(seen, { pwned: undefined, images: 0, inText: true, inGraphTitles: true });
      assert.deepEqual(problems, []);
      await page.close();
    });
  });

  describe("tun report", () => {
    it("draws the tunnel egress in both views without errors", async () => {
      const { page, problems, requests, url, doc } = await b.openReport(browser, "tun");
      assert.ok(await page.isVisible(".chain .block.selected"), "the tunnel block is the selected one");
      await b.showGraph(page);
      const want = b.drawable(doc);
      assert.equal(await page.locator("#graph-world g.node").count(), want.ids.length);
      assert.equal(await page.locator("#graph-world g.edge path.edge-line").count(), want.edges.length);
      assert.ok(doc.nodes.some((n) => n.kind === "tun"), `no tunnel node among ${want.ids}`);
      await page.screenshot({ path: b.artifactPath("tun-graph.png") });
      assert.deepEqual(problems, []);
      assert.deepEqual(requests, [url]);
      await page.close();
    });
  });
});
