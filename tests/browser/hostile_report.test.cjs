"use strict";
// The report of a host whose every text is markup (written by wirelux_report_tool): the texts must
// reach the reader as text in the chain, the tables, the embedded document and the graph, and none
// of them may end the script element, open a comment over the page, or add an element.

const { describe, it, before, after } = require("node:test");
const assert = require("node:assert/strict");
const b = require("./browser.cjs");

// The same text the tool puts into every field, behind a label naming the field.
const HOSTILE = `</script><img src=x onerror=window.__pwned=1><!--"'&amp;`;

async function markupState(page) {
  return page.evaluate(() => ({
    pwned: window.__pwned,
    images: document.querySelectorAll("img").length,
    handlers: Array.from(document.querySelectorAll("*")).filter((el) =>
      Array.from(el.attributes).some((a) => a.name.startsWith("on"))
    ).length,
    scripts: document.querySelectorAll("script").length,
    comments: (() => {
      const walker = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);
      let n = 0;
      while (walker.nextNode()) n++;
      return n;
    })(),
    footer: !!document.querySelector("body > footer"),
    graphForeign: Array.from(document.querySelectorAll("#graph-svg *")).filter(
      (el) => el.namespaceURI !== "http://www.w3.org/2000/svg"
    ).length
  }));
}

const CLEAN = {
  pwned: undefined,
  images: 0,
  handlers: 0,
  scripts: 2,
  comments: 0,
  footer: true,
  graphForeign: 0
};

describe("hostile report", () => {
  let browser;
  before(async () => {
    browser = await b.launch();
  });
  after(async () => {
    if (browser) await browser.close();
  });

  it("parses into the page's own structure: two scripts, no comment, no image, the footer last", async () => {
    const { page, problems, requests, url } = await b.openReport(browser, "hostile");
    assert.deepEqual(await markupState(page), CLEAN);
    assert.deepEqual(problems, []);
    assert.deepEqual(requests, [url]);
    await page.close();
  });

  it("carries the texts through the embedded graph document unchanged", async () => {
    const { page, doc } = await b.openReport(browser, "hostile");
    assert.ok(doc && doc.nodes.length >= 6, "the document survived the script element");
    const labels = doc.nodes.map((n) => n.label);
    for (const label of ["carrier", "proxy.exe", "core.exe"]) {
      const want = `${label} ${HOSTILE}`;
      assert.ok(labels.includes(want), `no exact "${label}" label in ${JSON.stringify(labels)}`);
    }
    await page.close();
  });

  it("shows every hostile field as text in the detail chain and the sections", async () => {
    const { page, problems } = await b.openReport(browser, "hostile");
    const text = await page.evaluate(() => document.body.textContent);
    const title = await page.title();
    assert.equal(title, `WireLux Report - host ${HOSTILE}`);
    const missing = [
      "host",
      "os",
      "tunnel",
      "carrier",
      "carrier description",
      "mac",
      "dns server",
      "proxy.exe",
      "proxy.exe path",
      "core.exe",
      "signal",
      "digest",
      "driver",
      "service display",
      "reason",
      "bypass",
      "winhttp"
    ].filter((label) => !text.includes(`${label} ${HOSTILE}`));
    assert.deepEqual(missing, [], "fields not shown as text");
    // The blur toggle copies each value as text, never as markup.
    await page.click("#revealbtn");
    assert.deepEqual(await markupState(page), CLEAN);
    const copies = await page.evaluate(
      (h) =>
        Array.from(document.querySelectorAll(".si-blur")).filter((el) => el.textContent.includes(h)).length,
      HOSTILE
    );
    assert.ok(copies > 5, `only ${copies} blurred copies hold the text`);
    await page.evaluate(() => document.querySelectorAll("details").forEach((d) => (d.open = true)));
    await b.pageShot(page, "hostile-chain.png");
    assert.deepEqual(problems, []);
    await page.close();
  });

  it("draws the hostile graph as text, with every detail open", async () => {
    const { page, problems, doc } = await b.openReport(browser, "hostile");
    await b.showGraph(page);
    const want = b.drawable(doc);
    assert.equal(await page.locator("#graph-world g.node").count(), want.ids.length);
    assert.equal(await page.locator("#graph-world g.edge path.edge-line").count(), want.edges.length);
    const opened = await b.expandAll(page);
    assert.ok(opened > 0, "the hostile graph has row details");
    // The opened cards push the cards under them down.
    assert.deepEqual(await b.overlappingCards(page), []);
    await page.hover("#graph-world g.node .node-header");
    await page.click("#graph-auto");
    const graph = await page.evaluate((h) => {
      const titles = Array.from(document.querySelectorAll("#graph-svg title")).map((t) => t.textContent);
      const texts = Array.from(document.querySelectorAll("#graph-svg text")).map((t) => t.textContent);
      return {
        fullTitles: titles.filter((t) => t.includes(h)).length,
        // Card texts are trimmed, so they hold the text's start.
        trimmedTexts: texts.filter((t) => t.includes("</script><img")).length
      };
    }, HOSTILE);
    assert.ok(graph.fullTitles > 5, `only ${graph.fullTitles} tooltips hold the whole text`);
    assert.ok(graph.trimmedTexts > 5, `only ${graph.trimmedTexts} card texts show the markup`);
    assert.deepEqual(await markupState(page), CLEAN);
    await page.screenshot({ path: b.artifactPath("hostile-graph.png") });
    assert.deepEqual(problems, []);
    await page.close();
  });
});
