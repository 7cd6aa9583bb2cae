#!/usr/bin/python3
"""The way many people embed a picture today: Pillow decodes it and a Python
loop prints the pixels. This script writes exactly Tarnwick's header format
(comment, guard, array of 0xAARRGGBB items or, with --gray, of 8-bit gray
values, seven or fourteen to a line, width and height constants), so the
benchmark compares the same output.

    /usr/bin/python3 bench/pillow_header.py photo.jpg photo.h [--gray]

For a TGA input the header is byte for byte Tarnwick's. For a JPEG input
Pillow's own decoder (libjpeg with its default upsampling and integer
transform) is used, so a few pixel values differ slightly.
"""
import os
import sys

from PIL import Image

# The single-precision weights nearest to 0.299, 0.587 and 0.114, as Tarnwick
# takes them; Python floats are doubles, so the arithmetic is the same.
GRAY_WEIGHTS = (0.29899999499320984, 0.5870000123977661, 0.11400000005960464)


def guard_name(header_path):
    chars = []
    for c in os.fsencode(header_path)[:238]:
        ch = chr(c)
        if ch.isascii() and ch.isalpha():
            chars.append(ch.upper())
        elif "0" <= ch <= "9":
            chars.append(ch)
        else:
            chars.append("_")
    return "__" + "".join(chars) + "_INCLUDED"


def array_name(image_path):
    name = ""
    for c in os.fsencode(image_path)[:256]:
        ch = chr(c)
        if ch.isascii() and ch.isalpha():
            name += ch.lower()
        elif "0" <= ch <= "9":
            name += ch
        elif not name.endswith("_"):
            name += "_"
    return name[:255]


def comment_path(image_path):
    # As Tarnwick writes it: "*/" cannot end the comment, control bytes are '?'.
    text = os.fsencode(image_path).decode("latin-1").replace("*/", "* /")
    return "".join("?" if ord(c) < 0x20 else c for c in text)


def pixel_items(image, gray):
    rgba = image.convert("RGBA")
    items = []
    for r, g, b, a in rgba.getdata():
        if gray:
            value = int((r * GRAY_WEIGHTS[0] + g * GRAY_WEIGHTS[1]) + b * GRAY_WEIGHTS[2])
            items.append("0x%02x" % min(value, 255))
        else:
            items.append("0x%08x" % (a << 24 | r << 16 | g << 8 | b))
    return items


def main(argv):
    if len(argv) < 3:
        sys.stderr.write("usage: pillow_header.py <image> <header> [--gray]\n")
        return 2
    image_path, header_path = argv[1], argv[2]
    gray = "--gray" in argv[3:]
    image = Image.open(image_path)
    width, height = image.size
    items = pixel_items(image, gray)
    per_line = 14 if gray else 7
    lines = [", ".join(items[i:i + per_line]) for i in range(0, len(items), per_line)]
    guard, name = guard_name(header_path), array_name(image_path)
    with open(header_path, "w", encoding="latin-1", newline="\n") as out:
        out.write("/*\n *\timage header file\n *\tcreated from '%s'\n */\n\n" % comment_path(image_path))
        out.write("#ifndef %s\n#define %s\n\n" % (guard, guard))
        out.write("const unsigned %s p_%s[] = {\n\t" % ("char" if gray else "__int32", name))
        out.write(",\n\t".join(lines))
        out.write("\n" if lines else "")
        out.write("};\n\n")
        out.write("const unsigned int n_%s_width = %d;\nconst unsigned int n_%s_height = %d;\n"
                  % (name, width, name, height))
        out.write("\n#endif //%s\n" % guard)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
