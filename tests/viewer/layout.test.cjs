"use strict";
// The viewer's pure half: row arrangement, measurements, automatic layout, edge curves and
// display texts, computed from graph documents built by hand.

const test = require("node:test");
const assert = require("node:assert/strict");
const viewer = require("../../src/report/assets/viewer.js");

const C = viewer.constants;
const COLUMN = C.NW + C.H_GAP;

function item(id, k, v, role, extra = {}) {
  return { id, k, v, status: "", meta: "", role, probe: false, detail: null, ...extra };
}
function node(id, items = [], extra = {}) {
  return { id, label: id.toUpperCase(), sub: "", kind: "core", status: "", sel: false, items, ...extra };
}
function edge(from, to, kind = "main", extra = {}) {
  return { from, fromItem: "", to, kind, dead: false, bad: false, confidence: 1, evidence: "", ...extra };
}
function layout(nodes, edges, expanded) {
  return viewer.layoutGraph({ nodes, edges }, expanded);
}
function byId(result, id) {
  return result.nodes.find((n) => n.id === id);
}
function rowCentre(n, r) {
  return n.y + n.rows[r].top + C.ITEM_H / 2;
}

test("item arrangement", async (t) => {
  await t.test("two parents without an address row give two synthetic in rows, one per edge", () => {
    const res = layout(
      [
        node("a", [item("o", "out", "x", "out")]),
        node("b", [item("o", "out", "y", "out")]),
        node("c", [item("p", "note", "n", "prop"), item("o", "next", "z", "out")])
      ],
      [edge("a", "c", "main", { fromItem: "o" }), edge("b", "c", "main", { fromItem: "o" })]
    );
    const c = byId(res, "c");
    assert.deepEqual(
      c.rows.map((r) => [r.k, r.v, r.synthetic]),
      [
        ["in", "A", true],
        ["in", "B", true],
        ["next", "z", false],
        ["note", "n", false]
      ]
    );
    const [ea, eb] = res.edges;
    assert.equal([ea.targetRow, eb.targetRow].join(), "0,1");
    assert.equal(ea.y2, rowCentre(c, 0));
    assert.equal(eb.y2, rowCentre(c, 1));
    assert.notEqual(ea.y2, eb.y2);
  });

  await t.test("the first address row takes the first incoming edge; further parents add in rows", () => {
    const res = layout(
      [
        node("a"),
        node("b"),
        node("c", [
          item("p1", "pid", "1", ""),
          item("o1", "uses", "u", "out"),
          item("a1", "IPv4", "10.0.0.2", "addr"),
          item("p2", "path", "x", "prop"),
          item("a2", "IPv6", "fe80::1", "addr")
        ])
      ],
      [edge("a", "c"), edge("b", "c")]
    );
    assert.deepEqual(
      byId(res, "c").rows.map((r) => r.k),
      ["IPv4", "in", "IPv6", "uses", "pid", "path"],
      "addr first, the second parent's in row, remaining addr, out, then others in document order"
    );
    assert.equal(byId(res, "c").rows[1].v, "B");
  });

  await t.test("without incoming edges rows are addr, out, other and nothing synthetic", () => {
    const items = [
      item("p", "k1", "", "prop"),
      item("o", "k2", "", "out"),
      item("a", "k3", "", "addr"),
      { id: "n", k: "k4", v: "" }
    ];
    const res = layout([node("solo", items)], []);
    assert.deepEqual(
      byId(res, "solo").rows.map((r) => r.k),
      ["k3", "k2", "k1", "k4"]
    );
  });

  await t.test("an edge leaves from its fromItem row, or from the parent's middle", () => {
    const parent = node("p", [item("x", "first", "", "out"), item("y", "second", "", "out")]);
    const res = layout(
      [parent, node("c1"), node("c2"), node("c3")],
      [
        edge("p", "c1", "main", { fromItem: "y" }),
        edge("p", "c2"),
        edge("p", "c3", "main", { fromItem: "missing" })
      ]
    );
    const p = byId(res, "p");
    assert.equal(res.edges[0].y1, rowCentre(p, 1));
    assert.equal(res.edges[0].x1, p.x + C.NW);
    assert.equal(res.edges[1].y1, p.y + p.h / 2);
    assert.equal(res.edges[2].y1, p.y + p.h / 2);
  });

  await t.test("edges whose ends are not both nodes, or that loop, are left out entirely", () => {
    const res = layout(
      [node("a"), node("b")],
      [edge("a", "ghost"), edge("ghost", "b"), edge("a", "a"), edge("a", "b")]
    );
    assert.equal(res.edges.length, 1);
    assert.deepEqual(
      byId(res, "b").rows.map((r) => r.v),
      ["A"]
    );
    assert.equal(byId(res, "a").rows.length, 0);
  });
});

