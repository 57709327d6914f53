#!/usr/bin/env python3
"""Write Metascribe's bundled sample PDF files into resources/Samples/.

The PDF syntax is composed directly here (objects, cross-reference table with
byte offsets, trailer with /Info and /ID, startxref, %%EOF); only the Python 3
standard library is used.  The output is byte-for-byte reproducible: every
date and every /ID is fixed, and nothing depends on the clock or the machine.

The generated files are committed; the build only copies them.  Run this
script again only to regenerate them:

    python3 resources/make_samples.py
"""

import hashlib
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.join(HERE, "Samples")

CREATOR = "Metascribe sample generator"
PRODUCER = "Metascribe make_samples.py 1.0"

PAGE_WIDTH = 595   # A4 in points
PAGE_HEIGHT = 842


# ---------------------------------------------------------------------------
# PDF string helpers
# ---------------------------------------------------------------------------

def pdf_text_string(text):
    """Encode a document-information value as a PDF text string.

    Pure ASCII becomes a literal string (with \\, ( and ) escaped); anything
    else becomes a UTF-16BE hex string with the byte order mark FE FF, as
    the PDF format requires for Unicode text strings.
    """
    if all(32 <= ord(c) < 127 for c in text):
        escaped = (text.replace("\\", "\\\\")
                       .replace("(", "\\(")
                       .replace(")", "\\)"))
        return b"(" + escaped.encode("ascii") + b")"
    data = b"\xfe\xff" + text.encode("utf-16-be")
    return b"<" + data.hex().upper().encode("ascii") + b">"


def content_string(text):
    """Encode a line of page text for a Tj operator (WinAnsiEncoding)."""
    raw = text.encode("cp1252")
    out = bytearray(b"(")
    for byte in raw:
        if byte in (0x5C, 0x28, 0x29):          # \ ( )
            out += b"\\" + bytes([byte])
        elif byte < 32 or byte > 126:
            out += b"\\%03o" % byte
        else:
            out.append(byte)
    out += b")"
    return bytes(out)


# ---------------------------------------------------------------------------
# Page content
# ---------------------------------------------------------------------------

def page_content(heading, lines, footer):
    """Build a content stream: a heading, body lines and a footer line."""
    ops = [b"BT",
           b"/F1 20 Tf",
           b"72 760 Td",
           content_string(heading) + b" Tj",
           b"/F1 12 Tf",
           b"18 TL",
           b"0 -14 Td"]
    for line in lines:
        ops.append(b"T*")
        if line:
            ops.append(content_string(line) + b" Tj")
    ops.append(b"ET")
    ops += [b"BT",
            b"/F1 10 Tf",
            b"72 60 Td",
            content_string(footer) + b" Tj",
            b"ET"]
    return b"\n".join(ops) + b"\n"


# ---------------------------------------------------------------------------
# File assembly
# ---------------------------------------------------------------------------

def build_pdf(file_name, info, pages):
    """Return the bytes of a complete PDF file.

    info  -- list of (key, value) pairs for the document-information dictionary
    pages -- list of content-stream byte strings, one per page
    """
    # Object numbers: 1 Catalog, 2 Pages, 3 Font, 4 Info,
    # then for page i: page object 5+2i, content stream 6+2i.
    n_pages = len(pages)
    page_ids = [5 + 2 * i for i in range(n_pages)]
    objects = {}

    objects[1] = b"<< /Type /Catalog /Pages 2 0 R >>"
    kids = b" ".join(b"%d 0 R" % pid for pid in page_ids)
    objects[2] = (b"<< /Type /Pages /Kids [" + kids + b"] /Count %d >>" % n_pages)
    objects[3] = (b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica"
                  b" /Encoding /WinAnsiEncoding >>")
    info_entries = b"\n".join(b"/" + key.encode("ascii") + b" " + pdf_text_string(value)
                              for key, value in info)
    objects[4] = b"<<\n" + info_entries + b"\n>>"

    for i, content in enumerate(pages):
        pid = page_ids[i]
        cid = pid + 1
        objects[pid] = (b"<< /Type /Page /Parent 2 0 R"
                        b" /MediaBox [0 0 %d %d]" % (PAGE_WIDTH, PAGE_HEIGHT) +
                        b" /Resources << /Font << /F1 3 0 R >> >>"
                        b" /Contents %d 0 R >>" % cid)
        objects[cid] = (b"<< /Length %d >>\nstream\n" % len(content) +
                        content + b"endstream")

    count = max(objects) + 1
    out = bytearray()
    # Header; the comment line of high bytes marks the file as binary.
    out += b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"
    offsets = {}
    for num in range(1, count):
        offsets[num] = len(out)
        out += b"%d 0 obj\n" % num + objects[num] + b"\nendobj\n"

    xref_pos = len(out)
    out += b"xref\n0 %d\n" % count
    out += b"0000000000 65535 f \n"          # every entry is exactly 20 bytes
    for num in range(1, count):
        out += b"%010d 00000 n \n" % offsets[num]

    # A fixed file identifier derived from the file name, so output is stable.
    file_id = hashlib.md5(("Metascribe sample: " + file_name).encode("utf-8")).hexdigest().upper()
    out += (b"trailer\n<< /Size %d /Root 1 0 R /Info 4 0 R" % count +
            b" /ID [<" + file_id.encode("ascii") + b"> <" + file_id.encode("ascii") + b">] >>\n")
    out += b"startxref\n%d\n%%%%EOF\n" % xref_pos
    return bytes(out)


