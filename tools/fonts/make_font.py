#!/usr/bin/env python3
"""Derives one of the production's TrueType fonts from a free font.

    make_font.py SOURCE OUTPUT FAMILY [--widen FACTOR]

Keeps the printable ASCII characters of SOURCE (an OpenType or TrueType file), converts CFF
outlines to TrueType quadratic outlines (glyf), optionally stretches every glyph horizontally
by FACTOR, drops the layout tables (the program places glyphs one by one), and renames the
family to FAMILY everywhere in the name table, as the SIL Open Font License asks of modified
versions; the source's copyright and licence entries are kept. The output's bytes depend only
on the input: no timestamps are touched.
"""
import argparse

from fontTools import subset
from fontTools.pens.cu2quPen import Cu2QuPen
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable

# Printable ASCII: the glyph alphabet and every character a text may hold.
KEEP = [c for c in range(0x20, 0x7F)]
LAYOUT_TABLES = ["GSUB", "GPOS", "GDEF", "kern", "DSIG"]
RENAMED_IDS = [1, 2, 3, 4, 6, 16, 17, 18, 21, 22, 25]


def keep_ascii(font):
    options = subset.Options()
    options.layout_features = []
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    options.glyph_names = True
    options.recalc_timestamp = False
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=KEEP)
    subsetter.subset(font)
    for tag in LAYOUT_TABLES:
        if tag in font:
            del font[tag]


def to_truetype_outlines(font, widen):
    order = font.getGlyphOrder()
    glyph_set = font.getGlyphSet()
    glyf = newTable("glyf")
    glyf.glyphOrder = order
    glyf.glyphs = {}
    for name in order:
        pen = TTGlyphPen(None)
        # CFF contours run counter-clockwise, TrueType ones clockwise.
        quadratic = Cu2QuPen(pen, max_err=1.0, reverse_direction="CFF " in font)
        glyph_set[name].draw(TransformPen(quadratic, (widen, 0, 0, 1, 0, 0)))
        glyf.glyphs[name] = pen.glyph()
    hmtx = font["hmtx"]
    for name in order:
        advance, _ = hmtx.metrics[name]
        glyph = glyf.glyphs[name]
        glyph.recalcBounds(glyf)
        hmtx.metrics[name] = (round(advance * widen), getattr(glyph, "xMin", 0))
    if "CFF " in font:
        del font["CFF "]
        font.sfntVersion = "\x00\x01\x00\x00"
        maxp = font["maxp"]
        maxp.tableVersion = 0x00010000
        for field in ("maxZones", "maxTwilightPoints", "maxStorage", "maxFunctionDefs",
                      "maxInstructionDefs", "maxStackElements", "maxSizeOfInstructions",
                      "maxComponentElements"):
            setattr(maxp, field, 1 if field == "maxZones" else 0)
        for field in ("maxPoints", "maxContours", "maxCompositePoints", "maxCompositeContours",
                      "maxComponentDepth"):
            setattr(maxp, field, 0)
        post = font["post"]
        post.formatType = 2.0
        post.extraNames = []
        post.mapping = {}
        post.glyphOrder = order
    font["glyf"] = glyf
    font["loca"] = newTable("loca")
    font["head"].glyphDataFormat = 0
    os2 = font["OS/2"]
    widths = [hmtx.metrics[n][0] for n in order if hmtx.metrics[n][0] > 0]
    os2.xAvgCharWidth = round(sum(widths) / len(widths))


def rename(font, family, source_name):
    name = font["name"]
    for name_id in RENAMED_IDS:
        name.removeNames(nameID=name_id)
    postscript = family.replace(" ", "")
    for name_id, text in ((1, family), (2, "Regular"), (3, postscript + "-Derived"),
                          (4, family), (6, postscript)):
        name.setName(text, name_id, 3, 1, 0x409)
        name.setName(text, name_id, 1, 0, 0)
    note = "Modified version of " + source_name + ", renamed as its licence asks."
    name.setName(note, 10, 3, 1, 0x409)
    name.setName(note, 10, 1, 0, 0)
    font["OS/2"].usWeightClass = min(font["OS/2"].usWeightClass, 700)
    font["OS/2"].fsSelection &= ~0b1100001  # regular: not italic, bold or oblique
    font["OS/2"].fsSelection |= 0b1000000
    font["head"].macStyle = 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("output")
    parser.add_argument("family")
    parser.add_argument("--widen", type=float, default=1.0)
    args = parser.parse_args()
    font = TTFont(args.source, recalcTimestamp=False)
    source_name = font["name"].getDebugName(4) or args.source
    keep_ascii(font)
    to_truetype_outlines(font, args.widen)
    rename(font, args.family, source_name)
    font.save(args.output)


if __name__ == "__main__":
    main()
