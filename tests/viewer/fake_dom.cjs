// A small stand-in for the browser DOM, enough to run the report's scripts under node. It supports
// only what those scripts use; innerHTML throws so that any use of markup parsing fails a test.
"use strict";

const fs = require("node:fs");
const path = require("node:path");
const vm = require("node:vm");

const HTML_NS = "http://www.w3.org/1999/xhtml";

class FakeNode {
  constructor(doc) {
    this.ownerDocument = doc;
    this.parentNode = null;
    this.childNodes = [];
  }
  get firstChild() {
    return this.childNodes[0] || null;
  }
  get nextSibling() {
    if (!this.parentNode) return null;
    const siblings = this.parentNode.childNodes;
    return siblings[siblings.indexOf(this) + 1] || null;
  }
  appendChild(child) {
    return this.insertBefore(child, null);
  }
  insertBefore(child, ref) {
    if (child.parentNode) child.parentNode.removeChild(child);
    const at = ref === null || ref === undefined ? this.childNodes.length : this.childNodes.indexOf(ref);
    if (at < 0) throw new Error("insertBefore: reference is not a child");
    this.childNodes.splice(at, 0, child);
    child.parentNode = this;
    return child;
  }
  removeChild(child) {
    const at = this.childNodes.indexOf(child);
    if (at < 0) throw new Error("removeChild: not a child");
    this.childNodes.splice(at, 1);
    child.parentNode = null;
    return child;
  }
  get textContent() {
    return this.childNodes.map((c) => c.textContent).join("");
  }
  set textContent(value) {
    for (const c of this.childNodes) c.parentNode = null;
    this.childNodes = [];
    const text = String(value);
    if (text !== "") this.appendChild(new FakeText(this.ownerDocument, text));
  }
}

class FakeText extends FakeNode {
  constructor(doc, data) {
    super(doc);
    this.nodeType = 3;
    this.data = data;
  }
  get textContent() {
    return this.data;
  }
  set textContent(value) {
    this.data = String(value);
  }
}

class FakeClassList {
  constructor(el) {
    this.el = el;
  }
  names() {
    return (this.el.getAttribute("class") || "").split(/\s+/).filter(Boolean);
  }
  contains(name) {
    return this.names().includes(name);
  }
  add(name) {
    if (!this.contains(name)) this.el.setAttribute("class", this.names().concat(name).join(" "));
  }
  remove(name) {
    if (this.contains(name))
      this.el.setAttribute(
        "class",
        this.names()
          .filter((n) => n !== name)
          .join(" ")
      );
  }
  toggle(name, force) {
    const on = force === undefined ? !this.contains(name) : !!force;
    if (on) this.add(name);
    else this.remove(name);
    return on;
  }
}

class FakeElement extends FakeNode {
  constructor(doc, tag, ns) {
    super(doc);
    this.nodeType = 1;
    this.tagName = tag;
    this.namespaceURI = ns;
    this.attributes = new Map();
    this.listeners = new Map();
    this.style = {};
    this.classList = new FakeClassList(this);
    this.rect = { left: 0, top: 0, width: 0, height: 0 };
  }
  setAttribute(name, value) {
    this.attributes.set(name, String(value));
  }
  getAttribute(name) {
    return this.attributes.has(name) ? this.attributes.get(name) : null;
  }
  removeAttribute(name) {
    this.attributes.delete(name);
  }
  get id() {
    return this.getAttribute("id") || "";
  }
  get innerHTML() {
    throw new Error("innerHTML read");
  }
  set innerHTML(_) {
    throw new Error("innerHTML written");
  }
  insertAdjacentHTML() {
    throw new Error("insertAdjacentHTML used");
  }
  addEventListener(type, fn) {
    if (!this.listeners.has(type)) this.listeners.set(type, []);
    this.listeners.get(type).push(fn);
  }
  removeEventListener(type, fn) {
    const list = this.listeners.get(type) || [];
    const at = list.indexOf(fn);
    if (at >= 0) list.splice(at, 1);
  }
  // Bubbles from this element to the root, like the pointer and mouse events the scripts handle.
  dispatch(type, props = {}) {
    const event = Object.assign(
      { type, target: this, button: 0, pointerId: 1, clientX: 0, clientY: 0, defaultPrevented: false },
      props
    );
    event.preventDefault = () => {
      event.defaultPrevented = true;
    };
    for (let n = this; n; n = n.parentNode) {
      for (const fn of (n.listeners && n.listeners.get(type)) || []) fn.call(n, event);
    }
    return event;
  }
  getBoundingClientRect() {
    return this.rect;
  }
  scrollIntoView() {}
  setPointerCapture() {}
  releasePointerCapture() {}
  getElementsByTagName(tag) {
    return descendants(this).filter((e) => e.tagName.toLowerCase() === tag.toLowerCase());
  }
  querySelectorAll(selector) {
    return querySelectorAll(this, selector);
  }
}

