#!/usr/bin/env python3
"""Writes the RTF recall corpus: our own documents, turned into RTF by real
writers (LibreOffice Writer, AbiWord, pandoc), each with the plain text the
same writer exports for it, the words a reader sees.
usage: make-rtf-corpus.py FOLDER
Writes FOLDER/<writer>/<name>.rtf and <name>.txt (UTF-8), sources in
FOLDER/src. Installs a missing writer with apt-get (Debian, as root)."""
import base64
import html
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

WRITERS = {"soffice": "libreoffice-writer-nogui", "abiword": "abiword", "pandoc": "pandoc"}

# Our own prose: curly quotes and apostrophes, dashes and non-breaking spaces
# as real documents hold them.
PROSE = [
    "The harbour master’s ledger shows that the western pier was dredged twice "
    "in March — once after the storm and once before the regatta. Boats drawing "
    "more than 3\u00a0m were asked to wait for the evening tide.",
    "Our bakery keeps its accounts by hand: flour, rye, butter and yeast on the "
    "left page, the day’s takings on the right. The baker writes “don’t reorder” "
    "beside anything that went stale before Thursday.",
    "Release 4.2 of the inventory service fixes the rounding of unit prices, "
    "adds an export of the warehouse shelves, and drops the old nightly "
    "reconciliation job. Customers upgrading from 3.9 must migrate first.",
    "The garden society met in the orangery on 14\u00a0May. Members agreed to "
    "plant lavender along the south wall, to replace the broken cold frame, and "
    "to hold the autumn show on the last Saturday of September.",
    "Trains on the valley line run every forty minutes between Ashford Mill and "
    "Corrie Bridge – except on Sundays, when the first departure is at 09:15 "
    "and the viaduct section is served by a replacement bus.",
    "Patients should bring their referral letter, a list of current medication "
    "and their insurance card. The clinic’s reception opens at half past seven; "
    "parking behind the pharmacy is free for the first two hours.",
    "The survey found sixty-two nesting pairs of terns on the shingle spit, "
    "eleven fewer than last year. Volunteers fenced the colony, counted the "
    "chicks weekly and logged every disturbance by walkers or dogs.",
    "Quotation 118/B covers scaffolding, roof felt, copper guttering and the "
    "labour of two roofers for nine days. Prices are valid until the end of the "
    "quarter and exclude the skip hire, which the client arranges.",
    "In chapter seven the narrator finally returns to the lighthouse, where the "
    "keeper’s daughter has kept every letter unopened. “You’re late,” she says, "
    "and hands him the brass key without another word.",
    "Minutes: the treasurer reported a surplus of £1,240; the chair thanked the "
    "volunteers; the secretary will write to the council about the footpath; "
    "any other business — none. Next meeting: Tuesday at 19:30.",
    "To calibrate the sensor, hold the probe in still water at 20\u00a0°C, press "
    "the left button until the display blinks, then wait for the reading to "
    "settle. Repeat weekly; a drift above 0.5\u00a0% needs a new membrane.",
    "The museum’s winter exhibition brings together woodcuts, pewter, glazed "
    "tiles and embroidered samplers from coastal parishes, most of them never "
    "shown before. Guided tours leave the foyer at eleven and at three.",
    "Café owners in the old town complained that deliveries block the square "
    "before noon. The council proposes a loading bay on Weaver Street, a "
    "permit for vans under 3.5\u00a0t, and fines for idling engines.",
    "Señora Núñez thanked the choir for the Ave Maria, the organist for his "
    "patience, and the sacristan for finding the missing hymnals in the crypt. "
    "Rehearsals resume after Epiphany.",
]