# ---------------------------------------------------------------------------
# The samples
# ---------------------------------------------------------------------------

INTRO = [
    "This is a Metascribe sample file.",
    "Try changing my Title, Subject, Author and Keywords,",
    "then open the document properties to see the new values.",
]


def sample_quarterly_report():
    name = "Quarterly Report.pdf"
    info = [
        ("Title", "Quarterly Report Q3"),
        ("Author", "Finance Team"),
        ("Subject", "Revenue and expenses for the third quarter of 2023"),
        ("Keywords", "finance, quarterly, report, Q3, 2023"),
        ("Creator", CREATOR),
        ("Producer", PRODUCER),
        ("CreationDate", "D:20231002091500+02'00'"),
        ("ModDate", "D:20231005164500+02'00'"),
    ]
    body = INTRO + [
        "",
        "Metascribe sample file - try changing my Title and Author.",
        "",
        "Current document information:",
        "    Title:     Quarterly Report Q3",
        "    Author:    Finance Team",
        "    Subject:   Revenue and expenses for the third quarter",
        "    Keywords:  finance, quarterly, report, Q3, 2023",
        "",
        "The figures below are invented for this example.",
        "    Revenue           1,250,000",
        "    Expenses            980,000",
        "    Result              270,000",
    ]
    pages = [page_content("Quarterly Report Q3", body,
                          "Metascribe sample file - Quarterly Report.pdf - page 1 of 1")]
    return name, info, pages


def sample_travel_report():
    name = "Reisebericht-東京.pdf"
    info = [
        ("Title", "東京出張報告書"),
        ("Author", "Jürgen Groß-Éluard"),
        ("Subject", "Reisebericht über eine Dienstreise nach Tokio"),
        ("Keywords", "Reise, Tokio, 東京, Japan, Dienstreise"),
        ("Creator", CREATOR),
        ("Producer", PRODUCER),
        ("CreationDate", "D:20230918200000+09'00'"),
        ("ModDate", "D:20230921083000+09'00'"),
    ]
    body = INTRO + [
        "",
        "Metascribe sample file - my Title is written in Japanese.",
        "",
        "This sample shows Unicode document information.",
        "Its Title (Tokyo business-trip report) uses Japanese",
        "characters, stored as a UTF-16 text string, and its",
        "Author has accented Latin letters: J\u00fcrgen Gro\u00df-\u00c9luard.",
        "",
        "Page text uses a standard font, so the Japanese Title",
        "appears only in the document information, not here.",
    ]
    pages = [page_content("Reisebericht Tokio", body,
                          "Metascribe sample file - Reisebericht - page 1 of 1")]
    return name, info, pages


def sample_meeting_minutes():
    name = "Meeting Minutes.pdf"
    n = 4
    info = [
        ("Title", "Project Meeting Minutes"),
        ("Author", "Office Secretary"),
        ("Subject", "Minutes of the weekly project meeting (September 2023)"),
        ("Keywords", "minutes, meeting, project, agenda"),
        ("Creator", CREATOR),
        ("Producer", PRODUCER),
        ("CreationDate", "D:20230927143000Z"),
        ("ModDate", "D:20230928101500Z"),
    ]
    topics = [
        ("Attendees and agenda",
         ["Present: the whole project team.",
          "Agenda: schedule, budget, open questions."]),
        ("Schedule",
         ["The second milestone moves by one week.",
          "Testing starts at the beginning of next month."]),
        ("Budget",
         ["Spending is within plan.",
          "No new purchases are needed this quarter."]),
        ("Open questions and next meeting",
         ["Two questions remain open and are assigned.",
          "The next meeting is on Wednesday at 14:30."]),
    ]
    pages = []
    for i, (topic, notes) in enumerate(topics, start=1):
        body = [
            "Page %d of %d" % (i, n),
            "",
        ] + INTRO + [
            "",
            "Metascribe sample file with several pages.",
            "",
            "Topic %d: %s" % (i, topic),
        ] + ["    " + note for note in notes]
        pages.append(page_content("Project Meeting Minutes - page %d" % i, body,
                                  "Metascribe sample file - Meeting Minutes.pdf - page %d of %d" % (i, n)))
    return name, info, pages


SAMPLES = [sample_quarterly_report, sample_travel_report, sample_meeting_minutes]


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for make in SAMPLES:
        name, info, pages = make()
        data = build_pdf(name, info, pages)
        path = os.path.join(OUT_DIR, name)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes, %d page%s)"
              % (path, len(data), len(pages), "" if len(pages) == 1 else "s"))


if __name__ == "__main__":
    main()
