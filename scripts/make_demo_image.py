#!/usr/bin/env python3
"""Writes a demo image.zip: the suite's programs as small stand-in files and a Docs folder,
deflated, as the installer expects to find it beside itself."""
import sys
import zipfile

PROGRAMS = ["DoVra.exe", "QelPixet.exe", "QelFarrow.exe", "QelMarken.exe", "QelZonda.exe",
            "QelDayvo.exe", "QelScrivo.exe", "qellantern.url"]


def main(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as image:
        for name in PROGRAMS:
            image.writestr(name, ("stand-in for %s\r\n" % name) * 200)
        image.writestr("Docs/", "")
        image.writestr("Docs/readme.txt", "Qel Orvane demo installation.\r\n" * 50)


if __name__ == "__main__":
    main(sys.argv[1])
