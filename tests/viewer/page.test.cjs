"use strict";
// The report's scripts run as a page runs them (classic scripts, window as the global object)
// against a small fake DOM: what they build, how the tabs, rows, drag, wheel and hover behave, and
// that document strings only ever become text.

const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { FakeDocument, build, makeWindow, runAsset, descendants, ASSETS } = require("./fake_dom.cjs");

const HOSTILE = "<img src=x onerror=alert(1)>";

function graphDocument() {
  const row = (id, k, v, role, extra = {}) => ({
    id,
    k,
    v,
    status: "",
    meta: "",
    role,
    probe: false,
    detail: null,
    ...extra
  });
  return {
    version: 5.2,
    nodes: [
      {
        id: "app",
        label: "Applications",
        sub: "outbound",
        kind: "source",
        status: "",
        sel: false,
        items: [row("default", "default", "IPv4 route", "out"), row("policy-1", HOSTILE, HOSTILE, "out")]
      },
      {
        id: "nic-1",
        label: HOSTILE,
        sub: "</script><script>alert(2)</script>",
        kind: "nic",
        status: "WARN",
        sel: true,
        items: [
          row("ip", "IPv4", "192.168.1.20/24", "addr"),
          row("sockets", "sockets", "3 listeners", "prop", {
            detail: {
              label: "listeners",
              sub: "",
              kind: "core",
              status: "OK",
              items: [row("l1", "tcp", "127.0.0.1:7890", "prop"), row("l2", "udp", "0.0.0.0:53", "prop")]
            }
          })
        ]
      },
      { id: "gw", label: "Gateway", sub: "", kind: "gw", status: "FAIL", sel: false, items: [] }
    ],
    edges: [
      {
        from: "app",
        fromItem: "default",
        to: "nic-1",
        kind: "main",
        dead: false,
        bad: false,
        confidence: 0.9,
        evidence: HOSTILE
      },
      {
        from: "nic-1",
        fromItem: "",
        to: "gw",
        kind: "main",
        dead: false,
        bad: false,
        confidence: 0.6,
        evidence: ""
      },
      {
        from: "app",
        fromItem: "policy-1",
        to: "gw",
        kind: "policy",
        dead: false,
        bad: false,
        confidence: 0.4,
        evidence: ""
      }
    ]
  };
}

function reportPage(nd) {
  const doc = new FakeDocument();
  const main = build(doc, [
    "main",
    {},
    [
      "div",
      { class: "tabs" },
      ["button", { class: "tab on", "data-view": "chain" }, "Detail chain"],
      ["button", { class: "tab", "data-view": "graph" }, "Node graph"],
      ["button", { class: "tab revealbtn", id: "revealbtn" }, "Show info"]
    ],
    [
      "section",
      { id: "view-chain", class: "view" },
      [
        "div",
        { class: "brows" },
        ["div", { class: "row" }, ["span", { class: "k" }, "IPv4"], ["span", { class: "v" }, "10.1.2.3"]]
      ],
      [
        "details",
        {},
        ["summary", {}, "Adapters"],
        [
          "div",
          { class: "dbody" },
          [
            "table",
            {},
            [
              "tbody",
              {},
              ["tr", {}, ["td", {}, "UP"], ["td", {}, ""], ["td", {}, "eth0 ", ["b", {}, "bold"]]]
            ]
          ],
          [
            "div",
            { class: "kv" },
            ["div", {}, ["span", { class: "k" }, "ProxyServer"], ["span", { class: "v" }, "127.0.0.1:7890"]]
          ],
          ["div", { class: "mono" }, "WinHTTP direct access"]
        ]
      ]
    ]
  ]);
  doc.body.appendChild(main);
  const win = makeWindow(doc, { ND: nd });
  return { doc, win };
}

function byClass(root, name) {
  return descendants(root).filter((e) => e.classList.contains(name));
}
function nodeGroup(doc, id) {
  return byClass(doc.getElementById("graph-world"), "node").find((g) => g.getAttribute("data-id") === id);
}
function texts(root) {
  return descendants(root)
    .filter((e) => e.tagName === "text")
    .map((e) => e.textContent);
}
function translateOf(el) {
  const m = /translate\(([-\d.]+) ([-\d.]+)\)/.exec(el.getAttribute("transform"));
  return [Number(m[1]), Number(m[2])];
}
function scaleOf(el) {
  return Number(/scale\(([-\d.e]+)\)/.exec(el.getAttribute("transform"))[1]);
}

function loadViewer(nd = graphDocument()) {
  const page = reportPage(nd);
  runAsset("viewer.js", page.win);
  return page;
}

