"""Reads the console summary the way a user does: by section."""

import re

BANNER = re.compile(r"\n={30}\n  (.+)\n={30}\n")


def sections(text):
    """Maps each section title to its body text."""
    parts = BANNER.split(text)
    result = {}
    for i in range(1, len(parts) - 1, 2):
        result[parts[i]] = parts[i + 1]
    return result


def section(text, number):
    for title, body in sections(text).items():
        if title.startswith(number + ". "):
            return body
    raise KeyError(f"no section {number} in:\n{text}")


def lines(text, number):
    return [l for l in section(text, number).split("\n") if l]