function descendants(root) {
  const out = [];
  const walk = (n) => {
    for (const c of n.childNodes) {
      if (c instanceof FakeElement) {
        out.push(c);
        walk(c);
      }
    }
  };
  walk(root);
  return out;
}

// Compound selectors of tag, .class and [attr] joined by the descendant combinator.
function parseCompound(text) {
  const tag = (text.match(/^[a-zA-Z][\w-]*/) || [null])[0];
  const classes = [...text.matchAll(/\.([\w-]+)/g)].map((m) => m[1]);
  const attrs = [...text.matchAll(/\[([\w-]+)\]/g)].map((m) => m[1]);
  return (el) =>
    (!tag || el.tagName.toLowerCase() === tag.toLowerCase()) &&
    classes.every((c) => el.classList.contains(c)) &&
    attrs.every((a) => el.getAttribute(a) !== null);
}

function matches(el, parts) {
  if (!parts[parts.length - 1](el)) return false;
  let k = parts.length - 2;
  for (let p = el.parentNode; p && k >= 0; p = p.parentNode) {
    if (p instanceof FakeElement && parts[k](p)) k--;
  }
  return k < 0;
}

function querySelectorAll(root, selector) {
  const parts = selector.trim().split(/\s+/).map(parseCompound);
  return descendants(root).filter((el) => matches(el, parts));
}

class FakeDocument extends FakeNode {
  constructor() {
    super(null);
    this.ownerDocument = this;
    this.readyState = "complete";
    this.listeners = new Map();
    this.documentElement = this.createElement("html");
    this.appendChild(this.documentElement);
    this.head = this.documentElement.appendChild(this.createElement("head"));
    this.body = this.documentElement.appendChild(this.createElement("body"));
  }
  createElement(tag) {
    return new FakeElement(this, tag, HTML_NS);
  }
  createElementNS(ns, tag) {
    return new FakeElement(this, tag, ns);
  }
  createTextNode(text) {
    return new FakeText(this, String(text));
  }
  getElementById(id) {
    return descendants(this).find((e) => e.getAttribute("id") === id) || null;
  }
  getElementsByTagName(tag) {
    return this.documentElement.getElementsByTagName(tag);
  }
  querySelectorAll(selector) {
    return querySelectorAll(this, selector);
  }
  addEventListener(type, fn) {
    if (!this.listeners.has(type)) this.listeners.set(type, []);
    this.listeners.get(type).push(fn);
  }
}

// Builds an element tree from a compact description: [tag, {attrs}, ...children|text].
function build(doc, tree) {
  if (typeof tree === "string") return doc.createTextNode(tree);
  const [tag, attrs, ...children] = tree;
  const el = doc.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) el.setAttribute(k, v);
  for (const c of children) el.appendChild(build(doc, c));
  return el;
}

// A window whose timers run only when the test says so.
function makeWindow(doc, extra = {}) {
  const timers = [];
  const win = {
    document: doc,
    innerHeight: 800,
    innerWidth: 1200,
    listeners: new Map(),
    timers,
    setTimeout(fn, ms) {
      timers.push({ fn, ms, id: timers.length + 1, live: true });
      return timers.length;
    },
    clearTimeout(id) {
      if (timers[id - 1]) timers[id - 1].live = false;
    },
    runTimers() {
      const due = timers.filter((t) => t.live);
      for (const t of due) {
        t.live = false;
        t.fn();
      }
      return due.map((t) => t.ms);
    },
    addEventListener(type, fn) {
      if (!this.listeners.has(type)) this.listeners.set(type, []);
      this.listeners.get(type).push(fn);
    },
    fire(type) {
      for (const fn of this.listeners.get(type) || []) fn({ type });
    },
    ...extra
  };
  win.window = win;
  return win;
}

const ASSETS = path.join(__dirname, "..", "..", "src", "report", "assets");

// Runs an asset the way a page does: as a classic script whose global object is the window.
function runAsset(name, win) {
  const source = fs.readFileSync(path.join(ASSETS, name), "utf8");
  vm.createContext(win);
  vm.runInContext(source, win, { filename: name });
}

module.exports = { FakeDocument, FakeElement, build, makeWindow, runAsset, descendants, ASSETS, HTML_NS };
