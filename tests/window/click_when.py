#!/usr/bin/env python3
"""The pointer of the window test: a move, or a click at a chosen moment.

    click_when.py [--move-only | --no-move] [--when-exists PATH [--at-least BYTES]]
                  [--timeout SECONDS] X Y

Moves the pointer to X, Y on the display named by DISPLAY (from another
point first, so that the window sees a move), waits until PATH exists when
one is given (and holds at least BYTES; looking every millisecond), then presses and releases the left
button there. Prints "BEFORE AFTER": CLOCK_MONOTONIC in milliseconds just
before the click was sent and just after the X server had it (with
--move-only: the move, and no click). --no-move clicks wherever the pointer
is. Exit 1 when PATH did not appear in time.

The events go through the X server's XTest extension (libXtst, which
xdotool uses too), from this process: no program start between the moment
and the click.
"""
import argparse
import ctypes
import os
import sys
import time


def now_ms():
    return time.clock_gettime(time.CLOCK_MONOTONIC) * 1000.0


class Pointer:
    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for name in ("XFlush", "XCloseDisplay"):
            getattr(self.x11, name).argtypes = [ctypes.c_void_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            raise SystemExit("cannot open the display " + os.environ.get("DISPLAY", "(unset)"))

    def done(self):
        # Returns once the server has handled every request.
        self.x11.XSync(self.display, 0)

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.done()

    def click(self):
        self.xtst.XTestFakeButtonEvent(self.display, 1, 1, 0)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 0, 0)
        self.done()


def grown(path, size):
    try:
        return os.stat(path).st_size >= size
    except FileNotFoundError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    how = parser.add_mutually_exclusive_group()
    how.add_argument("--move-only", action="store_true")
    how.add_argument("--no-move", action="store_true")
    parser.add_argument("--when-exists", metavar="PATH")
    parser.add_argument("--at-least", type=int, default=0, metavar="BYTES")
    parser.add_argument("--timeout", type=float, default=60.0, metavar="SECONDS")
    parser.add_argument("x", type=int)
    parser.add_argument("y", type=int)
    args = parser.parse_args()

    pointer = Pointer()
    if not args.no_move:
        pointer.move(1, 1)
        before = now_ms()
        pointer.move(args.x, args.y)
        after = now_ms()
        if args.move_only:
            print(f"{before:.1f} {after:.1f}")
            return 0
    if args.when_exists:
        deadline = time.monotonic() + args.timeout
        while not grown(args.when_exists, args.at_least):
            if time.monotonic() > deadline:
                print(f"{args.when_exists} did not reach {args.at_least} bytes within "
                      f"{args.timeout:g}s", file=sys.stderr)
                return 1
            time.sleep(0.001)
    before = now_ms()
    pointer.click()
    after = now_ms()
    print(f"{before:.1f} {after:.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