test("columns", async (t) => {
  await t.test("each non-evidence hop moves one column right", () => {
    const res = layout([node("c"), node("b"), node("a")], [edge("b", "c"), edge("a", "b")]);
    assert.deepEqual(
      ["a", "b", "c"].map((id) => byId(res, id).x),
      [C.X0, C.X0 + COLUMN, C.X0 + 2 * COLUMN]
    );
  });

  await t.test("evidence edges never push a node into a later column", () => {
    const res = layout(
      [node("a"), node("b"), node("c"), node("d")],
      [edge("a", "b"), edge("b", "c"), edge("c", "d", "evidence"), edge("c", "a", "evidence")]
    );
    assert.equal(byId(res, "d").depth, 0);
    assert.equal(byId(res, "a").depth, 0);
    assert.equal(byId(res, "c").depth, 2);
  });

  await t.test("an evidence-lane node sits at least in the second column and drops below", () => {
    const res = layout(
      [node("app"), node("ev", [], { layoutLane: "evidence" })],
      [edge("app", "ev", "evidence")]
    );
    const app = byId(res, "app");
    const ev = byId(res, "ev");
    assert.equal(ev.x, C.X0 + COLUMN);
    assert.equal(ev.y - app.y, app.h / 2 - (ev.rows[0].top + C.ITEM_H / 2) + 460);
  });

  await t.test("a cycle of main edges stops after one pass per node", () => {
    const res = layout([node("a"), node("b"), node("c")], [edge("a", "b"), edge("b", "c"), edge("c", "a")]);
    assert.deepEqual(
      res.nodes.map((n) => n.depth),
      [9, 7, 8]
    );
  });
});

test("vertical placement", async (t) => {
  await t.test("a child's target row is level with its parent's source row", () => {
    const res = layout(
      [
        node("p", [item("a", "IPv4", "", "addr"), item("o1", "r1", "", "out"), item("o2", "r2", "", "out")]),
        node("c")
      ],
      [edge("p", "c", "main", { fromItem: "o2" })]
    );
    assert.equal(res.edges[0].y1, res.edges[0].y2);
  });

  await t.test("the deepest parent is followed, then the strongest edge kind", () => {
    // q sits one column deeper than p; c follows q although p's edge comes first.
    const deep = layout(
      [node("p", [item("o", "o", "", "out")]), node("q"), node("c")],
      [edge("p", "q", "possible"), edge("p", "c", "main", { fromItem: "o" }), edge("q", "c", "possible")]
    );
    assert.equal(deep.edges[2].y1, deep.edges[2].y2);
    assert.notEqual(deep.edges[1].y1, deep.edges[1].y2);

    const ranked = layout([node("p"), node("q"), node("c")], [edge("p", "c", "alt"), edge("q", "c", "main")]);
    assert.equal(ranked.edges[1].y1, ranked.edges[1].y2);
    assert.notEqual(ranked.edges[0].y1, ranked.edges[0].y2);
  });

  await t.test("non-evidence incoming edges win over a deeper evidence parent", () => {
    const res = layout(
      [node("p"), node("d0"), node("d1"), node("c")],
      [edge("d0", "d1"), edge("d1", "c", "evidence"), edge("p", "c", "alt")]
    );
    const fromP = res.edges[2];
    assert.equal(fromP.y1, fromP.y2);
  });

  await t.test("unconnected nodes stack in document order, V_GAP apart, from ROOT_Y", () => {
    const res = layout([node("a", [item("x", "k", "v", "prop")]), node("b"), node("c")], []);
    const [a, b, c] = res.nodes;
    assert.equal(a.y, C.ROOT_Y);
    assert.equal(b.y, a.y + a.h + C.V_GAP);
    assert.equal(c.y, b.y + b.h + C.V_GAP);
    assert.equal(a.x, b.x);
  });

  await t.test("a drawing that would start above y = 55 is shifted down as a whole", () => {
    // c aligns its third row (p0's edge comes third) with the middle of p0, the topmost parent,
    // which would put c's top 10 units above the limit.
    const res = layout(
      [node("p0"), node("p1"), node("p2"), node("c")],
      [edge("p1", "c", "possible"), edge("p2", "c", "possible"), edge("p0", "c", "main")]
    );
    const top = Math.min(...res.nodes.map((n) => n.y));
    assert.equal(top, C.MIN_TOP);
    assert.equal(byId(res, "c").y, C.MIN_TOP);
    assert.equal(res.edges[2].y1, res.edges[2].y2, "the shift keeps the alignment");
    assert.equal(byId(res, "p0").y, C.ROOT_Y + 10);
  });
});

