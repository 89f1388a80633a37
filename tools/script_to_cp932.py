#!/usr/bin/env python3
"""Converts a patch script written in UTF-8 into what a patch carries:
CP932 bytes with CR LF line ends. Tabs and everything else stay as written."""
import sys

source, output = sys.argv[1], sys.argv[2]
with open(source, encoding='utf-8', newline='') as f:
    text = f.read()
text = text.replace('\r\n', '\n').replace('\n', '\r\n')
with open(output, 'wb') as f:
    f.write(text.encode('cp932'))
