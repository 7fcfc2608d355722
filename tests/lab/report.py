"""Reads the written HTML report the way the lab checks it: the header chips, the hash-linked default
egress chain and the graph document the viewer is driven by.

The parsers follow the page's fixed markup and fail loudly (ValueError) when it is not there, so a
changed page shows up as a failed check rather than as an empty result."""

import hashlib
import html
import json
import re

ZERO_HASH = "0" * 64

CHIP = re.compile(r'<span class="chip">([^<]*) <b(?: class="([a-z]*)")?>([^<]*)</b></span>')

BLOCK = re.compile(
    r'<div class="(block|block selected)">\n'
    r'  <div class="bhead"><span class="height">#(\d+)</span>'
    r'(|<span class="pill ok">OK</span>|<span class="pill fail">FAIL</span>)</div>\n'
    r'  <div class="btitle">([^<]*)</div>\n'
    r'  <div class="bsub">([^<]*)</div>\n'
    r'  <div class="brows">((?:<div class="row">(?:(?!</div>).)*</div>)*)</div>\n'
    r'  <div class="bfoot">\n'
    r'    <div class="hrow" title="([0-9a-f]{64})"><span class="hlab">hash</span>'
    r'<span class="hval">([0-9a-f]{14})&hellip;</span></div>\n'
    r'    <div class="hrow" title="([0-9a-f]{64})"><span class="hlab">prev</span>'
    r'<span class="hval">([0-9a-f]{14})&hellip;</span></div>\n'
    r'  </div>\n'
    r'</div>')

CONNECTOR = ('<svg class="conn" width="30" height="16" viewBox="0 0 30 16">'
             '<line x1="1" y1="8" x2="21" y2="8" stroke="#3fb950" stroke-width="2"/>'
             '<path d="M20 3 L28 8 L20 13" fill="none" stroke="#3fb950" stroke-width="2"'
             ' stroke-linecap="round" stroke-linejoin="round"/></svg>')

ROW = re.compile(r'<div class="row">((?:(?!</div>).)*)</div>')
KV_ROW = re.compile(r'<span class="k">([^<]*)</span><span class="v">([^<]*)</span>')
TAG = re.compile(r"<[^>]*>")
# The page's white space is ASCII; a no-break space in a value is text, not a separator.
SPACE_RUN = re.compile(r"[ \t\n\r\f\v]+")

GRAPH_LINE = re.compile(r"^<script>window\.ND = (.*);</script>$", re.M)


def chips(page):
    """The header chips in page order as (label, value, css class or None); values unescaped."""
    m = re.search(r'^<div class="chips">(.*)</div>$', page, re.M)
    if not m:
        raise ValueError("no chips line in the report")
    body = m.group(1)
    found = CHIP.findall(body)
    if "".join(_chip_markup(c) for c in found) != body:
        raise ValueError(f"chips line holds more than chips: {body!r}")
    return [(label, html.unescape(value), css or None) for label, css, value in found]


def _chip_markup(chip):
    label, css, value = chip
    b = f'<b class="{css}">' if css else "<b>"
    return f'<span class="chip">{label} {b}{value}</b></span>'


class Block:
    def __init__(self, m):
        self.selected = m.group(1) == "block selected"
        self.height = int(m.group(2))
        self.status = {"": "", '<span class="pill ok">OK</span>': "OK",
                       '<span class="pill fail">FAIL</span>': "FAIL"}[m.group(3)]
        self.title_markup = m.group(4)
        self.sub_markup = m.group(5)
        self.title = html.unescape(self.title_markup)
        self.sub = html.unescape(self.sub_markup)
        self.rows = ROW.findall(m.group(6))  # the fragments exactly as written
        self.hash, self.hash_shown, self.prev, self.prev_shown = m.group(7, 8, 9, 10)

    def values(self):
        """The key/value rows as a list of (key, unescaped value)."""
        pairs = []
        for row in self.rows:
            kv = KV_ROW.fullmatch(row)
            if not kv:
                raise ValueError(f"not a key/value row: {row!r}")
            pairs.append((kv.group(1), html.unescape(kv.group(2))))
        return pairs

    def __repr__(self):
        return f"Block(#{self.height} {self.title!r} {self.status} {self.values()})"