test("measurements", async (t) => {
  const detail = {
    label: "sockets",
    sub: "",
    kind: "core",
    status: "",
    items: [item("s1", "a", "1", "prop"), item("s2", "b", "2", "prop"), item("s3", "c", "3", "prop")]
  };
  const rows = [
    item("r0", "k0", "", "prop", { detail }),
    item("r1", "k1", "", "prop"),
    item("r2", "k2", "", "prop")
  ];

  await t.test("rows sit ITEM_STEP apart and the node ends BOTTOM below the last row", () => {
    const n = layout([node("n", rows)], []).nodes[0];
    assert.deepEqual(
      n.rows.map((r) => r.top),
      [C.TOP, C.TOP + C.ITEM_STEP, C.TOP + 2 * C.ITEM_STEP]
    );
    assert.equal(n.h, C.TOP + 2 * C.ITEM_STEP + C.ITEM_H + C.BOTTOM);
  });

  await t.test("an opened detail card pushes later rows and the node's end down by its size", () => {
    const closed = layout([node("n", rows)], []).nodes[0];
    const open = layout([node("n", rows)], [], { [viewer.detailKey(0, 0)]: true }).nodes[0];
    const extra = C.NEST_TOP + 3 * C.NEST_STEP + C.NEST_BOTTOM + C.NEST_AFTER;
    assert.equal(open.h - closed.h, extra);
    assert.equal(open.rows[1].top - closed.rows[1].top, extra);
    assert.deepEqual(open.rows[0].card, { top: C.TOP + C.ITEM_STEP, h: extra - C.NEST_AFTER });
    assert.equal(open.rows[0].view.key, "\u25be k0");
    assert.equal(closed.rows[0].view.key, "\u25b8 k0");
  });

  await t.test("an open key on a row without detail changes nothing", () => {
    const closed = layout([node("n", rows)], []).nodes[0];
    const bogus = layout([node("n", rows)], [], { [viewer.detailKey(0, 1)]: true }).nodes[0];
    assert.equal(bogus.h, closed.h);
  });

  await t.test("a taller node pushes the node below it in the same column", () => {
    const nodes = [node("n", rows), node("m")];
    const closed = layout(nodes, []);
    const open = layout(nodes, [], { [viewer.detailKey(0, 0)]: true });
    assert.equal(open.nodes[1].y - closed.nodes[1].y, open.nodes[0].h - closed.nodes[0].h);
  });
});

