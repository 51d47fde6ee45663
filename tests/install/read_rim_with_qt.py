#!/usr/bin/python3
"""Reads a RIM file through Qt's image plugins, as any Qt program would, and
checks it against the same image decoded by folim-cli.

Usage: read_rim_with_qt.py FILE.rim DECODED.png [RENAMED_RIM]
"""
import sys

from PyQt6.QtCore import QCoreApplication, QSize
from PyQt6.QtGui import QImage, QImageReader


def fail(message):
    print("FAIL:", message, file=sys.stderr)
    sys.exit(1)


def main():
    rim, decoded = sys.argv[1], sys.argv[2]
    renamed = sys.argv[3] if len(sys.argv) > 3 else None
    QCoreApplication(sys.argv)

    if b"rim" not in [bytes(f) for f in QImageReader.supportedImageFormats()]:
        fail("no image plugin offers the format rim")

    reference = QImage(decoded)
    if reference.isNull():
        fail("cannot read " + decoded)

    reader = QImageReader(rim)
    if bytes(reader.format()) != b"rim":
        fail("format of %s is %r" % (rim, bytes(reader.format())))
    if reader.size() != reference.size():
        fail("announced size %s, decoded %s" % (reader.size(), reference.size()))

    image = QImage(rim)
    if image.isNull():
        fail("QImage(%s) is null" % rim)
    if image.size() != reference.size():
        fail("size %s, decoded %s" % (image.size(), reference.size()))
    a = image.convertToFormat(QImage.Format.Format_RGB32)
    b = reference.convertToFormat(QImage.Format.Format_RGB32)
    if a != b:
        fail("pixels differ from the decoded image")

    # A thumbnail-sized read gives exactly the size asked for.
    small = QSize(max(1, reference.width() // 8), max(1, reference.height() // 8))
    reader = QImageReader(rim)
    reader.setScaledSize(small)
    thumb = reader.read()
    if thumb.size() != small:
        fail("scaled read gave %s, asked %s" % (thumb.size(), small))

    # A RIM file without its extension is recognised by its contents.
    if renamed:
        image = QImage(renamed)
        if image.isNull() or image.convertToFormat(QImage.Format.Format_RGB32) != b:
            fail("renamed file %s not read as RIM" % renamed)

    print("ok: %dx%d read through the plugin" % (image.width(), image.height()))


main()
