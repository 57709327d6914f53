#!/usr/bin/env python3
"""Generate Metascribe's binary resources.

Outputs (written next to this script):
  HAND-M.CUR      32x32 "pointing hand" mouse cursor (Windows .CUR container)
  drag.ico        32x32 "dragging a file" icon (Windows .ICO container)
  metascribe.png  256x256 application icon (PNG with alpha)

The outputs are committed to the repository; the build never runs this script.
Re-run it by hand (python3 make_resources.py) after changing a design below.
Only the Python standard library is used so that nothing has to be installed.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


# ---------------------------------------------------------------------------
# Shapes as signed distance functions
#
# Every shape is a function sdf(x, y) returning the distance (in pixels) from
# the point to the shape's edge: negative inside, positive outside.  Besides
# point-in-shape tests this gives cheap outlines (|d| - w/2), offsets (d - r)
# and soft shadows, and lets the rasteriser skip supersampling for pixels
# that are clearly inside or outside.
# ---------------------------------------------------------------------------


class Shape:
    def __init__(self, sdf, bbox):
        self.sdf = sdf
        self.bbox = bbox  # (x0, y0, x1, y1), used to limit rasterisation work

    def offset(self, r):
        """Grow (r > 0) or shrink (r < 0) the shape; growing rounds corners."""
        f = self.sdf
        return Shape(lambda x, y: f(x, y) - r, _grow(self.bbox, r))

    def stroke(self, width):
        """A band of the given width centred on the shape's edge."""
        f, h = self.sdf, width / 2.0
        return Shape(lambda x, y: abs(f(x, y)) - h, _grow(self.bbox, h))

    def __or__(self, other):
        f, g = self.sdf, other.sdf
        return Shape(lambda x, y: min(f(x, y), g(x, y)), _union_box(self.bbox, other.bbox))

    def __and__(self, other):
        f, g = self.sdf, other.sdf
        return Shape(lambda x, y: max(f(x, y), g(x, y)), _intersect_box(self.bbox, other.bbox))

    def __sub__(self, other):
        f, g = self.sdf, other.sdf
        return Shape(lambda x, y: max(f(x, y), -g(x, y)), self.bbox)

    def translate(self, dx, dy):
        f = self.sdf
        x0, y0, x1, y1 = self.bbox
        return Shape(lambda x, y: f(x - dx, y - dy), (x0 + dx, y0 + dy, x1 + dx, y1 + dy))

    def place(self, origin, angle):
        """Map a shape drawn in a local (u, v) frame into the canvas.

        The local origin lands on `origin` and the local u axis points at
        `angle` radians (y grows downwards).  Rotation keeps distances, so the
        result is still a true distance function.
        """
        ox, oy = origin
        c, s = math.cos(angle), math.sin(angle)
        f = self.sdf

        def sdf(x, y):
            dx, dy = x - ox, y - oy
            return f(dx * c + dy * s, -dx * s + dy * c)

        x0, y0, x1, y1 = self.bbox
        corners = [(ox + u * c - v * s, oy + u * s + v * c) for u in (x0, x1) for v in (y0, y1)]
        xs = [p[0] for p in corners]
        ys = [p[1] for p in corners]
        return Shape(sdf, (min(xs), min(ys), max(xs), max(ys)))


def _grow(b, r):
    return (b[0] - r, b[1] - r, b[2] + r, b[3] + r)


def _union_box(a, b):
    return (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3]))


def _intersect_box(a, b):
    return (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))