def chain(page):
    """The blocks of the default egress chain, in page order, with their connectors checked."""
    start = page.find('<h2>Default egress chain</h2><div class="chain">')
    if start < 0:
        raise ValueError("no default egress chain in the report")
    pos = start + len('<h2>Default egress chain</h2><div class="chain">')
    blocks = []
    while True:
        if blocks:
            if page.startswith("</div>", pos):
                break
            if not page.startswith(CONNECTOR, pos):
                raise ValueError(f"expected a connector after block {len(blocks) - 1}: {page[pos:pos + 80]!r}")
            pos += len(CONNECTOR)
        m = BLOCK.match(page, pos)
        if not m:
            raise ValueError(f"expected block {len(blocks)}: {page[pos:pos + 200]!r}")
        blocks.append(Block(m))
        pos = m.end()
    return blocks


def plain_row(fragment):
    """A row as the hash sees it: tags become spaces, space runs collapse, the ends are trimmed."""
    return SPACE_RUN.sub(" ", TAG.sub(" ", fragment)).strip(" ")


def block_hash(height, block, prev):
    """SHA-256 over the block's visible text and the previous hash, recomputed from the page."""
    text = (f"height={height}|title={block.title}|sub={block.sub}"
            f"|rows={'; '.join(plain_row(r) for r in block.rows)}|prev={prev}")
    return hashlib.sha256(text.encode("utf-8")).hexdigest()


def graph_text(page):
    """The graph document's JSON text as embedded for the viewer."""
    found = GRAPH_LINE.findall(page)
    if len(found) != 1:
        raise ValueError(f"expected one window.ND line, found {len(found)}")
    return found[0]


def graph(page):
    return json.loads(graph_text(page))


def json_strings(value):
    """Every string of a parsed JSON value, keys included."""
    if isinstance(value, str):
        yield value
    elif isinstance(value, list):
        for v in value:
            yield from json_strings(v)
    elif isinstance(value, dict):
        for k, v in value.items():
            yield k
            yield from json_strings(v)


def node_map(doc):
    return {n["id"]: n for n in doc["nodes"]}


def edge_set(doc):
    """The edges as (from, fromItem, to, kind, confidence, bad)."""
    return {(e["from"], e["fromItem"], e["to"], e["kind"], e["confidence"], e["bad"]) for e in doc["edges"]}


def item(node, item_id):
    found = [i for i in node["items"] if i["id"] == item_id]
    if len(found) != 1:
        raise KeyError(f"{node['id']} has {len(found)} rows {item_id!r}: {[i['id'] for i in node['items']]}")
    return found[0]


def skeleton(page):
    """The page's 37 lines, with the style sheet, the script, the chain view with its sections and the
    graph view's markup (the pieces that span lines of their own) each standing as one line."""
    lines = []
    rest = page
    spans = (("<style>\n", "\n</style>\n"), ('<section id="view-chain" class="view">\n', "\n</section>\n"),
             ('<section id="view-graph" class="view hidden">\n', "\n</section>\n"), ("<script>\n", "\n</script>\n"))
    for start, end in spans:
        head, found, tail = rest.partition(start)
        if not found or end not in tail:
            raise ValueError(f"no {start.strip()} ... {end.strip()} in the report")
        body, _, rest = tail.partition(end)
        lines += (head + start).split("\n")[:-1]
        lines += [body.replace("\n", "\\n")] + end.split("\n")[1:-1]
    lines += rest.split("\n")
    if lines[-1] != "":
        raise ValueError("the report does not end with a line break")
    return lines[:-1]
