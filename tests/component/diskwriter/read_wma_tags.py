"""Lists the attributes mutagen reads from a Windows Media file, one per line:
the name, a tab and the value, with backslash, tab and line breaks escaped.
A first line "#length<tab>seconds" gives the decoded length."""
import sys

from mutagen.asf import ASF


def escaped(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r"))


def main():
    audio = ASF(sys.argv[1])
    out = sys.stdout.buffer
    out.write(("#length\t%.3f\n" % audio.info.length).encode())
    for name, attribute in audio.tags:
        out.write(("%s\t%s\n" % (escaped(name), escaped(str(attribute.value)))).encode("utf-8"))


if __name__ == "__main__":
    main()
