"""Prints the tags of a file as TagLib reads them (through python3-taglib), one
value a line: the property name, a tab, the value as UTF-8. Attributes TagLib
has no property name for follow as "#unsupported<tab>name"."""
import sys

import taglib


def main():
    song = taglib.File(sys.argv[1])
    out = sys.stdout.buffer
    for name, values in song.tags.items():
        for value in values:
            out.write(("%s\t%s\n" % (name, value)).encode("utf-8"))
    for name in song.unsupported:
        out.write(("#unsupported\t%s\n" % name).encode("utf-8"))


if __name__ == "__main__":
    main()
