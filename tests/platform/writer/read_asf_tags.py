"""Prints the attributes of an ASF file as mutagen reads them, one per line:
name, type, value (text as UTF-8, bytes in hexadecimal), separated by tabs."""
import sys

from mutagen.asf import ASF


def main():
    audio = ASF(sys.argv[1])
    out = sys.stdout.buffer
    info = audio.info
    out.write(("#info\t%s\t%d\t%d\t%.3f\n" % (info.codec_name, info.sample_rate,
                                                info.channels, info.length)).encode())
    for name, attribute in audio.tags:
        value = attribute.value
        if isinstance(value, bytes):
            text = value.hex()
        elif isinstance(value, bool):
            text = "true" if value else "false"
        else:
            text = str(value)
        out.write(("%s\t%s\t%s\n" % (name, type(attribute).__name__, text)).encode("utf-8"))


if __name__ == "__main__":
    main()