test("edges", async (t) => {
  const pair = (extra, a = {}, b = {}) =>
    layout([node("a", [], a), node("b", [], b)], [edge("a", "b", extra.kind || "main", extra)]).edges[0];

  await t.test("confidence classes, defaults and arrow heads", () => {
    assert.equal(pair({ confidence: 0.8 }).cls, "confirmed");
    assert.equal(pair({ confidence: 0.79 }).cls, "likely");
    assert.equal(pair({ confidence: 0.5 }).cls, "likely");
    assert.equal(pair({ confidence: 0.49 }).cls, "possible");
    assert.equal(pair({ confidence: undefined }).cls, "confirmed", "a missing confidence counts as 1");
    assert.equal(pair({ confidence: null }).tooltip, "confirmed 100%");
    assert.equal(pair({ kind: "alt", confidence: 0.95 }).cls, "alt");
    assert.equal(pair({ confidence: 0.6 }).arrow, "likely");
    assert.equal(pair({ confidence: 0.2 }).arrow, "possible");
    assert.equal(pair({ confidence: 0.9 }).arrow, "main");
    for (const kind of ["kam", "policy", "evidence", "alt"])
      assert.equal(pair({ kind, confidence: 0.3 }).arrow, kind);
  });

  await t.test("a problem edge: dead, bad, or an end node that failed or is down", () => {
    assert.equal(pair({}).problem, false);
    assert.equal(pair({ dead: true }).problem, true);
    assert.equal(pair({ bad: true, kind: "policy" }).arrow, "problem");
    assert.equal(pair({}, { status: "FAIL" }).problem, true);
    assert.equal(pair({}, {}, { status: "DOWN" }).problem, true);
    assert.equal(pair({}, {}, { status: "down" }).problem, true);
    assert.equal(pair({}, {}, { status: "WARN" }).problem, false);
  });

  await t.test("tooltip text", () => {
    assert.equal(
      pair({ confidence: 0.65, evidence: "listener owner" }).tooltip,
      "likely 65% \u00b7 listener owner"
    );
    assert.equal(pair({ bad: true, confidence: 0.3 }).tooltip, "problem/disconnected \u00b7 possible 30%");
    assert.equal(pair({ kind: "alt", confidence: 0.9 }).tooltip, "alt 90%");
  });

  await t.test("a cubic curve between the ports with a clamped horizontal control offset", () => {
    assert.equal(viewer.controlOffset(10), 24);
    assert.equal(viewer.controlOffset(-100), 42);
    assert.equal(viewer.controlOffset(C.H_GAP), 26.88);
    assert.equal(viewer.controlOffset(500), 60);
    const e = pair({});
    assert.equal(e.x2 - e.x1, C.H_GAP);
    assert.equal(e.d, `M${e.x1} ${e.y1} C${e.x1 + 26.88} ${e.y1} ${e.x2 - 26.88} ${e.y2} ${e.x2} ${e.y2}`);
    assert.deepEqual([e.mx, e.my], [(e.x1 + e.x2) / 2, (e.y1 + e.y2) / 2]);
  });
});

test("display texts", async (t) => {
  await t.test("a 30-character label shows its first 26 characters and an ellipsis", () => {
    const label = "abcdefghijklmnopqrstuvwxyz0123";
    const res = layout([node("n", [], { label })], []);
    assert.equal(res.nodes[0].view.title, "abcdefghijklmnopqrstuvwxyz\u2026");
    assert.equal(viewer.trimText("x".repeat(27), 27), "x".repeat(27));
  });

  await t.test("trimming counts characters, never splitting a surrogate pair", () => {
    const s = "\u{1F600}".repeat(5);
    assert.equal(viewer.trimText(s, 5), s);
    assert.equal(viewer.trimText(s, 4), "\u{1F600}".repeat(3) + "\u2026");
  });

  await t.test("header, status and sub texts", () => {
    const v = viewer.nodeView({ label: "L", sub: "s".repeat(40), kind: "gw", status: "WARN" });
    assert.equal(v.status, "CHECK");
    assert.equal(v.statusClass, "warn");
    assert.equal(v.sub, "s".repeat(36) + "\u2026");
    assert.equal(v.color, "#d29922");
    assert.equal(viewer.headerColor("dns"), "#ffa657");
    assert.equal(viewer.headerColor("mystery"), "#58a6ff");
    assert.equal(viewer.headerColor("constructor"), "#58a6ff");
    assert.equal(viewer.statusClass("Down"), "down");
    assert.equal(viewer.statusClass("BROKEN"), "");
  });

  await t.test("row keys, values and tooltips", () => {
    const row = (extra) => ({
      k: "interface-name",
      v: "v",
      status: "",
      meta: "",
      probe: false,
      detail: null,
      ...extra
    });
    assert.equal(viewer.rowView(row({}), false, false).key, "interface-\u2026");
    assert.equal(viewer.rowView(row({ detail: { items: [] } }), false, false).key, "\u25b8 interfac\u2026");
    assert.equal(
      viewer.rowView(row({ detail: { items: [] } }), true, false).expandable,
      false,
      "nested rows never expand"
    );

    const plain = viewer.rowView(row({ v: "192.168.100.200/24", meta: "dhcp lease" }), false, false);
    assert.equal(plain.value, "192.168.100.200/24 \u00b7 dhc\u2026");
    assert.equal(Array.from(plain.value).length, 25);
    const nested = viewer.rowView(row({ v: "192.168.100.200/24", meta: "dhcp lease" }), true, false);
    assert.equal(Array.from(nested.value).length, 22);

    const probe = viewer.rowView(
      row({ v: "gateway-192.168.1.1", status: "OK", meta: "12 ms", probe: true }),
      false,
      false
    );
    assert.equal(probe.value, "gateway-192.168.\u2026");
    assert.equal(probe.meta, "12 ms");
    assert.equal(probe.dotClass, "ok");

    assert.equal(
      viewer.rowView(row({ status: "FAIL", meta: "T/O" }), false, false).tooltip,
      "interface-name \u00b7 v \u00b7 FAIL \u00b7 T/O"
    );
    assert.equal(viewer.rowView(row({ v: "" }), false, false).tooltip, "interface-name");
    assert.equal(viewer.rowView(row({}), false, false).dot, false);
  });
});

