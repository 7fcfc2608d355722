// Node-graph viewer of the report. It reads the graph document from window.ND and draws it as a
// left-to-right flow of node cards joined by curved edges.
//
// The file has two halves. The first is pure: it turns a document (plus the set of opened row
// details) into rows, heights, columns, positions, edge curves and display texts, touching no DOM,
// so that it can be checked outside a browser. The second half builds the SVG from those results
// and wires up the interactions. This file is placed verbatim inside a script element of the page;
// it stays ASCII and must never contain a closing script tag or a comment opener of HTML.
(function (global) {
  "use strict";

  var NW = 230;
  var HEADER_H = 24;
  var TOP = 49;
  var ITEM_H = 21;
  var ITEM_STEP = 24;
  var BOTTOM = 9;
  var NEST_X = 14;
  var NEST_HEADER_H = 20;
  var NEST_TOP = 43;
  var NEST_ITEM_H = 19;
  var NEST_STEP = 22;
  var NEST_BOTTOM = 8;
  var NEST_AFTER = 8;
  var H_GAP = 64;
  var X0 = 70;
  var V_GAP = 34;
  var ROOT_Y = 125;
  var EVIDENCE_LANE_DROP = 460;
  var MIN_TOP = 55;
  var PORT_R = 4.6;

  var ZOOM_IN = 1.15;
  var ZOOM_OUT = 0.87;
  var MIN_SCALE = 0.25;
  var MAX_SCALE = 2.7;
  var FIT_MARGIN = 84;
  var FIT_MAX_SCALE = 1.28;
  var FIT_MIN_SCALE = 0.22;
  var DEFAULT_VIEW_W = 1000;
  var DEFAULT_VIEW_H = 650;

  var TITLE_CHARS = 27;
  var SUB_CHARS = 37;
  var KEY_CHARS = 11;
  var KEY_CHARS_EXPANDABLE = 9;
  var PROBE_VALUE_CHARS = 17;
  var PROBE_META_CHARS = 8;
  var VALUE_CHARS = 25;
  var NESTED_VALUE_CHARS = 22;
  var NEST_TITLE_CHARS = 24;
  var NEST_SUB_CHARS = 32;
  var PROBE_VALUE_INSET = 66;

  var ELLIPSIS = "\u2026";
  var DOT_SEP = " \u00b7 ";
  var OPEN_MARK = "\u25be";
  var CLOSED_MARK = "\u25b8";

  var KIND_COLORS = {
    source: "#8b949e",
    tun: "#3fb950",
    core: "#58a6ff",
    nic: "#39c5cf",
    gw: "#d29922",
    isp: "#bc8cff",
    remote: "#a371f7",
    dns: "#ffa657",
    kam: "#f778ba",
    off: "#3d444d"
  };
  var DEFAULT_KIND_COLOR = "#58a6ff";

  var EDGE_KIND_RANK = { main: 4, policy: 3, kam: 3, likely: 2, possible: 1, alt: 0, evidence: -1 };
  var UNKNOWN_KIND_RANK = 1;

  var OWN_KIND_MARKERS = { kam: "kam", policy: "policy", evidence: "evidence", alt: "alt" };
  var CLASS_MARKERS = { confirmed: "main", likely: "likely", possible: "possible" };

  function own(obj, key) {
    return Object.prototype.hasOwnProperty.call(obj, key);
  }

  // Document values arrive from a JSON text that the page trusts only as data: anything that is
  // not the expected type is read as empty rather than breaking the drawing.
  function str(v) {
    if (typeof v === "string") return v;
    if (typeof v === "number" && isFinite(v)) return String(v);
    return "";
  }

  function isObject(v) {
    return v !== null && typeof v === "object" && !Array.isArray(v);
  }

  // Counts code points, not UTF-16 units, so a trimmed text never ends in half a surrogate pair.
  function trimText(text, n) {
    var s = str(text);
    if (s.length <= n) return s;
    var cps = Array.from(s);
    if (cps.length <= n) return s;
    return cps.slice(0, n - 1).join("") + ELLIPSIS;
  }

  function headerColor(kind) {
    var k = str(kind);
    return own(KIND_COLORS, k) ? KIND_COLORS[k] : DEFAULT_KIND_COLOR;
  }

  function statusClass(status) {
    var s = str(status).toLowerCase();
    return s === "ok" || s === "fail" || s === "down" || s === "warn" ? s : "";
  }

  function statusText(status) {
    var s = str(status);
    return s.toUpperCase() === "WARN" ? "CHECK" : s;
  }

  function edgeKindRank(kind) {
    var k = str(kind);
    return own(EDGE_KIND_RANK, k) ? EDGE_KIND_RANK[k] : UNKNOWN_KIND_RANK;
  }

  function edgeConfidence(edge) {
    var c = edge.confidence;
    return typeof c === "number" && isFinite(c) ? c : 1;
  }

  function confidenceClass(kind, confidence) {
    if (kind === "alt") return "alt";
    if (confidence >= 0.8) return "confirmed";
    if (confidence >= 0.5) return "likely";
    return "possible";
  }

  function isDownStatus(status) {
    var s = str(status).toUpperCase();
    return s === "FAIL" || s === "DOWN";
  }

  function arrowName(kind, cls, problem) {
    if (problem) return "problem";
    if (own(OWN_KIND_MARKERS, kind)) return OWN_KIND_MARKERS[kind];
    return own(CLASS_MARKERS, cls) ? CLASS_MARKERS[cls] : "main";
  }

  function edgeTooltip(problem, cls, confidence, evidence) {
    var text =
      (problem ? "problem/disconnected" + DOT_SEP : "") + cls + " " + Math.round(confidence * 100) + "%";
    return evidence ? text + DOT_SEP + evidence : text;
  }

  function readItem(raw) {
    var it = isObject(raw) ? raw : {};
    var detail = null;
    if (isObject(it.detail)) {
      detail = {
        label: str(it.detail.label),
        sub: str(it.detail.sub),
        kind: str(it.detail.kind),
        status: str(it.detail.status),
        items: Array.isArray(it.detail.items) ? it.detail.items.map(readItem) : []
      };
    }
    return {
      id: str(it.id),
      k: str(it.k),
      v: str(it.v),
      status: str(it.status),
      meta: str(it.meta),
      role: str(it.role) || "prop",
      probe: it.probe === true,
      detail: detail,
      synthetic: false
    };
  }

  function syntheticInRow(parentLabel) {
    return {
      id: "",
      k: "in",
      v: parentLabel,
      status: "",
      meta: "",
      role: "in",
      probe: false,
      detail: null,
      synthetic: true
    };
  }

  // Incoming edges take the first rows so that every parent gets a row of its own to land on;
  // the node's own address stands in for the first of them.
  function arrangeRows(items, incomingLabels) {
    var addr = [];
    var out = [];
    var other = [];
    items.forEach(function (it) {
      if (it.role === "addr") addr.push(it);
      else if (it.role === "out") out.push(it);
      else other.push(it);
    });
    var rows = [];
    if (incomingLabels.length > 0) {
      rows.push(addr.length > 0 ? addr.shift() : syntheticInRow(incomingLabels[0]));
      for (var i = 1; i < incomingLabels.length; i++) rows.push(syntheticInRow(incomingLabels[i]));
    }
    return rows.concat(addr, out, other);
  }

  // The model: nodes with their arranged rows and edges resolved to node and row indexes. Edges
  // whose ends are not nodes of the document (or that loop onto their own node) cannot be drawn
  // and are left out before anything else looks at them.
  function prepare(doc) {
    var d = isObject(doc) ? doc : {};
    var rawNodes = Array.isArray(d.nodes) ? d.nodes : [];
    var rawEdges = Array.isArray(d.edges) ? d.edges : [];
    var nodes = [];
    var byId = new Map();
    rawNodes.forEach(function (raw) {
      if (!isObject(raw)) return;
      var id = str(raw.id);
      if (byId.has(id)) return;
      byId.set(id, nodes.length);
      nodes.push({
        index: nodes.length,
        id: id,
        label: str(raw.label),
        sub: str(raw.sub),
        kind: str(raw.kind),
        status: str(raw.status),
        sel: raw.sel === true,
        lane: str(raw.layoutLane),
        items: Array.isArray(raw.items) ? raw.items.map(readItem) : [],
        incoming: [],
        outgoing: [],
        rows: []
      });
    });

    var edges = [];
    rawEdges.forEach(function (raw) {
      if (!isObject(raw)) return;
      var from = str(raw.from);
      var to = str(raw.to);
      if (!byId.has(from) || !byId.has(to) || from === to) return;
      var kind = str(raw.kind);
      var confidence = edgeConfidence(raw);
      var cls = confidenceClass(kind, confidence);
      var fromNode = nodes[byId.get(from)];
      var toNode = nodes[byId.get(to)];
      var problem =
        raw.dead === true || raw.bad === true || isDownStatus(fromNode.status) || isDownStatus(toNode.status);
      var evidence = str(raw.evidence);
      var edge = {
        index: edges.length,
        from: fromNode.index,
        to: toNode.index,
        fromItem: str(raw.fromItem),
        kind: kind,
        dead: raw.dead === true,
        bad: raw.bad === true,
        confidence: confidence,
        cls: cls,
        problem: problem,
        arrow: arrowName(kind, cls, problem),
        tooltip: edgeTooltip(problem, cls, confidence, evidence),
        evidence: evidence,
        sourceRow: -1,
        targetRow: 0
      };
      toNode.incoming.push(edge.index);
      fromNode.outgoing.push(edge.index);
      edges.push(edge);
    });

    nodes.forEach(function (node) {
      var labels = node.incoming.map(function (ei) {
        return nodes[edges[ei].from].label;
      });
      node.rows = arrangeRows(node.items, labels);
      node.incoming.forEach(function (ei, i) {
        edges[ei].targetRow = Math.min(i, node.rows.length - 1);
      });
    });
    edges.forEach(function (edge) {
      if (edge.fromItem === "") return;
      var rows = nodes[edge.from].rows;
      for (var r = 0; r < rows.length; r++) {
        if (!rows[r].synthetic && rows[r].id === edge.fromItem) {
          edge.sourceRow = r;
          return;
        }
      }
    });
    return { nodes: nodes, edges: edges };
  }

  function detailKey(nodeIndex, rowIndex) {
    return nodeIndex + ":" + rowIndex;
  }

  function isOpen(expanded, nodeIndex, rowIndex) {
    var key = detailKey(nodeIndex, rowIndex);
    return !!expanded && own(expanded, key) && !!expanded[key];
  }

  function detailCardHeight(detail) {
    return NEST_TOP + detail.items.length * NEST_STEP + NEST_BOTTOM;
  }

  // Row offsets and node heights; an opened detail card sits under its row and pushes the rows
  // below it down.
  function measure(model, expanded) {
    return model.nodes.map(function (node) {
      var rowTop = [];
      var card = [];
      var y = TOP;
      node.rows.forEach(function (row, r) {
        rowTop.push(y);
        y += ITEM_STEP;
        if (row.detail && isOpen(expanded, node.index, r)) {
          var h = detailCardHeight(row.detail);
          card.push({ top: y, h: h });
          y += h + NEST_AFTER;
        } else {
          card.push(null);
        }
      });
      return { rowTop: rowTop, card: card, h: y - (ITEM_STEP - ITEM_H) + BOTTOM };
    });
  }

  function sourcePortY(metrics, edge) {
    var m = metrics[edge.from];
    return edge.sourceRow >= 0 ? m.rowTop[edge.sourceRow] + ITEM_H / 2 : m.h / 2;
  }

  function targetPortY(metrics, edge) {
    return metrics[edge.to].rowTop[edge.targetRow] + ITEM_H / 2;
  }

  function computeDepths(model) {
    var n = model.nodes.length;
    var depth = model.nodes.map(function () {
      return 0;
    });
    for (var pass = 0; pass < n; pass++) {
      var changed = false;
      model.edges.forEach(function (e) {
        if (e.kind === "evidence") return;
        if (depth[e.to] < depth[e.from] + 1) {
          depth[e.to] = depth[e.from] + 1;
          changed = true;
        }
      });
      if (!changed) break;
    }
    model.nodes.forEach(function (node, i) {
      if (node.lane === "evidence" && depth[i] < 1) depth[i] = 1;
    });
    return depth;
  }

  // The incoming edge a node lines up with: from the deepest parent, then the strongest kind.
  function chooseAlignEdge(model, depth, node) {
    var incoming = node.incoming.map(function (ei) {
      return model.edges[ei];
    });
    var pool = incoming.filter(function (e) {
      return e.kind !== "evidence";
    });
    if (pool.length === 0) pool = incoming;
    var best = null;
    pool.forEach(function (e) {
      if (
        best === null ||
        depth[e.from] > depth[best.from] ||
        (depth[e.from] === depth[best.from] && edgeKindRank(e.kind) > edgeKindRank(best.kind))
      ) {
        best = e;
      }
    });
    return best;
  }

  // Positions (top-left corners) of every node. A parent that has not been placed yet (it sits in
  // the same or a later column, which only evidence edges and cycles allow) is read at its
  // provisional unconnected position.
  function autoLayout(model, metrics) {
    var depth = computeDepths(model);
    var pos = model.nodes.map(function (node, i) {
      return { x: X0 + depth[i] * (NW + H_GAP), y: ROOT_Y + 0.01 * i, depth: depth[i] };
    });
    var columns = new Map();
    model.nodes.forEach(function (node, i) {
      if (!columns.has(depth[i])) columns.set(depth[i], []);
      columns.get(depth[i]).push(i);
    });
    var order = Array.from(columns.keys()).sort(function (a, b) {
      return a - b;
    });
    order.forEach(function (col) {
      var members = columns.get(col).map(function (i) {
        var node = model.nodes[i];
        var edge = chooseAlignEdge(model, depth, node);
        var want =
          edge === null
            ? ROOT_Y + 0.01 * i
            : pos[edge.from].y + sourcePortY(metrics, edge) - targetPortY(metrics, edge);
        if (node.lane === "evidence") want += EVIDENCE_LANE_DROP;
        return { i: i, want: want };
      });
      members.sort(function (a, b) {
        return a.want - b.want || a.i - b.i;
      });
      var prevBottom = null;
      members.forEach(function (m) {
        var y = m.want;
        if (prevBottom !== null && y < prevBottom + V_GAP) y = prevBottom + V_GAP;
        pos[m.i].y = y;
        prevBottom = y + metrics[m.i].h;
      });
    });
    if (pos.length > 0) {
      var top = Infinity;
      pos.forEach(function (p) {
        if (p.y < top) top = p.y;
      });
      if (top < MIN_TOP) {
        pos.forEach(function (p) {
          p.y += MIN_TOP - top;
        });
      }
    }
    return pos;
  }

  function controlOffset(dx) {
    return Math.min(60, Math.max(24, 0.42 * Math.abs(dx)));
  }

  function fmt(n) {
    return String(Math.round(n * 100) / 100);
  }

  function edgeGeometry(metrics, pos, edge) {
    var x1 = pos[edge.from].x + NW;
    var y1 = pos[edge.from].y + sourcePortY(metrics, edge);
    var x2 = pos[edge.to].x;
    var y2 = pos[edge.to].y + targetPortY(metrics, edge);
    var c = controlOffset(x2 - x1);
    var d =
      "M" +
      fmt(x1) +
      " " +
      fmt(y1) +
      " C" +
      fmt(x1 + c) +
      " " +
      fmt(y1) +
      " " +
      fmt(x2 - c) +
      " " +
      fmt(y2) +
      " " +
      fmt(x2) +
      " " +
      fmt(y2);
    // With both control points offset horizontally by the same amount, the curve's middle is
    // the middle of its end points.
    return { x1: x1, y1: y1, x2: x2, y2: y2, c: c, d: d, mx: (x1 + x2) / 2, my: (y1 + y2) / 2 };
  }

  function nodeView(node) {
    return {
      title: trimText(node.label, TITLE_CHARS),
      status: statusText(node.status),
      statusClass: statusClass(node.status),
      sub: trimText(node.sub, SUB_CHARS),
      color: headerColor(node.kind),
      darkHeader: headerColor(node.kind) === KIND_COLORS.off,
      tooltip: [node.label, node.sub].filter(Boolean).join(DOT_SEP)
    };
  }

  function detailView(detail) {
    return {
      title: trimText(detail.label, NEST_TITLE_CHARS),
      status: statusText(detail.status),
      statusClass: statusClass(detail.status),
      sub: trimText(detail.sub, NEST_SUB_CHARS),
      color: headerColor(detail.kind),
      darkHeader: headerColor(detail.kind) === KIND_COLORS.off
    };
  }

  // What one row shows. Nested rows are never expandable: the card measurements leave no room
  // for a card inside a card.
  function rowView(row, nested, open) {
    var expandable = !nested && !!row.detail;
    var key = trimText(row.k, expandable ? KEY_CHARS_EXPANDABLE : KEY_CHARS);
    if (expandable) key = (open ? OPEN_MARK : CLOSED_MARK) + " " + key;
    var view = {
      key: key,
      expandable: expandable,
      probe: row.probe,
      value: "",
      meta: "",
      dot: row.status !== "",
      dotClass: statusClass(row.status),
      tooltip: [row.k, row.v, row.status, row.meta].filter(Boolean).join(DOT_SEP)
    };
    if (row.probe) {
      view.value = trimText(row.v, PROBE_VALUE_CHARS);
      view.meta = trimText(row.meta, PROBE_META_CHARS);
    } else {
      view.value = trimText(
        row.v + (row.meta ? DOT_SEP + row.meta : ""),
        nested ? NESTED_VALUE_CHARS : VALUE_CHARS
      );
    }
    return view;
  }

  function boundsOf(pos, metrics) {
    if (pos.length === 0) return null;
    var b = { minX: Infinity, minY: Infinity, maxX: -Infinity, maxY: -Infinity };
    pos.forEach(function (p, i) {
      b.minX = Math.min(b.minX, p.x);
      b.minY = Math.min(b.minY, p.y);
      b.maxX = Math.max(b.maxX, p.x + NW);
      b.maxY = Math.max(b.maxY, p.y + metrics[i].h);
    });
    return b;
  }

  // The view transform that shows the whole drawing centred; null when there is nothing to show.
  function fitTransform(bounds, width, height) {
    if (!bounds) return null;
    var w = width > 0 ? width : DEFAULT_VIEW_W;
    var h = height > 0 ? height : DEFAULT_VIEW_H;
    var spanX = Math.max(1, bounds.maxX - bounds.minX);
    var spanY = Math.max(1, bounds.maxY - bounds.minY);
    var scale = Math.min(FIT_MAX_SCALE, (w - FIT_MARGIN) / spanX, (h - FIT_MARGIN) / spanY);
    if (!(scale >= FIT_MIN_SCALE)) scale = FIT_MIN_SCALE;
    return {
      scale: scale,
      tx: w / 2 - (scale * (bounds.minX + bounds.maxX)) / 2,
      ty: h / 2 - (scale * (bounds.minY + bounds.maxY)) / 2
    };
  }

  // Zooms so that the world point under the pointer stays under it.
  function zoomAbout(view, px, py, deltaY) {
    if (!deltaY) return view;
    var scale = view.scale * (deltaY < 0 ? ZOOM_IN : ZOOM_OUT);
    scale = Math.min(MAX_SCALE, Math.max(MIN_SCALE, scale));
    var f = scale / view.scale;
    return { scale: scale, tx: px - (px - view.tx) * f, ty: py - (py - view.ty) * f };
  }

  // Everything the drawing needs, from the document and the set of opened details.
  function layoutGraph(doc, expanded) {
    var model = prepare(doc);
    var metrics = measure(model, expanded);
    var pos = autoLayout(model, metrics);
    return {
      model: model,
      metrics: metrics,
      pos: pos,
      nodes: model.nodes.map(function (node, i) {
        return {
          id: node.id,
          x: pos[i].x,
          y: pos[i].y,
          w: NW,
          h: metrics[i].h,
          depth: pos[i].depth,
          view: nodeView(node),
          rows: node.rows.map(function (row, r) {
            return {
              k: row.k,
              v: row.v,
              synthetic: row.synthetic,
              top: metrics[i].rowTop[r],
              card: metrics[i].card[r],
              view: rowView(row, false, isOpen(expanded, i, r))
            };
          })
        };
      }),
      edges: model.edges.map(function (edge) {
        var g = edgeGeometry(metrics, pos, edge);
        g.from = model.nodes[edge.from].id;
        g.to = model.nodes[edge.to].id;
        g.sourceRow = edge.sourceRow;
        g.targetRow = edge.targetRow;
        g.cls = edge.cls;
        g.problem = edge.problem;
        g.arrow = edge.arrow;
        g.tooltip = edge.tooltip;
        return g;
      })
    };
  }

  var api = {
    constants: {
      NW: NW,
      HEADER_H: HEADER_H,
      TOP: TOP,
      ITEM_H: ITEM_H,
      ITEM_STEP: ITEM_STEP,
      BOTTOM: BOTTOM,
      NEST_X: NEST_X,
      NEST_TOP: NEST_TOP,
      NEST_ITEM_H: NEST_ITEM_H,
      NEST_STEP: NEST_STEP,
      NEST_BOTTOM: NEST_BOTTOM,
      NEST_AFTER: NEST_AFTER,
      H_GAP: H_GAP,
      X0: X0,
      V_GAP: V_GAP,
      ROOT_Y: ROOT_Y,
      MIN_TOP: MIN_TOP,
      PORT_R: PORT_R
    },
    trimText: trimText,
    headerColor: headerColor,
    statusClass: statusClass,
    statusText: statusText,
    edgeKindRank: edgeKindRank,
    prepare: prepare,
    measure: measure,
    autoLayout: autoLayout,
    controlOffset: controlOffset,
    rowView: rowView,
    nodeView: nodeView,
    detailKey: detailKey,
    boundsOf: boundsOf,
    fitTransform: fitTransform,
    zoomAbout: zoomAbout,
    layoutGraph: layoutGraph
  };

  // ---- browser half -------------------------------------------------------------------------

  var SVG_NS = "http://www.w3.org/2000/svg";
  var MARKERS = [
    ["main", "#3fb950"],
    ["likely", "#d29922"],
    ["possible", "#8b949e"],
    ["alt", "#6e7681"],
    ["policy", "#58a6ff"],
    ["kam", "#f778ba"],
    ["evidence", "#bc8cff"],
    ["problem", "#f85149"],
    ["bad", "#f85149"]
  ];
  var LEGEND = [
    ["main", "observed route"],
    ["policy", "proxy policy"],
    ["likely", "likely/inferred"],
    ["alt", "alternate route"],
    ["evidence", "evidence \u00b7 not hop"],
    ["kam", "KAM HTTP"]
  ];

  var STYLE_TEXT = [
    "#view-graph.hidden{display:none}",
    "#view-graph{position:relative;height:78vh;min-height:320px;background:#0d1117;border:1px solid #30363d;border-radius:8px;overflow:hidden}",
    "#graph-svg{display:block;width:100%;height:100%;cursor:grab;user-select:none;touch-action:none;font-family:Segoe UI,system-ui,sans-serif}",
    "#graph-svg.panning{cursor:grabbing}",
    "#graph-bar{position:absolute;left:10px;top:8px;right:10px;display:flex;flex-wrap:wrap;gap:6px 14px;align-items:center;pointer-events:none;font:12px Segoe UI,system-ui,sans-serif;color:#8b949e}",
    "#graph-bar button{pointer-events:auto}",
    "#graph-auto{background:#21262d;color:#c9d1d9;border:1px solid #30363d;border-radius:6px;padding:3px 10px;font:inherit;cursor:pointer}",
    "#graph-auto:hover{border-color:#58a6ff}",
    ".graph-legend{display:flex;flex-wrap:wrap;gap:4px 12px}",
    ".graph-legend .lg{display:inline-flex;align-items:center;gap:5px}",
    ".graph-legend .sw{display:inline-block;width:22px;border-top:2px solid #3fb950}",
    ".graph-legend .sw.lg-policy{border-top:2px dashed #58a6ff}",
    ".graph-legend .sw.lg-likely{border-top:2px dashed #d29922}",
    ".graph-legend .sw.lg-alt{border-top:2px dashed #6e7681}",
    ".graph-legend .sw.lg-evidence{border-top:2px dotted #bc8cff}",
    ".graph-legend .sw.lg-kam{border-top:2px solid #f778ba}",
    "#graph-svg .node-card{fill:#161b22;stroke:#30363d;stroke-width:1}",
    "#graph-svg .node.sel .node-card{stroke:#3fb950;stroke-width:2.4}",
    "#graph-svg .node{cursor:move}",
    "#graph-svg .node-title{fill:#0d1117;font-size:12px;font-weight:600}",
    "#graph-svg .node-status{fill:#c9d1d9;font-size:10px;font-weight:700}",
    "#graph-svg .node-sub{fill:#8b949e;font-size:10px}",
    "#graph-svg .row-bg{fill:#0d1117;stroke:#21262d}",
    "#graph-svg .row.linked .row-bg{stroke:#30363d}",
    "#graph-svg .row.expandable{cursor:pointer}",
    "#graph-svg .row.expandable .row-bg{fill:#11161d;stroke:#30363d}",
    "#graph-svg .row.expandable:hover .row-bg{stroke:#58a6ff}",
    "#graph-svg .row-key{fill:#8b949e;font-size:10.5px}",
    "#graph-svg .row-val{fill:#c9d1d9;font-size:10.5px}",
    "#graph-svg .row-meta{fill:#8b949e;font-size:9.5px}",
    "#graph-svg .dot{fill:#6e7681}",
    "#graph-svg .port{fill:#161b22;stroke:#8b949e;stroke-width:1.4}",
    "#graph-svg .detail-card{fill:#0f141a;stroke:#30363d}",
    "#graph-svg .detail-title{fill:#0d1117;font-size:10.5px;font-weight:600}",
    "#graph-svg .detail-status{fill:#c9d1d9;font-size:9px;font-weight:700}",
    "#graph-svg .detail-sub{fill:#8b949e;font-size:9.5px}",
    "#graph-svg .node-title.light,#graph-svg .detail-title.light{fill:#e6edf3}",
    "#graph-svg .status-pill{fill:#0d1117;fill-opacity:.88}",
    "#graph-svg .node-status.ok,#graph-svg .detail-status.ok{fill:#3fb950}",
    "#graph-svg .node-status.warn,#graph-svg .detail-status.warn{fill:#d29922}",
    "#graph-svg .node-status.fail,#graph-svg .detail-status.fail{fill:#f85149}",
    "#graph-svg .node-status.down,#graph-svg .detail-status.down{fill:#ff7b72}",
    "#graph-svg .dot.ok{fill:#3fb950}#graph-svg .dot.warn{fill:#d29922}#graph-svg .dot.fail{fill:#f85149}#graph-svg .dot.down{fill:#da3633}",
    "#graph-svg .node.fail .node-card,#graph-svg .node.down .node-card{stroke:#f85149}",
    "#graph-svg .node.warn .node-card{stroke:#9e6a03}",
    "#graph-svg .edge path.edge-line{fill:none;stroke-width:2;stroke:#3fb950}",
    "#graph-svg .edge path.edge-hit{fill:none;stroke:transparent;stroke-width:10}",
    "#graph-svg .edge.likely path.edge-line{stroke:#d29922;stroke-dasharray:7 4}",
    "#graph-svg .edge.possible path.edge-line{stroke:#8b949e;stroke-dasharray:3 4}",
    "#graph-svg .edge.alt path.edge-line{stroke:#6e7681;stroke-dasharray:8 5}",
    "#graph-svg .edge.k-policy path.edge-line{stroke:#58a6ff;stroke-dasharray:6 4}",
    "#graph-svg .edge.k-kam path.edge-line{stroke:#f778ba}",
    "#graph-svg .edge.k-evidence path.edge-line{stroke:#bc8cff;stroke-dasharray:2 4;stroke-width:1.6}",
    "#graph-svg .edge.problem path.edge-line{stroke:#f85149}",
    "#graph-svg .edge .cross{stroke:#f85149;stroke-width:2.2;stroke-linecap:round}",
    "#graph-svg .world.focus .edge{opacity:.12}",
    "#graph-svg .world.focus .edge.hl{opacity:1}",
    "#graph-svg .world.focus .edge.hl path.edge-line{stroke-width:3}"
  ].join("\n");

  function svgEl(document, tag, attrs, parent) {
    var el = document.createElementNS(SVG_NS, tag);
    if (attrs) {
      Object.keys(attrs).forEach(function (k) {
        el.setAttribute(k, String(attrs[k]));
      });
    }
    if (parent) parent.appendChild(el);
    return el;
  }

  function htmlEl(document, tag, attrs, parent) {
    var el = document.createElement(tag);
    if (attrs) {
      Object.keys(attrs).forEach(function (k) {
        el.setAttribute(k, String(attrs[k]));
      });
    }
    if (parent) parent.appendChild(el);
    return el;
  }

  function svgText(document, parent, text, attrs) {
    var t = svgEl(document, "text", attrs, parent);
    t.textContent = text;
    return t;
  }

  function svgTitle(document, parent, text) {
    var t = svgEl(document, "title", null, parent);
    t.textContent = text;
    return t;
  }

  function clearChildren(el) {
    while (el.firstChild) el.removeChild(el.firstChild);
  }

  function injectStyle(document) {
    if (document.getElementById("graph-viewer-style")) return;
    var style = document.createElement("style");
    style.setAttribute("id", "graph-viewer-style");
    style.textContent = STYLE_TEXT;
    (document.head || document.documentElement || document.body).appendChild(style);
  }

  function buildDefs(document, svg) {
    var defs = svgEl(document, "defs", null, svg);
    MARKERS.forEach(function (m) {
      var marker = svgEl(
        document,
        "marker",
        {
          id: "arrow-" + m[0],
          viewBox: "0 0 10 10",
          refX: 9,
          refY: 5,
          markerWidth: 7,
          markerHeight: 7,
          markerUnits: "strokeWidth",
          orient: "auto"
        },
        defs
      );
      if (m[0] === "bad") {
        svgEl(
          document,
          "path",
          { d: "M2 2 L8 8 M8 2 L2 8", stroke: m[1], "stroke-width": 2, fill: "none" },
          marker
        );
      } else if (m[0] === "evidence") {
        svgEl(document, "circle", { cx: 6, cy: 5, r: 3.2, fill: m[1] }, marker);
      } else {
        svgEl(document, "path", { d: "M0 0 L10 5 L0 10 z", fill: m[1] }, marker);
      }
    });
  }

  // The graph view is normally part of the page; when the page carries only an empty placeholder
  // (or none at all) the viewer builds it, so the drawing never depends on markup kept elsewhere.
  function ensureSection(document) {
    var section = document.getElementById("view-graph");
    if (!section) {
      section = document.createElement("section");
      section.setAttribute("id", "view-graph");
      section.setAttribute("class", "view hidden");
      var chain = document.getElementById("view-chain");
      if (chain && chain.parentNode) chain.parentNode.insertBefore(section, chain.nextSibling);
      else (document.getElementsByTagName("main")[0] || document.body).appendChild(section);
    }
    var svg = document.getElementById("graph-svg");
    if (!svg) {
      svg = svgEl(document, "svg", { id: "graph-svg", role: "img", "aria-label": "Node graph" }, section);
      buildDefs(document, svg);
      svgEl(document, "g", { id: "graph-world", class: "world" }, svg);
    }
    var world = document.getElementById("graph-world");
    if (!world) world = svgEl(document, "g", { id: "graph-world", class: "world" }, svg);
    var button = document.getElementById("graph-auto");
    if (!button) {
      var bar = htmlEl(document, "div", { id: "graph-bar" }, section);
      var legend = htmlEl(document, "div", { class: "graph-legend" }, bar);
      LEGEND.forEach(function (entry) {
        var item = htmlEl(document, "span", { class: "lg" }, legend);
        htmlEl(document, "span", { class: "sw lg-" + entry[0] }, item);
        item.appendChild(document.createTextNode(entry[1]));
      });
      button = htmlEl(document, "button", { id: "graph-auto", type: "button" }, bar);
      button.textContent = "Auto layout";
    }
    return { section: section, svg: svg, world: world, button: button };
  }

  function createViewer(win, document) {
    var model = prepare(win.ND);
    var ui = ensureSection(document);
    var svg = ui.svg;
    var world = ui.world;
    var state = {
      expanded: {},
      manual: false,
      metrics: [],
      pos: [],
      view: { scale: 1, tx: 0, ty: 0 },
      drag: null
    };
    var nodeEls = [];
    var edgeEls = [];

    function relayout() {
      state.metrics = measure(model, state.expanded);
      state.pos = autoLayout(model, state.metrics);
      state.manual = false;
    }

    function applyView() {
      var v = state.view;
      world.setAttribute(
        "transform",
        "translate(" + fmt(v.tx) + " " + fmt(v.ty) + ") scale(" + v.scale + ")"
      );
    }

    // A hidden view measures 0 x 0; fitting then falls back to the default size.
    function viewSize() {
      var rect = svg.getBoundingClientRect ? svg.getBoundingClientRect() : null;
      return { w: rect ? rect.width : 0, h: rect ? rect.height : 0 };
    }

    function fit() {
      var size = viewSize();
      var t = fitTransform(boundsOf(state.pos, state.metrics), size.w, size.h);
      if (!t) return;
      state.view = t;
      applyView();
    }

    function drawRow(parent, row, view, width, top, height, attrs) {
      var cls =
        "row" +
        (view.expandable ? " expandable" : "") +
        (attrs.open ? " open" : "") +
        (attrs.linked ? " linked" : "");
      var g = svgEl(document, "g", { class: cls, transform: "translate(0 " + top + ")" }, parent);
      Object.keys(attrs.data).forEach(function (k) {
        g.setAttribute(k, String(attrs.data[k]));
      });
      svgTitle(document, g, view.tooltip);
      svgEl(document, "rect", { class: "row-bg", x: 6, y: 0, width: width - 12, height: height, rx: 4 }, g);
      var mid = height / 2 + 3.6;
      svgText(document, g, view.key, { class: "row-key", x: 12, y: mid });
      if (view.probe) {
        var vx = width - PROBE_VALUE_INSET;
        svgText(document, g, view.value, { class: "row-val", x: vx, y: mid, "text-anchor": "end" });
        svgEl(document, "circle", { class: "dot " + view.dotClass, cx: vx + 8, cy: height / 2, r: 3.5 }, g);
        svgText(document, g, view.meta, { class: "row-meta", x: vx + 15, y: mid });
      } else {
        svgText(document, g, view.value, {
          class: "row-val",
          x: width - (view.dot ? 18 : 10),
          y: mid,
          "text-anchor": "end"
        });
        if (view.dot)
          svgEl(
            document,
            "circle",
            { class: "dot " + view.dotClass, cx: width - 10, cy: height / 2, r: 3.5 },
            g
          );
      }
      return g;
    }

    function drawHeader(parent, v, width, height, prefix) {
      var r = 8;
      svgEl(
        document,
        "path",
        {
          class: prefix + "-head",
          d:
            "M0 " +
            height +
            " V" +
            r +
            " Q0 0 " +
            r +
            " 0 H" +
            (width - r) +
            " Q" +
            width +
            " 0 " +
            width +
            " " +
            r +
            " V" +
            height +
            " Z",
          fill: v.color
        },
        parent
      );
      svgText(document, parent, v.title, {
        class: prefix + "-title" + (v.darkHeader ? " light" : ""),
        x: 9,
        y: height / 2 + 4
      });
      if (v.status) {
        // A dark pill behind the status keeps its status colour readable on any header colour.
        var pw = Array.from(v.status).length * 6.4 + 10;
        svgEl(
          document,
          "rect",
          {
            class: "status-pill",
            x: width - 5 - pw,
            y: 4,
            width: pw,
            height: height - 8,
            rx: (height - 8) / 2
          },
          parent
        );
        svgText(document, parent, v.status, {
          class: prefix + "-status" + (v.statusClass ? " " + v.statusClass : ""),
          x: width - 5 - pw / 2,
          y: height / 2 + 3.6,
          "text-anchor": "middle"
        });
      }
    }

    function drawDetail(parent, row, card, rowIndex) {
      var width = NW - 2 * NEST_X;
      var g = svgEl(
        document,
        "g",
        { class: "detail", "data-detail": rowIndex, transform: "translate(" + NEST_X + " " + card.top + ")" },
        parent
      );
      svgEl(document, "rect", { class: "detail-card", x: 0, y: 0, width: width, height: card.h, rx: 7 }, g);
      var v = detailView(row.detail);
      drawHeader(g, v, width, NEST_HEADER_H, "detail");
      svgText(document, g, v.sub, { class: "detail-sub", x: 9, y: 35 });
      row.detail.items.forEach(function (item, k) {
        drawRow(g, item, rowView(item, true, false), width, NEST_TOP + k * NEST_STEP, NEST_ITEM_H, {
          data: { "data-nrow": k },
          open: false,
          linked: false
        });
      });
    }

    function drawNode(layer, node, i) {
      var pos = state.pos[i];
      var m = state.metrics[i];
      var v = nodeView(node);
      var cls = "node" + (node.sel ? " sel" : "") + (v.statusClass ? " " + v.statusClass : "");
      var g = svgEl(
        document,
        "g",
        {
          class: cls,
          "data-node": i,
          "data-id": node.id,
          transform: "translate(" + fmt(pos.x) + " " + fmt(pos.y) + ")"
        },
        layer
      );
      svgEl(document, "rect", { class: "node-card", x: 0, y: 0, width: NW, height: m.h, rx: 8 }, g);
      var head = svgEl(document, "g", { class: "node-header" }, g);
      svgTitle(document, head, v.tooltip);
      drawHeader(head, v, NW, HEADER_H, "node");
      svgText(document, g, v.sub, { class: "node-sub", x: 9, y: 40 });
      node.rows.forEach(function (row, r) {
        var incoming = node.incoming.some(function (ei) {
          return model.edges[ei].targetRow === r;
        });
        var outgoing = node.outgoing.some(function (ei) {
          return model.edges[ei].sourceRow === r;
        });
        var open = isOpen(state.expanded, i, r);
        var rg = drawRow(g, row, rowView(row, false, open), NW, m.rowTop[r], ITEM_H, {
          data: { "data-row": r },
          open: open && !!row.detail,
          linked: incoming || outgoing
        });
        if (incoming)
          svgEl(document, "circle", { class: "port port-in", cx: 0, cy: ITEM_H / 2, r: PORT_R }, rg);
        if (outgoing)
          svgEl(document, "circle", { class: "port port-out", cx: NW, cy: ITEM_H / 2, r: PORT_R }, rg);
        if (m.card[r]) drawDetail(g, row, m.card[r], r);
      });
      return g;
    }

    function placeEdge(entry) {
      var geo = edgeGeometry(state.metrics, state.pos, entry.edge);
      entry.hit.setAttribute("d", geo.d);
      entry.line.setAttribute("d", geo.d);
      if (entry.cross) {
        var s = 5;
        entry.cross.setAttribute(
          "d",
          "M" +
            fmt(geo.mx - s) +
            " " +
            fmt(geo.my - s) +
            " L" +
            fmt(geo.mx + s) +
            " " +
            fmt(geo.my + s) +
            " M" +
            fmt(geo.mx + s) +
            " " +
            fmt(geo.my - s) +
            " L" +
            fmt(geo.mx - s) +
            " " +
            fmt(geo.my + s)
        );
      }
    }

    function draw() {
      clearChildren(world);
      world.setAttribute("class", "world");
      nodeEls = [];
      edgeEls = [];
      var edgeLayer = svgEl(document, "g", { class: "edges" }, world);
      var nodeLayer = svgEl(document, "g", { class: "nodes" }, world);
      model.edges.forEach(function (edge) {
        var cls =
          "edge k-" +
          (own(EDGE_KIND_RANK, edge.kind) ? edge.kind : "other") +
          " " +
          edge.cls +
          (edge.problem ? " problem" : "");
        var g = svgEl(
          document,
          "g",
          {
            class: cls,
            "data-edge": edge.index,
            "data-from": model.nodes[edge.from].id,
            "data-to": model.nodes[edge.to].id
          },
          edgeLayer
        );
        svgTitle(document, g, edge.tooltip);
        var entry = {
          edge: edge,
          g: g,
          hit: svgEl(document, "path", { class: "edge-hit" }, g),
          line: svgEl(
            document,
            "path",
            { class: "edge-line", "marker-end": "url(#arrow-" + edge.arrow + ")" },
            g
          ),
          cross: edge.problem ? svgEl(document, "path", { class: "cross" }, g) : null
        };
        placeEdge(entry);
        edgeEls.push(entry);
      });
      model.nodes.forEach(function (node, i) {
        nodeEls.push(drawNode(nodeLayer, node, i));
      });
      applyView();
    }

    function highlight(pick) {
      if (!pick) {
        world.classList.remove("focus");
        edgeEls.forEach(function (entry) {
          entry.g.classList.remove("hl");
        });
        return;
      }
      world.classList.add("focus");
      edgeEls.forEach(function (entry) {
        entry.g.classList.toggle("hl", pick(entry.edge));
      });
    }

    function hitInfo(target) {
      var info = { node: null, row: null, nested: false };
      for (var el = target; el && el !== svg; el = el.parentNode) {
        if (!el.getAttribute) continue;
        if (el.getAttribute("data-detail") !== null) info.nested = true;
        var row = el.getAttribute("data-row");
        if (row !== null && info.row === null && !info.nested) info.row = Number(row);
        var node = el.getAttribute("data-node");
        if (node !== null) {
          info.node = Number(node);
          return info;
        }
      }
      info.row = null;
      return info;
    }

    function rowIsLinked(i, r) {
      return model.edges.some(function (e) {
        return (e.to === i && e.targetRow === r) || (e.from === i && e.sourceRow === r);
      });
    }

    function onOver(e) {
      if (state.drag) return;
      var info = hitInfo(e.target);
      if (info.node === null) {
        highlight(null);
        return;
      }
      var i = info.node;
      var r = info.row;
      if (r !== null && !info.nested && rowIsLinked(i, r)) {
        highlight(function (edge) {
          return (edge.to === i && edge.targetRow === r) || (edge.from === i && edge.sourceRow === r);
        });
      } else {
        highlight(function (edge) {
          return edge.from === i || edge.to === i;
        });
      }
    }

    function toggleDetail(i, r) {
      var key = detailKey(i, r);
      if (state.expanded[key]) delete state.expanded[key];
      else state.expanded[key] = true;
      state.metrics = measure(model, state.expanded);
      if (!state.manual) state.pos = autoLayout(model, state.metrics);
      draw();
    }

    function onDown(e) {
      if (typeof e.button === "number" && e.button !== 0) return;
      var info = hitInfo(e.target);
      if (info.node !== null && info.row !== null && !info.nested) {
        var row = model.nodes[info.node].rows[info.row];
        if (row && row.detail) {
          if (e.preventDefault) e.preventDefault();
          toggleDetail(info.node, info.row);
          return;
        }
      }
      state.drag = { node: info.node, x: e.clientX, y: e.clientY };
      if (info.node === null) svg.classList.add("panning");
      if (svg.setPointerCapture && e.pointerId !== undefined) {
        try {
          svg.setPointerCapture(e.pointerId);
        } catch (err) {
          // capture is a convenience; dragging still works while the pointer stays over the canvas
        }
      }
    }

    function onMove(e) {
      var drag = state.drag;
      if (!drag) return;
      var dx = e.clientX - drag.x;
      var dy = e.clientY - drag.y;
      drag.x = e.clientX;
      drag.y = e.clientY;
      if (!dx && !dy) return;
      if (drag.node === null) {
        state.view = { scale: state.view.scale, tx: state.view.tx + dx, ty: state.view.ty + dy };
        applyView();
        return;
      }
      var p = state.pos[drag.node];
      p.x += dx / state.view.scale;
      p.y += dy / state.view.scale;
      state.manual = true;
      nodeEls[drag.node].setAttribute("transform", "translate(" + fmt(p.x) + " " + fmt(p.y) + ")");
      edgeEls.forEach(function (entry) {
        if (entry.edge.from === drag.node || entry.edge.to === drag.node) placeEdge(entry);
      });
    }

    function onUp(e) {
      if (!state.drag) return;
      state.drag = null;
      svg.classList.remove("panning");
      if (svg.releasePointerCapture && e && e.pointerId !== undefined) {
        try {
          svg.releasePointerCapture(e.pointerId);
        } catch (err) {
          // the capture may already be gone when the pointer was cancelled
        }
      }
    }

    function onWheel(e) {
      if (e.preventDefault) e.preventDefault();
      var rect = svg.getBoundingClientRect ? svg.getBoundingClientRect() : { left: 0, top: 0 };
      state.view = zoomAbout(state.view, e.clientX - rect.left, e.clientY - rect.top, e.deltaY);
      applyView();
    }

    function onDoubleClick(e) {
      if (hitInfo(e.target).node === null) fit();
    }

    function autoLayoutAndFit() {
      relayout();
      draw();
      fit();
    }

    svg.addEventListener("pointerdown", onDown);
    svg.addEventListener("pointermove", onMove);
    svg.addEventListener("pointerup", onUp);
    svg.addEventListener("pointercancel", onUp);
    svg.addEventListener("pointerover", onOver);
    svg.addEventListener("pointerleave", function () {
      highlight(null);
    });
    svg.addEventListener("wheel", onWheel, { passive: false });
    svg.addEventListener("dblclick", onDoubleClick);
    ui.button.addEventListener("click", autoLayoutAndFit);

    relayout();
    draw();
    fit();

    return {
      section: ui.section,
      fit: fit,
      autoLayoutAndFit: autoLayoutAndFit,
      isManual: function () {
        return state.manual;
      }
    };
  }

  function viewTabs(document) {
    var buttons = document.getElementsByTagName("button");
    var tabs = [];
    for (var i = 0; i < buttons.length; i++) {
      if (buttons[i].getAttribute("data-view") !== null) tabs.push(buttons[i]);
    }
    return tabs;
  }

  // A footer fixed to the window's bottom lies over whatever is under it; the canvas must end where
  // it begins, or fitting centres the drawing partly behind it.
  function fixedFooterHeight(win, document) {
    var footer = document.getElementsByTagName("footer")[0];
    if (!footer || !footer.getBoundingClientRect || !win.getComputedStyle) return 0;
    if (win.getComputedStyle(footer).position !== "fixed") return 0;
    return footer.getBoundingClientRect().height;
  }

  // The graph view takes the whole window height under the tab bar (and above a fixed footer) so
  // the canvas is as large as the screen allows. A resize only re-sizes it; it does not scroll.
  function placeGraphView(win, document, section, tabs, scroll) {
    var bar = tabs.length > 0 ? tabs[0].parentNode : null;
    var barH = bar && bar.getBoundingClientRect ? bar.getBoundingClientRect().height : 0;
    var h = Math.max(320, (win.innerHeight || DEFAULT_VIEW_H) - barH - fixedFooterHeight(win, document) - 2);
    section.style.height = Math.round(h) + "px";
    if (scroll && bar && bar.scrollIntoView) bar.scrollIntoView({ block: "start" });
  }

  function start(win, document) {
    injectStyle(document);
    var viewer = createViewer(win, document);
    var tabs = viewTabs(document);
    var resizeTimer = null;

    function show(name) {
      tabs.forEach(function (tab) {
        var v = tab.getAttribute("data-view");
        tab.classList.toggle("on", v === name);
        var section = document.getElementById("view-" + v);
        if (section) section.classList.toggle("hidden", v !== name);
      });
      if (name !== "graph") return;
      placeGraphView(win, document, viewer.section, tabs, true);
      win.setTimeout(function () {
        if (viewer.isManual()) viewer.fit();
        else viewer.autoLayoutAndFit();
      }, 30);
    }

    tabs.forEach(function (tab) {
      tab.addEventListener("click", function () {
        show(tab.getAttribute("data-view"));
      });
    });
    win.addEventListener("resize", function () {
      if (viewer.section.classList.contains("hidden")) return;
      if (resizeTimer !== null) win.clearTimeout(resizeTimer);
      resizeTimer = win.setTimeout(function () {
        resizeTimer = null;
        placeGraphView(win, document, viewer.section, tabs, false);
        viewer.fit();
      }, 20);
    });
    return viewer;
  }

  api.start = start;

  if (typeof module !== "undefined" && module.exports) {
    module.exports = api;
  } else if (global && global.document) {
    var boot = function () {
      start(global, global.document);
    };
    if (global.document.readyState === "loading") global.document.addEventListener("DOMContentLoaded", boot);
    else boot();
  }
})(typeof window !== "undefined" ? window : this);