def rect(x0, y0, x1, y1, radius=0.0):
    """Axis-aligned rectangle, optionally with rounded corners."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius

    return Shape(sdf, (x0, y0, x1, y1))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def capsule(ax, ay, bx, by, width):
    """A line segment with round caps: used for text lines."""
    ex, ey = bx - ax, by - ay
    ee = ex * ex + ey * ey
    r = width / 2.0

    def sdf(x, y):
        wx, wy = x - ax, y - ay
        t = min(max((wx * ex + wy * ey) / ee, 0.0), 1.0)
        return math.hypot(wx - ex * t, wy - ey * t) - r

    return Shape(sdf, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r))


def polygon(points):
    """Any simple polygon: exact edge distance, sign from a crossing count."""
    pts = list(points)

    def sdf(x, y):
        best = float("inf")
        inside = False
        ax, ay = pts[-1]
        for bx, by in pts:
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = min(max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0)
            dx, dy = wx - ex * t, wy - ey * t
            best = min(best, dx * dx + dy * dy)
            if (ay > y) != (by > y) and x < ax + ex * (y - ay) / ey:
                inside = not inside
            ax, ay = bx, by
        d = math.sqrt(best)
        return -d if inside else d

    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(sdf, (min(xs), min(ys), max(xs), max(ys)))


def inset_convex(points, d):
    """Move every edge of a convex, clockwise-on-screen polygon inwards by d.

    Used with Shape.offset(d) to get a polygon of the original size whose
    corners are rounded with radius d.
    """
    n = len(points)
    lines = []
    for i in range(n):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
        length = math.hypot(bx - ax, by - ay)
        # With y pointing down and clockwise winding, (-ey, ex) points inside.
        nx, ny = -(by - ay) / length, (bx - ax) / length
        lines.append(((ax + nx * d, ay + ny * d), (bx - ax, by - ay)))
    result = []
    for i in range(n):
        (p, r), (q, s) = lines[i - 1], lines[i]
        cross = r[0] * s[1] - r[1] * s[0]
        t = ((q[0] - p[0]) * s[1] - (q[1] - p[1]) * s[0]) / cross
        result.append((p[0] + r[0] * t, p[1] + r[1] * t))
    return result


def rounded_polygon(points, radius):
    return polygon(inset_convex(points, radius)).offset(radius)


# ---------------------------------------------------------------------------
# Canvas: premultiplied RGBA floats, "source over" compositing
# ---------------------------------------------------------------------------


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.px = [0.0] * (width * height * 4)

    def _blend(self, i, rgba, coverage):
        r, g, b, a = rgba
        a *= coverage
        keep = 1.0 - a
        px = self.px
        px[i] = r * a + px[i] * keep
        px[i + 1] = g * a + px[i + 1] * keep
        px[i + 2] = b * a + px[i + 2] * keep
        px[i + 3] = a + px[i + 3] * keep

    def _pixels(self, bbox):
        x0, y0, x1, y1 = bbox
        for py in range(max(0, int(math.floor(y0))), min(self.height, int(math.ceil(y1)) + 1)):
            for px in range(max(0, int(math.floor(x0))), min(self.width, int(math.ceil(x1)) + 1)):
                yield px, py

    def fill(self, shape, color, samples=4):
        """Paint a shape anti-aliased by supersampling (samples x samples).

        Pixels whose centre is farther than half a pixel diagonal (0.75 with
        margin) from the edge are wholly inside or outside, so only the thin
        band along the edge pays for the extra samples.
        """
        rgba = _color(color)
        f = shape.sdf
        offsets = [(k + 0.5) / samples for k in range(samples)]
        total = float(samples * samples)
        for px, py in self._pixels(shape.bbox):
            d = f(px + 0.5, py + 0.5)
            if d >= 0.75:
                continue
            if d <= -0.75:
                coverage = 1.0
            else:
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if f(px + ox, py + oy) < 0.0:
                            hits += 1
                if not hits:
                    continue
                coverage = hits / total
            self._blend((py * self.width + px) * 4, rgba, coverage)

    def shadow(self, shape, color, softness):
        """A soft shadow: opacity fades linearly across `softness` pixels."""
        rgba = _color(color)
        f = shape.sdf
        for px, py in self._pixels(_grow(shape.bbox, softness)):
            coverage = min(max(0.5 - f(px + 0.5, py + 0.5) / softness, 0.0), 1.0)
            if coverage > 0.0:
                self._blend((py * self.width + px) * 4, rgba, coverage)

    def rgba8(self):
        """Straight (non-premultiplied) 8-bit RGBA rows, top row first."""
        rows = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                i = (y * self.width + x) * 4
                a = self.px[i + 3]
                if a <= 0.0:
                    row.append((0, 0, 0, 0))
                    continue
                rgb = tuple(_byte(self.px[i + k] / a) for k in range(3))
                row.append(rgb + (_byte(a),))
            rows.append(row)
        return rows


def _byte(v):
    return max(0, min(255, int(round(v * 255.0))))


def _color(c):
    """'#rrggbb' or '#rrggbbaa' -> (r, g, b, a) floats in 0..1."""
    c = c.lstrip("#")
    vals = [int(c[i : i + 2], 16) / 255.0 for i in range(0, len(c), 2)]
    return tuple(vals) if len(vals) == 4 else tuple(vals) + (1.0,)


# ---------------------------------------------------------------------------
# File encoders
# ---------------------------------------------------------------------------


def encode_png(rows):
    """Minimal PNG: 8-bit RGBA, one IDAT, per-row "Sub" filter.

    The Sub filter (store the difference to the pixel on the left) turns the
    large flat areas of an icon into runs of zeros that deflate well.
    """
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(1)  # filter type 1 = Sub
        prev = (0, 0, 0, 0)
        for px in row:
            raw.extend((px[k] - prev[k]) & 0xFF for k in range(4))
            prev = px

    def chunk(kind, data):
        body = kind + data
        crc = zlib.crc32(body) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + body + struct.pack(">I", crc)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8 bit, RGBA
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", ihdr)
        + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + chunk(b"IEND", b"")
    )


def encode_dib(rows):
    """One icon/cursor image: BITMAPINFOHEADER + 32-bit BGRA pixels + AND mask.

    The header's height is doubled because the colour image and the 1-bit
    AND mask are stacked; both are stored bottom row first.  The AND mask is
    redundant with the alpha channel but readers that ignore alpha need it
    (bit set = transparent).
    """
    height, width = len(rows), len(rows[0])
    mask_stride = ((width + 31) // 32) * 4  # rows padded to 32 bits
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor.extend((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask.extend(bits)
    header = struct.pack(
        "<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0
    )
    return header + bytes(xor) + bytes(mask)


def encode_ico_container(rows, hotspot=None):
    """Wrap one image in an ICO (type 1) or, given a hotspot, CUR (type 2) file.

    The directory entry's two 16-bit fields hold planes/bit count for icons;
    cursors reuse the same fields for the hotspot x/y.
    """
    height, width = len(rows), len(rows[0])
    image = encode_dib(rows)
    kind, field1, field2 = (1, 1, 32) if hotspot is None else (2, hotspot[0], hotspot[1])
    header = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack(
        "<BBBBHHII",
        width % 256,  # 0 would mean 256
        height % 256,
        0,  # no palette
        0,
        field1,
        field2,
        len(image),
        6 + 16,  # image follows the header and the single directory entry
    )
    return header + entry + image


# ---------------------------------------------------------------------------
# HAND-M.CUR: pointing hand cursor
#
# Drawn as pixel art rather than with the rasteriser: a cursor is seen at its
# native size, where a crisp one-pixel outline reads better than smoothing.
#   '.' transparent   '#' black outline   'o' white fill
#   'X' black outline pixel that is the hotspot (top of the index finger)
# ---------------------------------------------------------------------------

HAND = [
    "........#X#.....................",
    ".......#ooo#....................",
    ".......#ooo#....................",
    ".......#ooo#....................",
    ".......#ooo#....................",
    ".......#ooo#....................",
    ".......#ooo####.................",
    ".......#ooo#ooo####.............",
    ".......#ooo#ooo#ooo####.........",
    ".......#ooo#ooo#ooo#ooo#........",
    ".......#ooo#ooo#ooo#ooo#........",
    "..###..#ooo#ooo#ooo#ooo#........",
    ".#ooo#.#ooooooooooooooo#........",
    ".#oooo##ooooooooooooooo#........",
    ".#ooooooooooooooooooooo#........",
    "..#oooooooooooooooooooo#........",
    "...#ooooooooooooooooooo#........",
    "....#oooooooooooooooooo#........",
    ".....#oooooooooooooooo#.........",
    "......#oooooooooooooo#..........",
    ".......#oooooooooooo#...........",
    ".......#oooooooooooo#...........",
    ".......#oooooooooooo#...........",
    ".......##############...........",
] + ["." * 32] * 8


def make_cursor():
    black, white = (0, 0, 0, 255), (255, 255, 255, 255)
    palette = {".": (0, 0, 0, 0), "#": black, "X": black, "o": white}
    assert len(HAND) == 32 and all(len(line) == 32 for line in HAND)
    rows = [[palette[ch] for ch in line] for line in HAND]
    (hotspot,) = [(x, y) for y, line in enumerate(HAND) for x, ch in enumerate(line) if ch == "X"]
    return encode_ico_container(rows, hotspot), hotspot


# ---------------------------------------------------------------------------
# drag.ico: a document page with a "+" badge, shown while dragging a file
#
# Coordinates are in the 32x32 target pixels; straight edges sit on pixel
# boundaries so they stay sharp, only the diagonal fold is smoothed.
# ---------------------------------------------------------------------------


def make_drag_icon():
    c = Canvas(32, 32)
    outline, paper, fold, ink = "#4a5260", "#ffffff", "#d3d9e1", "#a3abb7"
    badge, badge_ring = "#2f7bd8", "#ffffff"

    page = polygon([(5, 2), (16, 2), (22, 8), (22, 27), (5, 27)])
    c.fill(page, outline)
    c.fill(page.offset(-1), paper)
    # Folded corner: a triangle sharing the page's cut edge, outlined by the
    # page stroke on the diagonal and by two 1 px strokes of its own.
    c.fill(polygon([(16, 2), (16, 9), (22, 9), (22, 8)]), outline)
    c.fill(polygon([(17, 4.4), (17, 8), (20.6, 8)]), fold)
    # Text lines (one pixel high, aligned to the pixel grid).
    for y, x1 in ((11, 18), (14, 19), (17, 15), (20, 13)):
        c.fill(rect(8, y, x1, y + 1), ink)

    # "+" badge over the lower right corner; the white ring separates it from
    # the page and from whatever it is dragged over.
    c.fill(circle(23, 23, 8), badge_ring)
    c.fill(circle(23, 23, 6.8), badge)
    c.fill(rect(22, 19, 24, 27), "#ffffff")
    c.fill(rect(19, 22, 27, 24), "#ffffff")
    return encode_ico_container(c.rgba8())


# ---------------------------------------------------------------------------
# metascribe.png: application icon
#
# A page with a folded corner and text lines, and a pencil lying across its
# lower right corner (editing the document's details).  Stroke widths are
# multiples of 8 px where possible so they still land near whole pixels when
# the icon is shown at 32 px (256 / 8).
# ---------------------------------------------------------------------------


def pencil_local(length, width):
    """Pencil parts in a local frame: u from the tip (0) to the end, v across."""
    h = width / 2.0
    wood_end = 0.28 * length  # where the sharpened cone meets the painted body
    lead_end = 0.10 * length
    ferrule = (0.76 * length, 0.87 * length)
    cone = polygon([(0, 0), (wood_end, -h), (wood_end, h)])
    body = rect(wood_end, -h, ferrule[0], h)
    band = rect(ferrule[0], -h, ferrule[1], h)
    # Round only the far end of the eraser: a rounded box clipped at the ferrule.
    eraser = rect(ferrule[1] - 10, -h, length, h, radius=9) & rect(ferrule[1], -h, length, h)
    lead_h = h * lead_end / wood_end  # the lead is the tip of the same cone
    lead = polygon([(0, 0), (lead_end, -lead_h), (lead_end, lead_h)])
    third = width / 3.0
    return {
        # Outline shape; `body` fills the rounded box's corners next to the cone.
        "silhouette": cone | rect(wood_end, -h, length, h, radius=9) | body,
        "cone": cone,
        "lead": lead,
        "body": body,
        # Three facets give the painted body a hexagonal, lit-from-above look.
        "facet_light": body & rect(wood_end, -h, ferrule[0], -h + third),
        "facet_dark": body & rect(wood_end, h - third, ferrule[0], h),
        "band": band,
        "band_ridge": rect(ferrule[0] + 4, -h, ferrule[0] + 8, h)
        | rect(ferrule[1] - 8, -h, ferrule[1] - 4, h),
        "eraser": eraser,
        "seams": rect(wood_end - 2, -h, wood_end + 2, h)
        | rect(ferrule[0] - 2, -h, ferrule[0] + 2, h)
        | rect(ferrule[1] - 2, -h, ferrule[1] + 2, h),
    }


def make_app_icon():
    c = Canvas(256, 256)
    outline, paper, fold = "#7b8594", "#ffffff", "#e2e7ee"
    text, title = "#b9c0ca", "#8e98a6"

    # Page, rounded slightly; the top-right corner is cut off for the fold.
    # Edges sit at 8k+4 so the 8 px outline covers exactly one pixel at 32 px.
    page = rounded_polygon([(44, 20), (156, 20), (212, 76), (212, 236), (44, 236)], 10)
    c.shadow(page.translate(3, 6), "#00000040", 10)
    c.fill(page, paper)

    # Lines of text, centred on 8k+4 for the same reason: a darker, shorter
    # title and body lines of mixed lengths (the pencil hides their ends).
    c.fill(capsule(76, 60, 124, 60, 12), title)
    for y, x1 in ((100, 180), (124, 172), (148, 184), (172, 164), (196, 132)):
        c.fill(capsule(76, y, x1, y, 10), text)

    c.fill(page.stroke(8), outline)

    # Folded corner with a faint shadow cast onto the page below it.
    c.shadow(polygon([(156, 24), (208, 76), (156, 76)]).translate(-2, 4), "#00000030", 8)
    fold_shape = rounded_polygon([(156, 20), (212, 76), (156, 76)], 6)
    c.fill(fold_shape, fold)
    c.fill(fold_shape.stroke(8), outline)

    # Pencil lying diagonally, tip pointing down-left onto the last text line.
    parts = pencil_local(length=168, width=42)
    tip, angle = (110, 214), -math.pi / 4
    placed = {name: shape.place(tip, angle) for name, shape in parts.items()}
    c.shadow(placed["silhouette"].translate(4, 8), "#00000038", 10)
    c.fill(placed["cone"], "#f3d6a6")  # bare wood
    c.fill(placed["lead"], "#3b4150")
    c.fill(placed["body"], "#2f7bd8")
    c.fill(placed["facet_light"], "#5a9cf0")
    c.fill(placed["facet_dark"], "#225fb0")
    c.fill(placed["band"], "#c7ced8")
    c.fill(placed["band_ridge"], "#9aa4b2")
    c.fill(placed["eraser"], "#f08a9c")
    c.fill(placed["seams"] & placed["silhouette"], "#2a3140")
    c.fill(placed["silhouette"].stroke(7), "#2a3140")
    return encode_png(c.rgba8())


# ---------------------------------------------------------------------------


def write(name, data):
    path = os.path.join(HERE, name)
    with open(path, "wb") as f:
        f.write(data)
    print("%-16s %6d bytes" % (name, len(data)))


def main():
    cursor, hotspot = make_cursor()
    write("HAND-M.CUR", cursor)
    print("  cursor hotspot: x=%d y=%d" % hotspot)
    write("drag.ico", make_drag_icon())
    write("metascribe.png", make_app_icon())


if __name__ == "__main__":
    main()
