#!/usr/bin/env python3
"""Helpers for the translation catalogues.

  translations.py pseudo TEMPLATE.ts OUT.ts
      Writes a catalogue that translates every text of TEMPLATE into a marked form of itself,
      "⟦text⟧", so that a test can tell translated texts from ones that bypass translation
      (each piece of an effect description is marked on its own).
      Mnemonics, %1 arguments and markup stay as they are; markup keeps its leading tag, so Qt
      still takes it for rich text.
  translations.py check LUPDATE TEMPLATE.ts INCLUDE_DIR SOURCE_DIR...
      Runs lupdate over the sources (whose includes are relative to INCLUDE_DIR) into a scratch
      file and fails, naming them, when the committed TEMPLATE lacks texts the sources have.
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

OPEN, CLOSE = "\u27e6", "\u27e7"


def marked(text, context=""):
    # Effect descriptions are taken apart at their separators: each piece carries the marks.
    if context == "Effects":
        return "".join(piece if piece in "|~#" or not piece else OPEN + piece + CLOSE
                       for piece in re.split(r"([|~#])", text))
    m = re.match(r"^(\s*<[^>]+>)(.*?)(<[^<>]*>\s*)$", text, re.S)
    if m:
        return m.group(1) + OPEN + m.group(2) + CLOSE + m.group(3)
    return OPEN + text + CLOSE


def pseudo(template, out):
    tree = ET.parse(template)
    root = tree.getroot()
    root.set("language", "en")
    for context, message in ((c.findtext("name", ""), m)
                             for c in root.iter("context") for m in c.iter("message")):
        source = message.findtext("source", "")
        translation = message.find("translation")
        if translation is None:
            translation = ET.SubElement(message, "translation")
        translation.attrib.pop("type", None)
        translation.clear()
        if message.get("numerus") == "yes":
            for _ in range(2):
                ET.SubElement(translation, "numerusform").text = marked(source, context)
        else:
            translation.text = marked(source, context)
    tree.write(out, encoding="utf-8", xml_declaration=True)
    return 0


def texts(path):
    root = ET.parse(path).getroot()
    return {(context.findtext("name", ""), message.findtext("source", ""))
            for context in root.iter("context") for message in context.iter("message")}


def check(lupdate, template, include, sources):
    with tempfile.TemporaryDirectory() as scratch:
        fresh = os.path.join(scratch, "fresh.ts")
        # lupdate's notes on code it does not follow are noise here; its failure is not.
        run = subprocess.run(
            [lupdate, "-silent", "-locations", "none", "-I", include, *sources, "-ts", fresh],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            print(run.stderr, file=sys.stderr)
            return 1
        missing = sorted(texts(fresh) - texts(template))
    for context, source in missing:
        print(f"{template}: lacks {context}: {source!r}", file=sys.stderr)
    if missing:
        print("Refresh it with: cmake --build BUILD_DIR --target update_translations",
              file=sys.stderr)
    return 1 if missing else 0


def main(argv):
    if len(argv) == 4 and argv[1] == "pseudo":
        return pseudo(argv[2], argv[3])
    if len(argv) >= 6 and argv[1] == "check":
        return check(argv[2], argv[3], argv[4], argv[5:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
