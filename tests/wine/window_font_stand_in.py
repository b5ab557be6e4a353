#!/usr/bin/python3
"""Writes a stand-in for Windows' "Microsoft Sans Serif" for the Wine prefix
of the tests.

Windows 10 and 11 have "Microsoft Sans Serif", the TrueType face made to the
metrics of the bitmap "MS Sans Serif", and the program's window draws in it
on Windows. Wine ships no such face. The stand-in is drawn from Wine's own
metric-compatible copy of MS Sans Serif (ms_sans_serif.ttf, which holds
bitmaps only and which Wine itself therefore leaves unused): every dot of its
bitmaps at the window's text size becomes a square outline, 100 units of an
em of 1100, so that at 11 pixels to the em (8 points) each square is one
pixel and the text comes out exactly as the bitmaps have it, with their
advance widths. Larger sizes (the heading's 12 points) scale those squares.

  window_font_stand_in.py OUTPUT.ttf [SOURCE.ttf]
"""

import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont

FAMILY = "Microsoft Sans Serif"
SOURCE = "/usr/share/wine/fonts/ms_sans_serif.ttf"
CELL_PIXELS = 13  # the strike whose cell is 13 pixels: 8 points at 96 dpi
UNITS_PER_PIXEL = 100
PIXELS_PER_EM = 11


def strike_for(font, cell):
    for index, strike in enumerate(font["EBLC"].strikes):
        if strike.bitmapSizeTable.ppemY == cell:
            return index, strike
    raise SystemExit("no %d-pixel strike in the source font" % cell)


def constant_metrics(strike):
    """Glyph name -> metrics, for the glyphs whose metrics live in the index."""
    found = {}
    for sub in strike.indexSubTables:
        metrics = getattr(sub, "metrics", None)
        if metrics is not None:
            for name in sub.names:
                found[name] = metrics
    return found


def bitmap_and_metrics(glyph, index_metrics):
    """(width, height, bearing x, bearing y, advance, bits row by row)."""
    metrics = getattr(glyph, "metrics", None) or index_metrics
    if hasattr(metrics, "BearingX"):
        bearing_x, bearing_y, advance = metrics.BearingX, metrics.BearingY, metrics.Advance
    else:
        bearing_x, bearing_y = metrics.horiBearingX, metrics.horiBearingY
        advance = metrics.horiAdvance
    width, height = metrics.width, metrics.height
    data = glyph.imageData
    # Bit-aligned image data (formats 2 and 5): rows follow one another with
    # no padding, most significant bit first.
    bits = []
    for y in range(height):
        row = []
        for x in range(width):
            bit = y * width + x
            byte = data[bit // 8] if bit // 8 < len(data) else 0
            row.append((byte >> (7 - bit % 8)) & 1)
        bits.append(row)
    return width, height, bearing_x, bearing_y, advance, bits


def outline(bits, bearing_x, bearing_y):
    pen = TTGlyphPen(None)
    for y, row in enumerate(bits):
        top = (bearing_y - y) * UNITS_PER_PIXEL
        bottom = top - UNITS_PER_PIXEL
        x = 0
        while x < len(row):
            if not row[x]:
                x += 1
                continue
            start = x
            while x < len(row) and row[x]:
                x += 1
            left = (bearing_x + start) * UNITS_PER_PIXEL
            right = (bearing_x + x) * UNITS_PER_PIXEL
            # Clockwise: an outer contour.
            pen.moveTo((left, top))
            pen.lineTo((right, top))
            pen.lineTo((right, bottom))
            pen.lineTo((left, bottom))
            pen.closePath()
    return pen.glyph()


def main():
    output = sys.argv[1]
    source = TTFont(sys.argv[2] if len(sys.argv) > 2 else SOURCE)
    index, strike = strike_for(source, CELL_PIXELS)
    images = source["EBDT"].strikeData[index]
    in_index = constant_metrics(strike)
    scale = CELL_PIXELS / source["head"].unitsPerEm  # source units -> pixels
    ascent = strike.bitmapSizeTable.hori.ascender
    descent = -strike.bitmapSizeTable.hori.descender

    order = source.getGlyphOrder()
    glyphs, advances = {}, {}
    for name in order:
        if name in images:
            _, _, bearing_x, bearing_y, advance, bits = bitmap_and_metrics(
                images[name], in_index.get(name))
            glyphs[name] = outline(bits, bearing_x, bearing_y)
        else:
            glyphs[name] = TTGlyphPen(None).glyph()
            advance = round(source["hmtx"][name][0] * scale)
        advances[name] = advance * UNITS_PER_PIXEL

    builder = FontBuilder(PIXELS_PER_EM * UNITS_PER_PIXEL, isTTF=True)
    builder.setupGlyphOrder(order)
    builder.setupCharacterMap(source["cmap"].getBestCmap())
    builder.setupGlyf(glyphs)
    builder.setupHorizontalMetrics(
        {name: (advances[name], glyphs[name].xMin if glyphs[name].numberOfContours else 0)
         for name in order})
    builder.setupHorizontalHeader(ascent=ascent * UNITS_PER_PIXEL,
                                  descent=-descent * UNITS_PER_PIXEL)
    builder.setupNameTable({"familyName": FAMILY, "styleName": "Regular",
                            "uniqueFontIdentifier": FAMILY + " (stand-in for the tests)",
                            "fullName": FAMILY, "psName": "MicrosoftSansSerif"})
    builder.setupOS2(sTypoAscender=ascent * UNITS_PER_PIXEL,
                     sTypoDescender=-descent * UNITS_PER_PIXEL, sTypoLineGap=0,
                     usWinAscent=ascent * UNITS_PER_PIXEL, usWinDescent=descent * UNITS_PER_PIXEL,
                     ulCodePageRange1=0b11,  # Latin 1 and Central European (Polish)
                     fsType=0)
    builder.font["OS/2"].recalcUnicodeRanges(builder.font)
    builder.setupPost()
    builder.save(output)


if __name__ == "__main__":
    main()
