#!/usr/bin/python3
"""Lists every A element of an HTML file as 'position TAB href TAB text':
the reference that `linkvane-cli query FILE .A` is timed against
(see compare_lxml.sh)."""
import sys

from lxml import html


def main():
    tree = html.parse(sys.argv[1])
    lines = []
    for position, a in enumerate(tree.iter("a")):
        lines.append("%d\t%s\t%s" % (position, a.get("href") or "", a.text_content().strip()))
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
