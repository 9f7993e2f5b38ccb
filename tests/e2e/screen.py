"""Looking at the game's window from outside: grabbing its pixels from the X
server, sending it keys with xdotool, and where the game's texts must appear.

Used by play_session.py, frame_wait.sh and scripts/measure-startup. Needs
python3-numpy and libX11 (which GLFW needs anyway)."""

import ctypes
import ctypes.util
import os
import subprocess
import time

import numpy as np

# ---------------------------------------------------------------- X11 grabs


class _XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, up to the function table.
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
        ("obdata", ctypes.c_void_p),
        ("create_image", ctypes.c_void_p),
        ("destroy_image", ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)),
    ]


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("rest", ctypes.c_byte * 256)]


_ZPIXMAP = 2
_ALL_PLANES = ctypes.c_ulong(0xFFFFFFFF)


class Display:
    """One connection to $DISPLAY; grabs window contents as RGB arrays."""

    def __init__(self):
        name = ctypes.util.find_library("X11") or "libX11.so.6"
        self.x = ctypes.CDLL(name)
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XGetImage.restype = ctypes.POINTER(_XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                ctypes.POINTER(_XWindowAttributes)]
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        # A window that goes away between two grabs makes XGetImage fail;
        # without a handler of our own Xlib would end this process.
        self._handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._handler = self._handler_type(lambda display, event: 0)
        self.x.XSetErrorHandler(self._handler)
        self.dpy = self.x.XOpenDisplay(None)
        if not self.dpy:
            raise RuntimeError("cannot open the X display %r" % os.environ.get("DISPLAY"))

    def size(self, window):
        attrs = _XWindowAttributes()
        if not self.x.XGetWindowAttributes(self.dpy, window, ctypes.byref(attrs)):
            return None
        return attrs.width, attrs.height

    def grab(self, window, x=0, y=0, width=None, height=None):
        """RGB pixels (rows top to bottom) of a window area, or None when the
        window cannot be read (gone, or not mapped yet)."""
        if width is None or height is None:
            size = self.size(window)
            if size is None:
                return None
            width, height = size[0] - x, size[1] - y
        image = self.x.XGetImage(self.dpy, window, x, y, width, height, _ALL_PLANES, _ZPIXMAP)
        if not image:
            return None
        try:
            img = image.contents
            if img.bits_per_pixel != 32:
                raise RuntimeError("unexpected %d bits per pixel" % img.bits_per_pixel)
            raw = np.ctypeslib.as_array(img.data, shape=(img.height * img.bytes_per_line,)).copy()
            rows = raw.reshape(img.height, img.bytes_per_line)[:, :img.width * 4].reshape(img.height, img.width, 4)
            shifts = [(int(mask) & -int(mask)).bit_length() - 1 for mask in (img.red_mask, img.green_mask, img.blue_mask)]
            words = rows.view("<u4")[:, :, 0] if img.byte_order == 0 else rows.view(">u4")[:, :, 0]
            rgb = np.stack([(words >> s) & 0xFF for s in shifts], axis=2).astype(np.uint8)
            return rgb
        finally:
            image.contents.destroy_image(ctypes.cast(image, ctypes.c_void_p))


def save_png(rgb, path):
    """Writes an RGB array as a PNG (through ImageMagick)."""
    h, w, _ = rgb.shape
    subprocess.run(["convert", "-size", "%dx%d" % (w, h), "-depth", "8", "rgb:-", path],
                   input=rgb.tobytes(), check=True)


# -------------------------------------------------------------- keyboard


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, stdout=subprocess.DEVNULL)


class Keys:
    """Real key events for the game's window (XTEST through xdotool, to the
    window that has the focus)."""

    def __init__(self, window):
        self.window = str(window)

    def _focus(self):
        xdotool("windowfocus", "--sync", self.window)

    def tap(self, key):
        self._focus()
        xdotool("key", key)

    def down(self, key):
        self._focus()
        xdotool("keydown", key)

    def up(self, key):
        self._focus()
        xdotool("keyup", key)


