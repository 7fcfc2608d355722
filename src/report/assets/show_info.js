// "Show info" toggle of the report: host details (addresses, names, paths) are blurred by default
// so the page can be shown on a shared screen. Each value gets a blurred copy laid over a
// transparent real text; selecting the real text still shows it, and the button reveals all.
// This file is placed verbatim inside a script element of the page; it stays ASCII and must never
// contain a closing script tag or a comment opener of HTML.
(function (global) {
  "use strict";

  var TARGETS = [".dbody td", ".kv .v", ".brows .row .v", ".mono"];
  var SHOW_TEXT = "Show info";
  var HIDE_TEXT = "Hide info";
  var REVEALED = "revealed";
  var WRAPPED_ATTR = "data-blurred";

  var STYLE_TEXT = [
    ".si-wrap{position:relative;display:inline-block;max-width:100%;vertical-align:top}",
    ".si-wrap.si-block{display:block}",
    ".si-blur{position:absolute;left:0;top:0;right:0;bottom:0;overflow:hidden;filter:blur(4px);",
    "pointer-events:none;user-select:none;-webkit-user-select:none;white-space:inherit}",
    ".si-real{color:transparent}",
    ".si-real::selection,.si-real *::selection{color:#e6edf3;background:#1f6feb}",
    "body.revealed .si-blur{display:none}",
    "body.revealed .si-real{color:inherit}"
  ].join("\n");

  function injectStyle(document) {
    if (document.getElementById("show-info-style")) return;
    var style = document.createElement("style");
    style.setAttribute("id", "show-info-style");
    style.textContent = STYLE_TEXT;
    (document.head || document.documentElement || document.body).appendChild(style);
  }

  function insideWrapped(el) {
    for (var p = el; p; p = p.parentNode) {
      if (p.getAttribute && p.getAttribute(WRAPPED_ATTR) !== null) return true;
    }
    return false;
  }

  // The element keeps its own nodes (moved, never re-parsed), so markup and text stay exactly as
  // rendered; the blurred copy is set as text only.
  function wrap(document, el) {
    var text = el.textContent || "";
    if (text.trim() === "" || insideWrapped(el)) return false;
    var block = (" " + (el.getAttribute("class") || "") + " ").indexOf(" mono ") >= 0;
    var outer = document.createElement("span");
    outer.setAttribute("class", block ? "si-wrap si-block" : "si-wrap");
    var blur = document.createElement("span");
    blur.setAttribute("class", "si-blur");
    blur.setAttribute("aria-hidden", "true");
    blur.textContent = text;
    var real = document.createElement("span");
    real.setAttribute("class", "si-real");
    while (el.firstChild) real.appendChild(el.firstChild);
    outer.appendChild(blur);
    outer.appendChild(real);
    el.appendChild(outer);
    el.setAttribute(WRAPPED_ATTR, "");
    return true;
  }

  function start(document) {
    injectStyle(document);
    var count = 0;
    TARGETS.forEach(function (selector) {
      var list = document.querySelectorAll(selector);
      for (var i = 0; i < list.length; i++) {
        if (wrap(document, list[i])) count++;
      }
    });
    var button = document.getElementById("revealbtn");
    if (button) {
      button.setAttribute("aria-pressed", "false");
      button.addEventListener("click", function () {
        var on = !document.body.classList.contains(REVEALED);
        document.body.classList.toggle(REVEALED, on);
        button.textContent = on ? HIDE_TEXT : SHOW_TEXT;
        button.setAttribute("aria-pressed", on ? "true" : "false");
      });
    }
    return count;
  }

  if (typeof module !== "undefined" && module.exports) {
    module.exports = { start: start };
  } else if (global && global.document) {
    var boot = function () {
      start(global.document);
    };
    if (global.document.readyState === "loading") global.document.addEventListener("DOMContentLoaded", boot);
    else boot();
  }
})(typeof window !== "undefined" ? window : this);
