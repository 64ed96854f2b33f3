#!/usr/bin/env python3
"""Splits the first screen of an X server (Xvfb) into named RandR monitors, as
"xrandr --setmonitor" does, so that programs see several screens:
    xvfb_monitors.py NAME WIDTHxHEIGHT+X+Y [NAME WIDTHxHEIGHT+X+Y ...]
The first monitor takes the server's output, which removes the monitor the
server makes for it. Needs only libX11 and libXrandr (no xrandr program)."""
import ctypes
import re
import sys

x11 = ctypes.CDLL("libX11.so.6")
xrandr = ctypes.CDLL("libXrandr.so.2")


class MonitorInfo(ctypes.Structure):
    _fields_ = [("name", ctypes.c_ulong), ("primary", ctypes.c_int), ("automatic", ctypes.c_int),
                ("noutput", ctypes.c_int), ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int), ("mwidth", ctypes.c_int),
                ("mheight", ctypes.c_int), ("outputs", ctypes.POINTER(ctypes.c_ulong))]


class ScreenResources(ctypes.Structure):
    _fields_ = [("timestamp", ctypes.c_ulong), ("configTimestamp", ctypes.c_ulong),
                ("ncrtc", ctypes.c_int), ("crtcs", ctypes.POINTER(ctypes.c_ulong)),
                ("noutput", ctypes.c_int), ("outputs", ctypes.POINTER(ctypes.c_ulong))]


x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xrandr.XRRGetScreenResourcesCurrent.restype = ctypes.POINTER(ScreenResources)
xrandr.XRRGetScreenResourcesCurrent.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xrandr.XRRSetMonitor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(MonitorInfo)]


def main(args):
    if len(args) < 2 or len(args) % 2:
        sys.exit("usage: xvfb_monitors.py NAME WxH+X+Y ...")
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the X display")
    root = x11.XDefaultRootWindow(display)
    resources = xrandr.XRRGetScreenResourcesCurrent(display, root)
    if not resources or resources.contents.noutput < 1:
        sys.exit("the server has no RandR output")
    output = (ctypes.c_ulong * 1)(resources.contents.outputs[0])
    for i in range(0, len(args), 2):
        m = re.fullmatch(r"(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", args[i + 1])
        if not m:
            sys.exit(f"not a geometry: {args[i + 1]}")
        w, h, x, y = (int(v) for v in m.groups())
        first = i == 0
        info = MonitorInfo(x11.XInternAtom(display, args[i].encode(), 0), first, 0,
                           1 if first else 0, x, y, w, h, w * 254 // 960, h * 254 // 960,
                           output if first else None)  # millimetres at 96 dots per inch
        xrandr.XRRSetMonitor(display, root, ctypes.byref(info))
    x11.XSync(display, 0)


main(sys.argv[1:])