# Text in other scripts: Cyrillic, Greek, Central-European Latin, CJK.
FOREIGN = {
    "ru": "Отчёт о поставках за третий квартал: зерно, масло и соль прибыли "
          "вовремя, а запасные части для мельницы задержались на две недели.",
    "uk": "Щорічні збори відбудуться в бібліотеці. Порядок денний: звіт "
          "скарбника, ремонт даху та вибори голови товариства.",
    "el": "Η συνάντηση του συλλόγου θα γίνει στην πλατεία του χωριού. Θα "
          "συζητήσουμε τον προϋπολογισμό και την επισκευή της βρύσης.",
    "pl": "Zażółć gęślą jaźń. Sprawozdanie z budowy mostu: filary są gotowe, "
          "a dostawa stali opóźni się o tydzień z powodu strajku w hucie.",
    "cs": "Příliš žluťoučký kůň úpěl ďábelské ódy. Účetní uzávěrka proběhne "
          "v pátek; všechny faktury je nutné odevzdat do čtvrtka.",
    "hu": "Árvíztűrő tükörfúrógép. A könyvtár új olvasóterme hétfőtől nyitva "
          "áll, a kölcsönzési idő három hétre hosszabbodik.",
    "ja": "本日の会議では、新しい倉庫の建設計画と来年度の予算について話し合いました。",
    "zh": "图书馆的冬季开放时间调整为上午九点至下午五点，周日闭馆。",
}

WORDS = ("anchor basin beacon cargo dock ferry gantry hull jetty keel ledger "
         "mooring oar pilot quay rudder slipway tide vessel wharf barley "
         "clover dahlia fennel hazel iris juniper laurel myrtle nettle").split()


def sentences(rng, count):
    """count paragraphs drawn from the prose bank, with varied numbers."""
    out = []
    for i in range(count):
        text = rng.choice(PROSE)
        if rng.random() < 0.5:
            text += " Reference %d-%s." % (rng.randrange(100, 9999), rng.choice(WORDS).upper())
        out.append(text)
    return out


def table_rows(rng, rows, cols):
    head = ["Item", "Quantity", "Supplier", "Remarks", "Due"][:cols]
    body = []
    for r in range(rows):
        row = [rng.choice(WORDS).capitalize(), str(rng.randrange(1, 500)),
               rng.choice(["Halvorsen & Sons", "Brightwater Ltd", "Ostrander",
                           "Müller GmbH"]),
               rng.choice(["checked", "late — chase", "partial", "returned"]),
               "%02d.%02d." % (rng.randrange(1, 29), rng.randrange(1, 13))][:cols]
        body.append(row)
    return [head] + body


def noise_png(side, start):
    """A picture of random pixels: compresses badly, so its data is large."""
    rng = random.Random(start)
    raw = b"".join(b"\x00" + bytes(rng.randrange(256) for _ in range(side * 3)) for _ in range(side))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


