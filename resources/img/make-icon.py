#!/usr/bin/env python3
"""Draw the nodeconfig application icon and write it as .ico and PNG files.

The artwork (a dark LED strip with four glowing coloured LEDs on a
transparent background) is drawn procedurally, so the icons can be
regenerated at any time with:  python3 resources/img/make-icon.py

Standard library only. Output is deterministic (no timestamps, fixed
compression level), so re-running it leaves the files byte-identical.
"""

import math
import struct
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
ICO_PATH = ROOT / "resources" / "img" / "appicon.ico"
PNG_DIR = ROOT / "packaging" / "icons" / "hicolor"

ICO_SIZES = (256, 128, 64, 48, 32, 16)   # order inside the .ico
PNG_SIZES = (16, 32, 48, 64, 128, 256)
SUPERSAMPLE = 4                          # 4x4 samples on edge pixels

# Geometry in unit coordinates (0..1, y pointing down). Edges sit on
# multiples of 1/16 so the small sizes stay crisp.
STRIP_X0, STRIP_X1 = 1 / 16, 15 / 16
STRIP_Y0, STRIP_Y1 = 4 / 16, 12 / 16
STRIP_RADIUS = 0.11
STRIP_TOP = (64, 70, 80)                 # body gradient, top to bottom
STRIP_BOTTOM = (24, 27, 32)
STRIP_RIM = (100, 108, 120)

LED_RADIUS = 0.08
LED_COLOURS = (
    (255, 48, 48),    # red
    (40, 225, 90),    # green
    (50, 120, 255),   # blue
    (255, 170, 0),    # amber
)
_pitch = (STRIP_X1 - STRIP_X0) / len(LED_COLOURS)
LED_CENTRES = tuple((STRIP_X0 + _pitch * (i + 0.5), (STRIP_Y0 + STRIP_Y1) / 2)
                    for i in range(len(LED_COLOURS)))

# Glow beyond the LED edge. Toned down at small sizes, where a wide
# glow would wash the whole strip out into one smear of colour.
GLOW_STRENGTH = 0.75
GLOW_WIDTH = 0.075


def _glow(size):
    k = min(1.0, 0.3 + size / 90.0)
    return GLOW_STRENGTH * k, GLOW_WIDTH * k


def _clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def _mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def _over(dst, rgb, alpha):
    """Composite straight-alpha colour (0..255) over premultiplied dst."""
    k = 1.0 - alpha
    return (rgb[0] / 255.0 * alpha + dst[0] * k,
            rgb[1] / 255.0 * alpha + dst[1] * k,
            rgb[2] / 255.0 * alpha + dst[2] * k,
            alpha + dst[3] * k)


def _strip_sdf(x, y):
    """Signed distance to the rounded strip outline (negative inside)."""
    hx = (STRIP_X1 - STRIP_X0) / 2 - STRIP_RADIUS
    hy = (STRIP_Y1 - STRIP_Y0) / 2 - STRIP_RADIUS
    qx = abs(x - (STRIP_X0 + STRIP_X1) / 2) - hx
    qy = abs(y - (STRIP_Y0 + STRIP_Y1) / 2) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - STRIP_RADIUS