def find_window(name, timeout, alive=lambda: True, poll=0.02):
    """The id of the first window with exactly this name."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and alive():
        found = subprocess.run(["xdotool", "search", "--name", "^%s$" % name],
                               capture_output=True, text=True)
        ids = found.stdout.split()
        if ids:
            return int(ids[0])
        time.sleep(poll)
    return None


# ------------------------------------------------------------ text layout

# Horizontal extent (min x, max x) of each glyph's strokes on its 8-unit grid;
# every glyph spans the whole cell height.
GLYPH_X = {c: (0.0, 8.0) for c in "02356789ABCDEGMOPRSTUVX"}
GLYPH_X.update({"1": (2.5, 4.5), "4": (1.0, 8.0), "I": (3.5, 4.5)})
VIRTUAL_W, VIRTUAL_H = 1920.0, 864.0


def rgb255(r, g, b):
    return (r * 255.0, g * 255.0, b * 255.0)


def text_extent(text, height):
    """(left, right, top) of the drawn strokes relative to the pen start, and
    the text's advance width, all in virtual units (top above the baseline)."""
    pen, left, right, top = 0.0, None, None, 0.0
    for ch in text:
        if ch == " ":
            pen += height * 4 / 7.5
            continue
        glyph, size = (ch.upper(), 0.6 * height) if ch.islower() else (ch, height)
        if glyph in "AT":
            pen -= size * 0.9 / 7.5
        elif glyph == "I":
            pen -= size * 1.7 / 7.5
        if glyph in GLYPH_X:
            lo, hi = GLYPH_X[glyph]
            a, b = pen + lo * size / 8, pen + hi * size / 8
            left = a if left is None else min(left, a)
            right = b if right is None else max(right, b)
            top = max(top, size)
        pen += 8 * size / 7.5
        if glyph in "AP":
            pen -= size * 0.8 / 7.5
        elif glyph == "I":
            pen -= size * 1.7 / 7.5
    return left, right, top, pen


class Text:
    """A text the game draws: where its strokes must be in a window of the
    given size, for centred or right-aligned placement."""

    def __init__(self, text, x, baseline, height, color, align="center"):
        self.text, self.color, self.height = text, color, height
        left, right, top, width = text_extent(text, height)
        start = x - 0.5 * width if align == "center" else x - width
        self.box = (start + left, start + right, baseline + top, baseline)  # virtual units

    def pixel_box(self, w, h):
        """(x0, x1, y0, y1) in window pixels, rows counted from the top."""
        l, r, t, b = self.box
        return (l * w / VIRTUAL_W, r * w / VIRTUAL_W, h - t * h / VIRTUAL_H, h - b * h / VIRTUAL_H)

    def __repr__(self):
        return repr(self.text)


# The menu's title: the first frame the game draws shows it.
MENU_TITLE = Text("Vimbrot", 960, 570, 224, rgb255(0.2, 0.5, 0.26))


