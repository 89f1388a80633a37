#!/usr/bin/env python3
"""Writes the 100000-byte test payload: byte i is (i * 7 + 3) mod 256."""
import sys

with open(sys.argv[1], 'wb') as f:
    f.write(bytes((i * 7 + 3) & 255 for i in range(100000)))