def _shade(x, y, rim, glow):
    """Premultiplied RGBA (floats 0..1) of the artwork at one point."""
    px = (0.0, 0.0, 0.0, 0.0)

    # Strip body with a vertical gradient and a lighter rim that keeps
    # the outline readable on dark panels.
    sd = _strip_sdf(x, y)
    if sd <= 0.0:
        t = _clamp01((y - STRIP_Y0) / (STRIP_Y1 - STRIP_Y0))
        px = _over(px, STRIP_RIM if sd > -rim else _mix(STRIP_TOP, STRIP_BOTTOM, t), 1.0)

    # Soft glow of every LED, spilling onto the strip and around it.
    glow_a = 0.0
    keep = 1.0
    glow_rgb = [0.0, 0.0, 0.0]
    inside_led = None
    for (cx, cy), colour in zip(LED_CENTRES, LED_COLOURS):
        d = math.hypot(x - cx, y - cy)
        if d <= LED_RADIUS:
            inside_led = (d, x - cx, y - cy, colour)
        e = max(d - LED_RADIUS, 0.0) / glow[1]
        g = glow[0] * math.exp(-e * e)
        keep *= 1.0 - g
        glow_a += g
        for i in range(3):
            glow_rgb[i] += g * colour[i]
    if glow_a > 0.0:
        px = _over(px, [c / glow_a for c in glow_rgb], 1.0 - keep)

    # The LED itself: white-hot centre fading to the saturated colour,
    # with a small specular highlight toward the upper left.
    if inside_led is not None:
        d, dx, dy, colour = inside_led
        t = _clamp01((d / LED_RADIUS - 0.1) / 0.75)
        t = t * t * (3.0 - 2.0 * t)
        px = _over(px, _mix((255, 255, 250), colour, t), 1.0)
        sx = dx + 0.38 * LED_RADIUS
        sy = dy + 0.38 * LED_RADIUS
        s = math.exp(-(sx * sx + sy * sy) / (0.28 * LED_RADIUS) ** 2)
        px = _over(px, (255, 255, 255), 0.7 * s)
    return px


def _near_edge(x, y, band, rim):
    """True when a hard edge passes within `band` of (x, y)."""
    sd = _strip_sdf(x, y)
    if abs(sd) < band or abs(sd + rim) < band:
        return True
    for cx, cy in LED_CENTRES:
        if abs(math.hypot(x - cx, y - cy) - LED_RADIUS) < band:
            return True
    return False


def render(size):
    """Render the artwork at `size` pixels; returns rows of RGBA bytes."""
    step = 1.0 / size
    rim = max(0.6 * step, 0.012)      # stays visible at small sizes
    glow = _glow(size)
    band = step * 0.75                # a bit over half a pixel diagonal
    n = SUPERSAMPLE
    offsets = [(i + 0.5) / n * step for i in range(n)]
    rows = []
    for j in range(size):
        row = bytearray()
        for i in range(size):
            x0, y0 = i * step, j * step
            xc, yc = x0 + step / 2, y0 + step / 2
            if _near_edge(xc, yc, band, rim):
                acc = [0.0, 0.0, 0.0, 0.0]
                for oy in offsets:
                    for ox in offsets:
                        s = _shade(x0 + ox, y0 + oy, rim, glow)
                        for k in range(4):
                            acc[k] += s[k]
                r, g, b, a = (v / (n * n) for v in acc)
            else:
                r, g, b, a = _shade(xc, yc, rim, glow)
            a8 = int(round(_clamp01(a) * 255))
            if a8 == 0:
                row += b"\0\0\0\0"
            else:
                row += bytes(int(round(_clamp01(c / a) * 255)) for c in (r, g, b))
                row.append(a8)
        rows.append(bytes(row))
    return rows


def png_bytes(size, rows):
    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + r for r in rows)          # filter type 0
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(size, rows):
    """32-bit BGRA DIB as stored in .ico: doubled height, bottom-up rows,
    then the 1-bit AND mask (set where the pixel is fully transparent)."""
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for i in range(size):
            r, g, b, a = row[4 * i:4 * i + 4]
            xor += bytes((b, g, r, a))
            if a == 0:
                bits[i >> 3] |= 0x80 >> (i & 7)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico_bytes(images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = len(head) + 16 * len(images)
    entries = b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return head + entries + b"".join(data for _, data in images)


def main():
    rendered = {size: render(size) for size in set(ICO_SIZES) | set(PNG_SIZES)}

    ICO_PATH.parent.mkdir(parents=True, exist_ok=True)
    ICO_PATH.write_bytes(ico_bytes([(s, dib_bytes(s, rendered[s])) for s in ICO_SIZES]))
    print("wrote", ICO_PATH.relative_to(ROOT))

    for size in PNG_SIZES:
        path = PNG_DIR / f"{size}x{size}" / "apps" / "nodeconfig.png"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(png_bytes(size, rendered[size]))
        print("wrote", path.relative_to(ROOT))


if __name__ == "__main__":
    main()