class Doc:
    """One document's content, written in each writer's source format."""

    def __init__(self, name, start, paragraphs, lists=False, table=None, picture=0,
                 notes=0, header=False, link=False, foreign=(), title=True):
        rng = random.Random(start)
        self.name = name
        self.title = "%s %s report" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS))
        self.author = rng.choice(["Ingrid Halvorsen", "Tomasz Wierzbicki", "Aoife Brennan"])
        self.heading = "Section on %s" % rng.choice(WORDS)
        self.paras = sentences(rng, paragraphs)
        self.numbered = ["Inspect the %s" % rng.choice(WORDS) for _ in range(4)] if lists else []
        self.bullets = ["Order more %s" % rng.choice(WORDS) for _ in range(3)] if lists else []
        self.table = table_rows(rng, table[0], table[1]) if table else []
        self.picture = picture
        self.notes = ["Footnote on %s and %s." % (rng.choice(WORDS), rng.choice(WORDS))
                      for _ in range(notes)]
        self.header = "Headed %s bulletin" % rng.choice(WORDS) if header else ""
        self.footer = "Footed page of %s" % rng.choice(WORDS) if header else ""
        self.link = "the %s timetable" % rng.choice(WORDS) if link else ""
        self.foreign = [FOREIGN[code] for code in foreign]
        self.with_title = title

    def picture_file(self, folder):
        path = os.path.join(folder, "%s.png" % self.name)
        with open(path, "wb") as f:
            f.write(noise_png(self.picture, zlib.crc32(self.name.encode())))
        return path

    # Blocks in document order: (kind, payload).
    def blocks(self):
        out = [("h", self.heading)]
        half = len(self.paras) // 2
        for i, p in enumerate(self.paras):
            out.append(("p", p))
            if i == half:
                if self.numbered:
                    out.append(("ol", self.numbered))
                    out.append(("ul", self.bullets))
                if self.table:
                    out.append(("table", self.table))
                if self.picture:
                    out.append(("pic", None))
        if self.link:
            out.append(("link", self.link))
        for text in self.foreign:
            out.append(("p", text))
        return out

    def fodt(self, folder):
        e = html.escape
        notes = list(self.notes)
        body = []
        for kind, payload in self.blocks():
            if kind == "h":
                body.append('<text:h text:style-name="Heading_20_1" text:outline-level="1">%s</text:h>' % e(payload))
            elif kind == "p":
                note = ""
                if notes:
                    # The citation follows the full stop, as in print.
                    note = ('<text:note text:id="n%d" text:note-class="footnote"><text:note-citation>%d'
                            '</text:note-citation><text:note-body><text:p>%s</text:p></text:note-body>'
                            '</text:note>' % (len(notes), len(notes), e(notes.pop())))
                body.append("<text:p>%s%s</text:p>" % (e(payload), note))
            elif kind in ("ol", "ul"):
                style = "LNum" if kind == "ol" else "LBul"
                items = "".join("<text:list-item><text:p>%s</text:p></text:list-item>" % e(x) for x in payload)
                body.append('<text:list text:style-name="%s">%s</text:list>' % (style, items))
            elif kind == "table":
                rows = "".join("<table:table-row>%s</table:table-row>" % "".join(
                    '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' % e(c)
                    for c in row) for row in payload)
                body.append('<table:table table:name="Stock"><table:table-column table:number-columns-repeated="%d"/>'
                            "%s</table:table>" % (len(payload[0]), rows))
            elif kind == "pic":
                with open(self.picture_file(folder), "rb") as f:
                    data = base64.b64encode(f.read()).decode()
                body.append('<text:p><draw:frame draw:name="Picture" svg:width="3cm" svg:height="3cm" '
                            'text:anchor-type="as-char"><draw:image><office:binary-data>%s'
                            "</office:binary-data></draw:image></draw:frame> Plate one shows the %s.</text:p>"
                            % (data, "breakwater"))
            elif kind == "link":
                body.append('<text:p>Times are in <text:a xlink:type="simple" '
                            'xlink:href="https://example.org/tides?week=12">%s</text:a>.</text:p>' % e(payload))
        master = ""
        if self.header:
            master = ("<style:header><text:p>%s</text:p></style:header><style:footer><text:p>%s</text:p>"
                      "</style:footer>" % (e(self.header), e(self.footer)))
        meta = ("<office:meta><dc:title>%s</dc:title><meta:initial-creator>%s</meta:initial-creator>"
                "<dc:creator>%s</dc:creator><dc:subject>Quarterly figures</dc:subject>"
                "<meta:keyword>tides</meta:keyword></office:meta>" % (e(self.title), e(self.author), e(self.author))
                if self.with_title else "")
        return FODT % {"meta": meta, "master": master, "body": "\n".join(body)}

    def html(self, folder):
        e = html.escape
        body = []
        for kind, payload in self.blocks():
            if kind == "h":
                body.append("<h1>%s</h1>" % e(payload))
            elif kind == "p":
                body.append("<p>%s</p>" % e(payload))
            elif kind in ("ol", "ul"):
                body.append("<%s>%s</%s>" % (kind, "".join("<li>%s</li>" % e(x) for x in payload), kind))
            elif kind == "table":
                body.append('<table border="1">%s</table>' % "".join(
                    "<tr>%s</tr>" % "".join("<td>%s</td>" % e(c) for c in row) for row in payload))
            elif kind == "pic":
                body.append('<p><img src="%s" width="%d" height="%d" alt=""> Plate one shows the breakwater.</p>'
                            % (os.path.basename(self.picture_file(folder)), self.picture, self.picture))
            elif kind == "link":
                body.append('<p>Times are in <a href="https://example.org/tides?week=12">%s</a>.</p>' % e(payload))
        head = ('<title>%s</title><meta name="author" content="%s">' % (e(self.title), e(self.author))
                if self.with_title else "")
        return ('<!DOCTYPE html>\n<html><head><meta charset="utf-8">%s</head>\n<body>\n%s\n</body></html>\n'
                % (head, "\n".join(body)))

    def markdown(self, folder):
        notes = list(self.notes)
        out = []
        if self.with_title:
            out.append("---\ntitle: %s\nauthor: %s\n---\n" % (self.title, self.author))
        refs = []
        for kind, payload in self.blocks():
            if kind == "h":
                out.append("# %s\n" % payload)
            elif kind == "p":
                note = ""
                if notes:
                    n = len(notes)
                    note = "[^%d]" % n
                    refs.append("[^%d]: %s" % (n, notes.pop()))
                # Plain ASCII quotes and dashes: pandoc makes them typographic.
                text = (payload.replace("’", "'").replace("“", '"').replace("”", '"')
                        .replace(" — ", " --- ").replace(" – ", " -- "))
                out.append(text + note + "\n")
            elif kind in ("ol", "ul"):
                out.append("\n".join(("%d. %s" % (i + 1, x)) if kind == "ol" else "- " + x
                                     for i, x in enumerate(payload)) + "\n")
            elif kind == "table":
                rows = ["| %s |" % " | ".join(row) for row in payload]
                rows.insert(1, "|%s" % ("---|" * len(payload[0])))
                out.append("\n".join(rows) + "\n")
            elif kind == "pic":
                out.append("![](%s)\n\nPlate one shows the breakwater.\n"
                           % os.path.basename(self.picture_file(folder)))
            elif kind == "link":
                out.append("Times are in [%s](https://example.org/tides?week=12).\n" % payload)
        return "\n".join(out + refs) + "\n"

    # Visible in the RTF but left out of the writer's plain-text export.
    def unexported(self, writer):
        if writer == "soffice":
            return [self.header, self.footer] + self.notes
        return []