test("empty and malformed documents", async (t) => {
  for (const doc of [{ nodes: [], edges: [] }, null, "text", 42, { nodes: "x", edges: {} }, {}]) {
    await t.test(`draws nothing for ${JSON.stringify(doc)}`, () => {
      const res = viewer.layoutGraph(doc);
      assert.equal(res.nodes.length, 0);
      assert.equal(res.edges.length, 0);
      assert.equal(viewer.fitTransform(viewer.boundsOf(res.pos, res.metrics), 800, 600), null);
    });
  }

  await t.test("odd field types are read as empty and duplicate ids keep the first node", () => {
    const res = viewer.layoutGraph({
      nodes: [
        null,
        { id: "a", label: 7, items: [{ k: {}, v: ["x"], role: 3, detail: "no" }] },
        { id: "a", label: "second" }
      ],
      edges: [null, { from: "a", to: "a" }]
    });
    assert.equal(res.nodes.length, 1);
    assert.equal(res.nodes[0].view.title, "7");
    assert.deepEqual(
      res.nodes[0].rows.map((r) => [r.k, r.v, r.view.expandable]),
      [["", "", false]]
    );
  });
});

test("view fitting and zoom", async (t) => {
  const bounds = { minX: 70, minY: 55, maxX: 70 + 2 * COLUMN + C.NW, maxY: 455 };

  await t.test("fits the drawing centred within the margins", () => {
    const v = viewer.fitTransform(bounds, 1200, 900);
    const spanX = bounds.maxX - bounds.minX;
    assert.equal(v.scale, Math.min(1.28, (1200 - 84) / spanX, (900 - 84) / 400));
    assert.equal(v.tx + (v.scale * (bounds.minX + bounds.maxX)) / 2, 600);
    assert.equal(v.ty + (v.scale * (bounds.minY + bounds.maxY)) / 2, 450);
  });

  await t.test("never above 1.28 nor below 0.22, and 1000 x 650 without a size", () => {
    assert.equal(viewer.fitTransform({ minX: 0, minY: 0, maxX: 230, maxY: 60 }, 3000, 3000).scale, 1.28);
    assert.equal(viewer.fitTransform({ minX: 0, minY: 0, maxX: 40000, maxY: 60 }, 800, 600).scale, 0.22);
    const d = viewer.fitTransform(bounds, 0, 0);
    assert.equal(d.scale, Math.min(1.28, (1000 - 84) / (bounds.maxX - bounds.minX), (650 - 84) / 400));
    assert.equal(d.tx + (d.scale * (bounds.minX + bounds.maxX)) / 2, 500);
  });

  await t.test("the wheel zooms about the pointer and stays within 0.25 to 2.7", () => {
    const v0 = { scale: 1, tx: 40, ty: -20 };
    const v1 = viewer.zoomAbout(v0, 300, 200, -120);
    assert.equal(v1.scale, 1.15);
    const world = (v, px) => (px - v.tx) / v.scale;
    assert.ok(Math.abs(world(v0, 300) - world(v1, 300)) < 1e-9);
    assert.ok(Math.abs((200 - v0.ty) / v0.scale - (200 - v1.ty) / v1.scale) < 1e-9);
    assert.equal(viewer.zoomAbout(v0, 0, 0, 120).scale, 0.87);
    assert.equal(viewer.zoomAbout({ scale: 2.6, tx: 0, ty: 0 }, 0, 0, -1).scale, 2.7);
    assert.equal(viewer.zoomAbout({ scale: 0.26, tx: 0, ty: 0 }, 0, 0, 1).scale, 0.25);
    assert.deepEqual(viewer.zoomAbout(v0, 1, 1, 0), v0);
  });
});