def wait_for_title(display, window, timeout, alive=lambda: True, poll=0.005):
    """Waits until the window shows the menu's title in its colour; returns
    False when the timeout passes or alive() turns false first. Only the
    title's box is read, so a poll costs well under a millisecond and takes
    little from the game it watches."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and alive():
        size = display.size(window)
        if size:
            x0, x1, y0, y1 = MENU_TITLE.pixel_box(*size)
            rgb = display.grab(window, int(x0), int(y0), int(x1 - x0), int(y1 - y0))
            if rgb is not None and solid(color_mask(rgb, MENU_TITLE.color)).sum() > 0.1 * rgb.shape[0] * rgb.shape[1]:
                return True
        time.sleep(poll)
    return False


def color_mask(rgb, color, tolerance=1.0):
    diff = np.abs(rgb.astype(np.int16) - np.array(color, dtype=np.float32))
    return np.all(diff <= tolerance + 0.5, axis=2)


def _shrink(mask):
    out = mask.copy()
    out[1:, :] &= mask[:-1, :]
    out[:-1, :] &= mask[1:, :]
    out[:, 1:] &= mask[:, :-1]
    out[:, :-1] &= mask[:, 1:]
    out[0, :] = out[-1, :] = False
    out[:, 0] = out[:, -1] = False
    return out


def _grow(mask):
    out = mask.copy()
    out[1:, :] |= mask[:-1, :]
    out[:-1, :] |= mask[1:, :]
    out[:, 1:] |= mask[:, :-1]
    out[:, :-1] |= mask[:, 1:]
    return out


def solid(mask):
    """The pixels of the mask that belong to strokes: connected to a pixel
    whose four neighbours match too. The multisampled edges of another text
    are one pixel wide and may carry this colour by chance (a three-quarter
    covered edge of a brighter green is a darker green), while the inside of
    a stroke is wider; the thin tips of a stroke stay, as they hang on it."""
    keep = _shrink(mask)
    while True:
        grown = _grow(keep) & mask
        if np.array_equal(grown, keep):
            return keep
        keep = grown


def find_text(rgb, text, tolerance_px=4.0):
    """Checks that the text's colour forms strokes exactly where the layout
    puts the text: nothing of that colour in a margin around its box, and the
    strokes reaching close to each of the box's edges. Returns (ok, detail)."""
    h, w, _ = rgb.shape
    x0, x1, y0, y1 = text.pixel_box(w, h)
    cell = text.height * h / VIRTUAL_H
    # Strokes end in tips thinner than a pixel, so their fully covered pixels
    # stop a little inside the box; at the top and the bottom by up to half
    # the cell, as whole diagonals taper to a point there (6, 7, V).
    inner = min(12.0, 0.12 * cell) + tolerance_px
    inner_y = 0.5 * cell + tolerance_px
    margin = max(24.0, 0.3 * cell)
    ax0, ax1 = int(max(0, x0 - margin)), int(min(w, x1 + margin + 1))
    ay0, ay1 = int(max(0, y0 - margin)), int(min(h, y1 + margin + 1))
    mask = solid(color_mask(rgb[ay0:ay1, ax0:ax1], text.color))
    count = int(mask.sum())
    if count == 0:
        return False, "%r: no pixel of colour %s near (%.0f..%.0f, %.0f..%.0f)" % (
            text, tuple(round(c) for c in text.color), x0, x1, y0, y1)
    ys, xs = np.nonzero(mask)
    fx0, fx1, fy0, fy1 = xs.min() + ax0, xs.max() + ax0 + 1, ys.min() + ay0, ys.max() + ay0 + 1
    ok = (x0 - tolerance_px <= fx0 <= x0 + inner and x1 - inner <= fx1 <= x1 + tolerance_px and
          y0 - tolerance_px <= fy0 <= y0 + inner_y and y1 - inner_y <= fy1 <= y1 + tolerance_px and
          count >= 0.04 * (x1 - x0) * (y1 - y0))
    detail = "%r: %d pixels at (%d..%d, %d..%d), layout (%.0f..%.0f, %.0f..%.0f)" % (
        text, count, fx0, fx1, fy0, fy1, x0, x1, y0, y1)
    return ok, detail


def absent_text(rgb, text):
    h, w, _ = rgb.shape
    x0, x1, y0, y1 = text.pixel_box(w, h)
    area = rgb[int(max(0, y0)):int(min(h, y1 + 1)), int(max(0, x0)):int(min(w, x1 + 1))]
    count = int(solid(color_mask(area, text.color)).sum())
    return count < 0.002 * area.shape[0] * area.shape[1] + 5, "%r: %d pixels of its colour" % (text, count)


def ship(rgb):
    """(pixel count, centre x, centre y) of the ship's warm colours (flames and
    red stripes), which nothing else on the road shows."""
    r = rgb[:, :, 0].astype(np.int16)
    b = rgb[:, :, 2].astype(np.int16)
    ys, xs = np.nonzero((r - b > 120) & (r > 150))
    if len(xs) < 50:
        return len(xs), None, None
    return len(xs), float(xs.mean()), float(ys.mean())


def red_stars(rgb):
    """Pixels that are pure red of some brightness (r > 0, g = b = 0)."""
    return int(((rgb[:, :, 0] > 0) & (rgb[:, :, 1] == 0) & (rgb[:, :, 2] == 0)).sum())