FODT = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:dc="http://purl.org/dc/elements/1.1/"
 xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
%(meta)s
<office:styles>
<style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph"
 style:default-outline-level="1"><style:text-properties fo:font-size="16pt" fo:font-weight="bold"/></style:style>
</office:styles>
<office:automatic-styles>
<style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"/>
<style:header-style/><style:footer-style/></style:page-layout>
<text:list-style style:name="LNum"><text:list-level-style-number text:level="1" style:num-suffix="."
 style:num-format="1"/></text:list-style>
<text:list-style style:name="LBul"><text:list-level-style-bullet text:level="1" text:bullet-char="•"/>
</text:list-style>
</office:automatic-styles>
<office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1">%(master)s
</style:master-page></office:master-styles>
<office:body><office:text>
%(body)s
</office:text></office:body></office:document>
"""

# The corpus: (writer, source form, name, Doc arguments). Sizes range from a
# note of three paragraphs to reports of a few hundred kilobytes.
FULL = dict(lists=True, table=(6, 4), picture=48, notes=2, header=True, link=True)
CORPUS = [
    ("soffice", "fodt", "lo-note", dict(paragraphs=3)),
    ("soffice", "fodt", "lo-letter", dict(paragraphs=6, notes=1, header=True)),
    ("soffice", "fodt", "lo-lists", dict(paragraphs=5, lists=True)),
    ("soffice", "fodt", "lo-table", dict(paragraphs=4, table=(12, 5))),
    ("soffice", "fodt", "lo-picture", dict(paragraphs=6, picture=96)),
    ("soffice", "fodt", "lo-report", dict(paragraphs=40, **FULL)),
    ("soffice", "fodt", "lo-large-report", dict(paragraphs=160, lists=True, table=(60, 5), picture=200,
                                                notes=6, header=True, link=True, foreign=("pl",))),
    ("soffice", "fodt", "lo-multilingual", dict(paragraphs=4, foreign=("ru", "el", "pl", "cs", "hu", "ja", "zh"))),
    ("soffice", "fodt", "lo-cyrillic", dict(paragraphs=1, lists=True, foreign=("ru", "uk"))),
    ("soffice", "fodt", "lo-notitle", dict(paragraphs=8, table=(3, 3), link=True, title=False)),
    ("soffice", "html", "lo-web-page", dict(paragraphs=10, lists=True, link=True)),
    ("soffice", "html", "lo-web-table", dict(paragraphs=3, table=(20, 4), foreign=("el",))),
    ("soffice", "html", "lo-web-picture", dict(paragraphs=12, picture=64, link=True)),
    ("abiword", "html", "ab-note", dict(paragraphs=3)),
    ("abiword", "html", "ab-lists", dict(paragraphs=6, lists=True)),
    ("abiword", "html", "ab-table", dict(paragraphs=5, table=(10, 4))),
    ("abiword", "html", "ab-picture", dict(paragraphs=8, picture=80, link=True)),
    ("abiword", "html", "ab-report", dict(paragraphs=50, lists=True, table=(15, 5), picture=120, link=True)),
    ("abiword", "html", "ab-multilingual", dict(paragraphs=3, foreign=("ru", "el", "cs", "ja"))),
    ("abiword", "html", "ab-cp1251", dict(paragraphs=2, lists=True, foreign=("ru", "uk"))),
    ("abiword", "html", "ab-cp1251-long", dict(paragraphs=10, table=(4, 3), foreign=("ru", "uk"))),
    ("pandoc", "md", "pd-note", dict(paragraphs=3)),
    ("pandoc", "md", "pd-notes", dict(paragraphs=8, notes=3)),
    ("pandoc", "md", "pd-lists", dict(paragraphs=5, lists=True, link=True)),
    ("pandoc", "md", "pd-table", dict(paragraphs=4, table=(15, 5))),
    ("pandoc", "md", "pd-picture", dict(paragraphs=6, picture=72)),
    ("pandoc", "md", "pd-report", dict(paragraphs=60, lists=True, table=(20, 4), picture=100, notes=4, link=True)),
    ("pandoc", "md", "pd-multilingual", dict(paragraphs=3, foreign=("ru", "el", "pl", "hu", "zh"))),
    ("pandoc", "md", "pd-plain", dict(paragraphs=12, title=False)),
]


def run(command, **kw):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kw)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), result.stdout.decode(errors="replace")))


def ensure_writers():
    missing = [pkg for tool, pkg in WRITERS.items() if shutil.which(tool) is None]
    if missing:
        print("installing", " ".join(missing))
        run(["apt-get", "install", "-y", "--no-install-recommends"] + missing,
            env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = os.path.abspath(sys.argv[1])
    src = os.path.join(folder, "src")
    os.makedirs(src, exist_ok=True)
    ensure_writers()
    # A private LibreOffice profile: no clash with a running instance.
    profile = "-env:UserInstallation=file://%s" % os.path.join(folder, "lo-profile")

    docs = []
    for index, (writer, form, name, args) in enumerate(CORPUS):
        doc = Doc(name, 1000 + index, **args)
        path = os.path.join(src, "%s.%s" % (name, form))
        text = {"fodt": doc.fodt, "html": doc.html, "md": doc.markdown}[form](src)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        docs.append((writer, form, doc, path))

    for writer in WRITERS:
        out = os.path.join(folder, writer)
        os.makedirs(out, exist_ok=True)
        mine = [(form, doc, path) for w, form, doc, path in docs if w == writer]
        if writer == "soffice":
            # Web pages are opened as Writer documents, then saved from there.
            pages = [path for form, doc, path in mine if form == "html"]
            run(["soffice", profile, "--headless", "--infilter=HTML (StarWriter)", "--convert-to", "odt",
                 "--outdir", src] + pages)
            odts = [os.path.splitext(p)[0] + ".odt" if f == "html" else p for f, d, p in mine]
            run(["soffice", profile, "--headless", "--convert-to", "rtf", "--outdir", out] + odts)
            run(["soffice", profile, "--headless", "--convert-to", "txt:Text (encoded):UTF8",
                 "--outdir", out] + odts)
        for form, doc, path in mine:
            base = os.path.join(out, doc.name)
            if writer == "abiword":
                # A Russian locale makes AbiWord write the Cyrillic code page.
                env = dict(os.environ)
                if "cp1251" in doc.name:
                    env.update(LANG="ru_RU.UTF-8", LC_ALL="ru_RU.UTF-8")
                for kind in ("rtf", "txt"):
                    run(["abiword", "--to=" + kind, "-o", base + "." + kind, path], cwd=src, env=env)
            elif writer == "pandoc":
                run(["pandoc", "-s", "-t", "rtf", "-o", base + ".rtf", path], cwd=src)
                run(["pandoc", "-s", "-t", "plain", "-o", base + ".txt", path], cwd=src)
            extra = [x for x in doc.unexported(writer) if x]
            if extra:
                with open(base + ".txt", "a", encoding="utf-8") as f:
                    f.write("\n" + "\n".join(extra) + "\n")
    shutil.rmtree(os.path.join(folder, "lo-profile"), ignore_errors=True)
    count = sum(1 for w in WRITERS for n in os.listdir(os.path.join(folder, w)) if n.endswith(".rtf"))
    print("%d RTF documents in %s" % (count, folder))


if __name__ == "__main__":
    main()