test("the graph view the viewer builds", async (t) => {
  await t.test("a hidden graph section after the chain view, with canvas, markers, legend and button", () => {
    const { doc } = loadViewer();
    const section = doc.getElementById("view-graph");
    assert.ok(section);
    assert.equal(section.getAttribute("class"), "view hidden");
    assert.equal(doc.getElementById("view-chain").nextSibling, section);
    const markers = descendants(section)
      .filter((e) => e.tagName === "marker")
      .map((e) => e.getAttribute("id"));
    assert.deepEqual(
      markers,
      ["main", "likely", "possible", "alt", "policy", "kam", "evidence", "problem", "bad"].map(
        (m) => "arrow-" + m
      )
    );
    assert.equal(doc.getElementById("graph-auto").textContent, "Auto layout");
    assert.deepEqual(
      byClass(section, "lg").map((e) => e.textContent),
      [
        "observed route",
        "proxy policy",
        "likely/inferred",
        "alternate route",
        "evidence \u00b7 not hop",
        "KAM HTTP"
      ]
    );
    assert.ok(doc.getElementById("graph-viewer-style"));
  });

  await t.test("the page's own graph section already holds what the viewer would build", () => {
    // Without scripts (or for a checker that reads the page) the canvas, markers, legend and button
    // are in the markup itself; the viewer then finds them instead of building them.
    const html = fs.readFileSync(path.join(ASSETS, "graph_view.html"), "utf8");
    const { doc } = loadViewer();
    const section = doc.getElementById("view-graph");
    const built = descendants(section).filter((e) => e.tagName === "marker").map((e) => e.getAttribute("id"));
    assert.deepEqual([...html.matchAll(/<marker id="([^"]+)"/g)].map((m) => m[1]), built);
    const legend = byClass(section, "lg").map((e) => e.textContent);
    assert.deepEqual([...html.matchAll(/<span class="lg"><span class="sw lg-\w+"><\/span>([^<]+)<\/span>/g)].map((m) => m[1]), legend);
    for (const piece of ['<section id="view-graph" class="view hidden">', '<svg id="graph-svg"',
      '<g id="graph-world" class="world"></g>', '<button id="graph-auto" type="button">Auto layout</button>']) {
      assert.ok(html.includes(piece), piece);
    }
  });

  await t.test("an existing placeholder section is filled, not duplicated", () => {
    const page = reportPage(graphDocument());
    const placeholder = page.doc.createElement("section");
    placeholder.setAttribute("id", "view-graph");
    placeholder.setAttribute("class", "view hidden");
    page.doc.body.appendChild(placeholder);
    runAsset("viewer.js", page.win);
    assert.equal(descendants(page.doc).filter((e) => e.getAttribute("id") === "view-graph").length, 1);
    assert.ok(placeholder.firstChild);
  });

  await t.test("one card per node and one edge group per edge, with classes, markers and tooltips", () => {
    const { doc } = loadViewer();
    const world = doc.getElementById("graph-world");
    assert.deepEqual(
      byClass(world, "node").map((g) => g.getAttribute("data-id")),
      ["app", "nic-1", "gw"]
    );
    const edges = byClass(world, "edge");
    assert.equal(edges.length, 3);
    assert.equal(edges[0].getAttribute("class"), "edge k-main confirmed");
    assert.equal(edges[1].getAttribute("class"), "edge k-main likely problem", "the gateway failed");
    assert.equal(byClass(edges[1], "cross").length, 1);
    assert.equal(byClass(edges[1], "edge-line")[0].getAttribute("marker-end"), "url(#arrow-problem)");
    assert.equal(byClass(edges[2], "edge-line")[0].getAttribute("marker-end"), "url(#arrow-problem)");
    assert.equal(
      descendants(edges[0]).find((e) => e.tagName === "title").textContent,
      "confirmed 90% \u00b7 " + HOSTILE
    );
    const nic = nodeGroup(doc, "nic-1");
    assert.ok(nic.classList.contains("sel"));
    assert.ok(texts(nic).includes("CHECK"));
    assert.equal(byClass(nic, "port-in").length, 1);
    assert.equal(byClass(nodeGroup(doc, "app"), "port-out").length, 2);
  });

  await t.test("hostile document strings stay text", () => {
    const { doc } = loadViewer();
    const all = descendants(doc);
    assert.equal(all.filter((e) => ["img", "script"].includes(e.tagName.toLowerCase())).length, 0);
    const nic = nodeGroup(doc, "nic-1");
    assert.equal(texts(nic)[0], HOSTILE.slice(0, 26) + "\u2026");
    assert.ok(
      descendants(nic)
        .find((e) => e.tagName === "title")
        .textContent.startsWith(HOSTILE + " \u00b7 ")
    );
    assert.ok(texts(nic).includes("</script><script>alert(2)</script>"));
  });

  await t.test("an empty document draws nothing and fitting leaves the view alone", () => {
    const { doc } = loadViewer({ nodes: [], edges: [] });
    const world = doc.getElementById("graph-world");
    assert.equal(byClass(world, "node").length + byClass(world, "edge").length, 0);
    const before = world.getAttribute("transform");
    doc.getElementById("graph-svg").dispatch("dblclick");
    doc.getElementById("graph-auto").dispatch("click");
    assert.equal(world.getAttribute("transform"), before);
  });

  await t.test("a page without a graph document still builds an empty view", () => {
    const page = reportPage(undefined);
    runAsset("viewer.js", page.win);
    const doc = page.doc;
    assert.equal(byClass(doc.getElementById("graph-world"), "node").length, 0);
  });
});

test("interactions", async (t) => {
  await t.test("tabs show one view and hide the other; the graph view re-lays out after 30 ms", () => {
    const { doc, win } = loadViewer();
    const [chainTab, graphTab] = doc.getElementsByTagName("button");
    graphTab.dispatch("click");
    assert.ok(doc.getElementById("view-chain").classList.contains("hidden"));
    assert.ok(!doc.getElementById("view-graph").classList.contains("hidden"));
    assert.ok(graphTab.classList.contains("on") && !chainTab.classList.contains("on"));
    assert.equal(doc.getElementById("view-graph").style.height, "798px");
    assert.deepEqual(win.runTimers(), [30]);
    chainTab.dispatch("click");
    assert.ok(doc.getElementById("view-graph").classList.contains("hidden"));
    assert.ok(
      !doc.getElementById("revealbtn").classList.contains("on"),
      "the reveal button is not a view tab"
    );
  });

  await t.test("a resize while the graph is open refits once, 20 ms after the last one", () => {
    const { doc, win } = loadViewer();
    win.fire("resize");
    assert.deepEqual(win.runTimers(), [], "the graph view is hidden");
    doc.getElementsByTagName("button")[1].dispatch("click");
    win.runTimers();
    win.fire("resize");
    win.fire("resize");
    assert.deepEqual(win.runTimers(), [20]);
  });

  await t.test("pointer-down on an expandable row opens and closes its detail card", () => {
    const { doc } = loadViewer();
    const row = () => byClass(nodeGroup(doc, "nic-1"), "expandable")[0];
    const heightOf = () => Number(byClass(nodeGroup(doc, "nic-1"), "node-card")[0].getAttribute("height"));
    const closed = heightOf();
    assert.ok(texts(row())[0].startsWith("\u25b8"));
    byClass(row(), "row-bg")[0].dispatch("pointerdown");
    const detail = byClass(nodeGroup(doc, "nic-1"), "detail");
    assert.equal(detail.length, 1);
    assert.ok(texts(detail[0]).includes("listeners") && texts(detail[0]).includes("127.0.0.1:7890"));
    assert.ok(texts(row())[0].startsWith("\u25be"));
    assert.equal(heightOf() - closed, 43 + 2 * 22 + 8 + 8);
    byClass(row(), "row-key")[0].dispatch("pointerdown");
    assert.equal(byClass(nodeGroup(doc, "nic-1"), "detail").length, 0);
    assert.equal(heightOf(), closed);
  });

  await t.test("dragging a node moves it by the pointer distance divided by the zoom", () => {
    const { doc } = loadViewer();
    const svg = doc.getElementById("graph-svg");
    const world = doc.getElementById("graph-world");
    const scale = scaleOf(world);
    const [x0, y0] = translateOf(nodeGroup(doc, "gw"));
    byClass(nodeGroup(doc, "gw"), "node-card")[0].dispatch("pointerdown", { clientX: 100, clientY: 100 });
    svg.dispatch("pointermove", { clientX: 130, clientY: 80 });
    svg.dispatch("pointerup");
    const [x1, y1] = translateOf(nodeGroup(doc, "gw"));
    assert.ok(Math.abs(x1 - x0 - 30 / scale) < 0.01 && Math.abs(y1 - y0 + 20 / scale) < 0.01);

    // A moved layout survives opening a detail; the Auto layout button restores it.
    byClass(byClass(nodeGroup(doc, "nic-1"), "expandable")[0], "row-bg")[0].dispatch("pointerdown");
    assert.deepEqual(translateOf(nodeGroup(doc, "gw")), [x1, y1]);
    doc.getElementById("graph-auto").dispatch("click");
    assert.notDeepEqual(translateOf(nodeGroup(doc, "gw")), [x1, y1]);
  });

  await t.test("dragging the background pans; the wheel zooms by 1.15 and 0.87", () => {
    const { doc } = loadViewer();
    const svg = doc.getElementById("graph-svg");
    const world = doc.getElementById("graph-world");
    const [tx, ty] = translateOf(world);
    const s = scaleOf(world);
    svg.dispatch("pointerdown", { clientX: 10, clientY: 10 });
    svg.dispatch("pointermove", { clientX: 50, clientY: 25 });
    svg.dispatch("pointerup");
    assert.deepEqual(translateOf(world), [
      Math.round((tx + 40) * 100) / 100,
      Math.round((ty + 15) * 100) / 100
    ]);
    const wheel = svg.dispatch("wheel", { deltaY: -100, clientX: 0, clientY: 0 });
    assert.ok(wheel.defaultPrevented, "the page must not scroll while zooming");
    assert.ok(Math.abs(scaleOf(world) - s * 1.15) < 1e-9);
    svg.dispatch("wheel", { deltaY: 100 });
    assert.ok(Math.abs(scaleOf(world) - s * 1.15 * 0.87) < 1e-9);
  });

  await t.test("hovering a node highlights its edges; hovering a linked row only that row's", () => {
    const { doc } = loadViewer();
    const world = doc.getElementById("graph-world");
    const lit = () => byClass(world, "edge").map((e) => e.classList.contains("hl"));
    byClass(nodeGroup(doc, "app"), "node-card")[0].dispatch("pointerover");
    assert.ok(world.classList.contains("focus"));
    assert.deepEqual(lit(), [true, false, true]);
    const policyRow = byClass(nodeGroup(doc, "app"), "row")[1];
    byClass(policyRow, "row-bg")[0].dispatch("pointerover");
    assert.deepEqual(lit(), [false, false, true]);
    doc.getElementById("graph-svg").dispatch("pointerleave");
    assert.ok(!world.classList.contains("focus"));
    assert.deepEqual(lit(), [false, false, false]);
  });
});

test("show info toggle", async (t) => {
  await t.test("non-empty values get a blurred copy over the real text; the button reveals all", () => {
    const { doc, win } = reportPage(graphDocument());
    runAsset("show_info.js", win);
    const wraps = byClass(doc, "si-wrap");
    assert.equal(
      wraps.length,
      5,
      "block row value, two table cells, key/value value, mono block; not the empty cell"
    );
    const cell = doc.querySelectorAll(".dbody td")[2];
    const real = byClass(cell, "si-real")[0];
    assert.equal(byClass(cell, "si-blur")[0].textContent, "eth0 bold");
    assert.equal(byClass(cell, "si-blur")[0].getAttribute("aria-hidden"), "true");
    assert.equal(real.childNodes[1].tagName, "b", "the real content keeps its own nodes");
    assert.equal(byClass(doc.querySelectorAll(".dbody td")[1], "si-wrap").length, 0);
    assert.ok(byClass(doc, "mono")[0].firstChild.classList.contains("si-block"));

    const button = doc.getElementById("revealbtn");
    button.dispatch("click");
    assert.ok(doc.body.classList.contains("revealed"));
    assert.equal(button.textContent, "Hide info");
    button.dispatch("click");
    assert.ok(!doc.body.classList.contains("revealed"));
    assert.equal(button.textContent, "Show info");
  });

  await t.test("values inside an already wrapped element are not wrapped twice", () => {
    const doc = new FakeDocument();
    doc.body.appendChild(
      build(doc, [
        "div",
        { class: "dbody" },
        ["table", {}, ["tr", {}, ["td", {}, ["div", { class: "mono" }, "x"]]]]
      ])
    );
    runAsset("show_info.js", makeWindow(doc));
    assert.equal(byClass(doc, "si-wrap").length, 1);
  });
});

test("asset files can be embedded in a script element", () => {
  for (const name of fs.readdirSync(ASSETS).filter((n) => n.endsWith(".js"))) {
    const text = fs.readFileSync(path.join(ASSETS, name), "utf8");
    assert.ok(!/<\/script/i.test(text), `${name} contains a closing script tag`);
    assert.ok(!text.includes("<!--"), `${name} contains an HTML comment opener`);
    assert.ok(/^[\x09\x0a\x0d\x20-\x7e]*$/.test(text), `${name} is not plain ASCII`);
  }
});
