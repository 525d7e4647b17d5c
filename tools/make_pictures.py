#!/usr/bin/env python3
"""Draws Quorvane's window pictures and writes them as 24-bit BMP files.

The pictures are the skinned face of the main window, the compact badge, the tall bonus view,
the background of the settings panel, the application indicator, the small bonus link and the
pictures of the window's buttons.
Everything is drawn here from signed distance fields, so edges are anti-aliased analytically
and the output is byte-for-byte the same on every run (no randomness, no timestamps).

The shaped pictures use pure red (255, 0, 0) as the cut-out colour. Red is only ever written
from the outline mask, never blended, so the window's edge is a hard, clean cut; every file is
read back after writing and checked against the mask (outside all red, inside no red at all).

Usage: make_pictures.py [--out DIR] [--only NAME ...]   (default DIR: the repository's
app/pictures). Standard library only; about five seconds on one core.
"""

import argparse
import math
import os
import struct
import sys

KEY = (255, 0, 0)  # cut-out colour of the shaped pictures

# Palette. Graphite housing, pale steel-blue plates and lettering, and the two accent colours
# the window's own controls already use (the trace pink-red and the aqua of the captions).
GRAPHITE_TOP = (63, 67, 74)
GRAPHITE_BOTTOM = (38, 41, 46)
FRAME_TOP = (78, 83, 91)  # raised bezels around screens, a step lighter than the housing
FRAME_BOTTOM = (52, 56, 62)
HILITE = (214, 222, 236)  # what lit bevels move towards
SHADE = (4, 5, 7)  # what shadowed bevels move towards
OUTLINE = (10, 11, 13)
RECESS = (20, 22, 26)  # floor of every sunken well
SCREEN = (8, 9, 11)
STEEL = (214, 223, 239)  # plates; the same colour as the settings sub-panels and status text
ACCENT = (255, 0, 82)
AQUA = (0, 255, 255)
LOG_BACKGROUND = (74, 77, 74)
ENGRAVE = (128, 137, 152)
LAMP_GROUND = (192, 192, 192)  # the lamp bitmaps' own ground colour
LED_GREEN = (60, 230, 110)
ROUND_CAP_TOP = (142, 148, 158)  # the round caps of the window buttons
ROUND_CAP_BOTTOM = (104, 109, 118)

LIGHT = (-0.55, -0.835)  # direction towards the light: from the upper left, mostly above


def clamp(v, lo=0.0, hi=1.0):
  return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
  return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def hash01(x, y, seed):
  h = (x * 374761393 + y * 668265263 + seed * 1442695041) & 0xFFFFFFFF
  h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
  return ((h ^ (h >> 16)) & 0xFFFFFFFF) / 4294967295.0


def brushed(x, y, seed=0):
  """Horizontal brushed-metal grain in about -2.5..2.5 brightness units."""
  length = 6 + int(hash01(0, y, seed + 1) * 20)
  offset = int(hash01(1, y, seed + 2) * 97)
  streak = hash01((x + offset) // length, y, seed + 3) - 0.5
  return 3.2 * streak + 1.6 * (hash01(x, y, seed + 4) - 0.5)


# ------------------------------------------------------------------------------------------
# Shapes: signed distance (negative inside) plus the outward normal, in pixel units.


class RRect:
  """Axis-aligned rounded rectangle with a radius per corner (tl, tr, br, bl)."""

  def __init__(self, x0, y0, x1, y1, r):
    self.cx, self.cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    self.hw, self.hh = (x1 - x0) / 2.0, (y1 - y0) / 2.0
    self.radii = r if isinstance(r, tuple) else (r, r, r, r)
    self.box = (x0, y0, x1, y1)

  def dn(self, px, py):
    dx, dy = px - self.cx, py - self.cy
    tl, tr, br, bl = self.radii
    r = (br if dy > 0 else tr) if dx > 0 else (bl if dy > 0 else tl)
    sx = 1.0 if dx > 0 else -1.0
    sy = 1.0 if dy > 0 else -1.0
    qx = abs(dx) - self.hw + r
    qy = abs(dy) - self.hh + r
    if qx > 0 and qy > 0:
      ln = math.hypot(qx, qy)
      return ln - r, sx * qx / ln, sy * qy / ln
    if qx > qy:
      return (qx if qx > 0 else max(qx, qy)) - r, sx, 0.0
    return (qy if qy > 0 else max(qx, qy)) - r, 0.0, sy

  def d(self, px, py):
    return self.dn(px, py)[0]


class Circle:

  def __init__(self, cx, cy, r):
    self.cx, self.cy, self.r = cx, cy, r
    self.box = (cx - r, cy - r, cx + r, cy + r)

  def dn(self, px, py):
    dx, dy = px - self.cx, py - self.cy
    ln = math.hypot(dx, dy)
    if ln < 1e-9:
      return -self.r, 0.0, -1.0
    return ln - self.r, dx / ln, dy / ln

  def d(self, px, py):
    return math.hypot(px - self.cx, py - self.cy) - self.r


def smooth_min(a, b, k):
  h = max(k - abs(a - b), 0.0) / k
  return min(a, b) - h * h * k * 0.25


class Outline:
  """A non-rectangular housing: smooth union of parts, optionally trimmed by a clip shape."""

  def __init__(self, parts, fillet, clip=None):
    self.parts, self.fillet, self.clip = parts, fillet, clip

  def d(self, px, py):
    dist = self.parts[0].d(px, py)
    for part in self.parts[1:]:
      dist = smooth_min(dist, part.d(px, py), self.fillet)
    if self.clip is not None:
      dist = max(dist, self.clip.d(px, py))
    return dist


# ------------------------------------------------------------------------------------------
# Canvas and painting.


class Canvas:

  def __init__(self, w, h, colour=(0, 0, 0)):
    self.w, self.h = w, h
    n = w * h
    self.r = [float(colour[0])] * n
    self.g = [float(colour[1])] * n
    self.b = [float(colour[2])] * n
    self.inside = None  # outline mask of shaped pictures (list of bools)

  def paint(self, box, fn):
    """Calls fn(px, py) at every pixel centre of box; fn gives (colour, alpha) or None."""
    x0 = max(0, int(math.floor(box[0])))
    y0 = max(0, int(math.floor(box[1])))
    x1 = min(self.w, int(math.ceil(box[2])))
    y1 = min(self.h, int(math.ceil(box[3])))
    rr, gg, bb, w = self.r, self.g, self.b, self.w
    for y in range(y0, y1):
      py = y + 0.5
      row = y * w
      for x in range(x0, x1):
        res = fn(x + 0.5, py)
        if res is None:
          continue
        col, a = res
        if a <= 0.0:
          continue
        i = row + x
        if a >= 1.0:
          rr[i], gg[i], bb[i] = col
        else:
          rr[i] += (col[0] - rr[i]) * a
          gg[i] += (col[1] - gg[i]) * a
          bb[i] += (col[2] - bb[i]) * a

  def rect(self, x0, y0, x1, y1, col):
    """Exact flat fill of whole pixels: the areas the controls paint over."""
    for y in range(max(0, y0), min(self.h, y1)):
      row = y * self.w
      for x in range(max(0, x0), min(self.w, x1)):
        i = row + x
        self.r[i], self.g[i], self.b[i] = col


def grow(box, m):
  return (box[0] - m, box[1] - m, box[2] + m, box[3] + m)


def fill(cv, shape, colour, alpha=1.0):
  """Anti-aliased fill; colour is a tuple or a function of (px, py)."""
  colour_fn = colour if callable(colour) else (lambda px, py: colour)

  def fn(px, py):
    a = clamp(0.5 - shape.d(px, py)) * alpha
    return (colour_fn(px, py), a) if a > 0 else None

  cv.paint(grow(shape.box, 1), fn)


def shadow(cv, shape, dx=1.0, dy=2.0, soft=3.0, alpha=0.55):
  def fn(px, py):
    a = alpha * clamp(0.5 - shape.d(px - dx, py - dy) / soft)
    return (SHADE, a) if a > 0 else None

  cv.paint(grow(shape.box, soft + 3), fn)


def bevel(cv, shape, width, strength, raised=True):
  """Lights the band just inside the edge as if it were a slope facing out (raised) or in."""
  lx, ly = LIGHT
  facing = 1.0 if raised else -1.0

  def fn(px, py):
    d, nx, ny = shape.dn(px, py)
    if d > 0.5 or d < -width:
      return None
    slope = 1.0 - (-d / width if d < 0 else 0.0)
    lit = facing * (nx * lx + ny * ly) * slope * strength * clamp(0.5 - d)
    if lit > 0:
      return HILITE, clamp(lit)
    return SHADE, clamp(-lit)

  cv.paint(grow(shape.box, 1), fn)


def ring(cv, shape, offset, width, colour, alpha=1.0):
  """A line of the given width centred at distance `offset` from the shape's edge."""
  half = width / 2.0

  def fn(px, py):
    a = clamp(half + 0.5 - abs(shape.d(px, py) - offset)) * alpha
    return (colour, a) if a > 0 else None

  cv.paint(grow(shape.box, abs(offset) + width + 1), fn)


def vgrad(top, bottom, y0, y1, grain=0):
  def fn(px, py):
    c = mix(top, bottom, clamp((py - y0) / float(y1 - y0)))
    if grain:
      n = brushed(int(px), int(py), grain)
      return (c[0] + n, c[1] + n, c[2] + n)
    return c

  return fn


def plate(cv, shape, top, bottom, bevel_width=2.0, strength=0.5, grain=7, drop=True):
  """A raised part standing on the housing: drop shadow, body, lit edge, fine outline."""
  if drop:
    shadow(cv, shape)
  fill(cv, shape, vgrad(top, bottom, shape.box[1], shape.box[3], grain))
  bevel(cv, shape, bevel_width, strength, raised=True)
  ring(cv, shape, -0.5, 1.0, OUTLINE, 0.55)


def well(cv, shape, floor=RECESS, depth=3.0, strength=0.75):
  """A recess cut into the surface: flat floor, shadowed upper-left wall, lit lower-right lip."""
  ring(cv, shape, 0.6, 1.2, HILITE, 0.16)
  fill(cv, shape, floor)
  bevel(cv, shape, depth, strength, raised=False)
  ring(cv, shape, -0.5, 1.0, SHADE, 0.6)


def screw(cv, cx, cy, r=4.5):
  head = Circle(cx, cy, r)
  plate(cv, head, (150, 156, 166), (70, 75, 83), bevel_width=1.5, strength=0.6, grain=0)
  slot_a, slot_b = (cx - r * 0.7, cy + r * 0.35), (cx + r * 0.7, cy - r * 0.35)
  stroke(cv, [('s', slot_a[0], slot_a[1], slot_b[0], slot_b[1])], 0.8, (30, 32, 36))


# ------------------------------------------------------------------------------------------
# Strokes: segments and arcs with round caps, used for the lettering and the traces.


def seg_dist(px, py, ax, ay, bx, by):
  dx, dy = bx - ax, by - ay
  l2 = dx * dx + dy * dy
  t = 0.0 if l2 == 0 else clamp(((px - ax) * dx + (py - ay) * dy) / l2)
  return math.hypot(px - ax - t * dx, py - ay - t * dy)


def arc_dist(px, py, cx, cy, r, a0, a1):
  """Distance to an arc; angles in degrees, counter-clockwise with y pointing down."""
  ang = math.degrees(math.atan2(cy - py, px - cx)) % 360.0
  if (ang - a0) % 360.0 <= (a1 - a0):
    return abs(math.hypot(px - cx, py - cy) - r)
  e0 = (cx + r * math.cos(math.radians(a0)), cy - r * math.sin(math.radians(a0)))
  e1 = (cx + r * math.cos(math.radians(a1)), cy - r * math.sin(math.radians(a1)))
  return min(math.hypot(px - e0[0], py - e0[1]), math.hypot(px - e1[0], py - e1[1]))


def prim_dist(prims, px, py):
  best = 1e9
  for p in prims:
    kind = p[0]
    if kind == 's':
      dist = seg_dist(px, py, p[1], p[2], p[3], p[4])
    elif kind == 'c':
      dist = abs(math.hypot(px - p[1], py - p[2]) - p[3])
    else:
      dist = arc_dist(px, py, p[1], p[2], p[3], p[4], p[5])
    if dist < best:
      best = dist
  return best


def prim_box(prims, margin):
  xs, ys = [], []
  for p in prims:
    if p[0] == 's':
      xs += [p[1], p[3]]
      ys += [p[2], p[4]]
    else:
      xs += [p[1] - p[3], p[1] + p[3]]
      ys += [p[2] - p[3], p[2] + p[3]]
  return (min(xs) - margin, min(ys) - margin, max(xs) + margin, max(ys) + margin)


def stroke(cv, prims, width, colour, alpha=1.0):
  """Strokes primitives given in pixel coordinates."""
  half = width / 2.0
  colour_fn = colour if callable(colour) else (lambda px, py: colour)

  def fn(px, py):
    a = clamp(half + 0.5 - prim_dist(prims, px, py)) * alpha
    return (colour_fn(px, py), a) if a > 0 else None

  cv.paint(prim_box(prims, half + 1), fn)


# Geometric stroke font. Units: x-height 1, capitals 1.4, baseline at y = 0, y pointing down.
# Each glyph is (advance, primitives); 's' segment, 'c' circle, 'a' arc (cx, cy, r, a0, a1).
_S_LOWER = [('a', 0.25, -0.75, 0.25, 90, 270), ('s', 0.25, -1.0, 0.72, -1.0),
            ('s', 0.25, -0.5, 0.47, -0.5), ('a', 0.47, -0.25, 0.25, -90, 90),
            ('s', 0.0, 0.0, 0.47, 0.0)]


def _scaled(prims, k):
  out = []
  for p in prims:
    if p[0] == 's':
      out.append(('s', p[1] * k, p[2] * k, p[3] * k, p[4] * k))
    elif p[0] == 'c':
      out.append(('c', p[1] * k, p[2] * k, p[3] * k))
    else:
      out.append(('a', p[1] * k, p[2] * k, p[3] * k, p[4], p[5]))
  return out


Q_RING, Q_TAIL = '\x01', '\x02'

STROKE_GLYPHS = {
    'Q': (1.4, [('c', 0.7, -0.7, 0.7), ('s', 1.05, -0.35, 1.52, 0.12)]),
    # The Q's ring and tail on their own, so the tail can take another colour and pass
    # under the ring.
    Q_RING: (1.4, [('c', 0.7, -0.7, 0.7)]),
    Q_TAIL: (1.4, [('s', 1.05, -0.35, 1.52, 0.12)]),
    'S': (1.0, _scaled(_S_LOWER, 1.4)),
    'u': (1.0, [('s', 0, -1, 0, -0.5), ('a', 0.5, -0.5, 0.5, 180, 360), ('s', 1, -1, 1, 0)]),
    'o': (1.0, [('c', 0.5, -0.5, 0.5)]),
    'r': (0.62, [('s', 0, -1, 0, 0), ('a', 0.5, -0.5, 0.5, 62, 180)]),
    'v': (1.0, [('s', 0, -1, 0.5, 0), ('s', 0.5, 0, 1, -1)]),
    'a': (1.0, [('c', 0.5, -0.5, 0.5), ('s', 1, -1, 1, 0)]),
    'n': (1.0, [('s', 0, -1, 0, 0), ('a', 0.5, -0.5, 0.5, 0, 180), ('s', 1, -0.5, 1, 0)]),
    'e': (1.0, [('a', 0.5, -0.5, 0.5, 0, 318), ('s', 0, -0.5, 1, -0.5)]),
    't': (0.5, [('s', 0.18, -1.32, 0.18, 0), ('s', -0.06, -1, 0.48, -1)]),
    'i': (0.0, [('s', 0, -1, 0, 0), ('s', 0, -1.36, 0, -1.36)]),
    'g': (1.0, [('c', 0.5, -0.5, 0.5), ('s', 1, -1, 1, 0.22),
                ('a', 0.5, 0.22, 0.5, 200, 360)]),
    's': (0.72, _S_LOWER),
}


def layout_text(text, weight, tracking=0.3):
  """Glyph primitive lists in text units and the total advance."""
  glyphs, x = [], 0.0
  for ch in text:
    if ch == ' ':
      x += 0.6
      continue
    adv, prims = STROKE_GLYPHS[ch]
    glyphs.append((ch, [_moved(p, x) for p in prims]))
    x += adv + 2 * weight + tracking
  return glyphs, x - tracking - 2 * weight


def _moved(p, dx):
  if p[0] == 's':
    return ('s', p[1] + dx, p[2], p[3] + dx, p[4])
  if p[0] == 'c':
    return ('c', p[1] + dx, p[2], p[3])
  return ('a', p[1] + dx, p[2], p[3], p[4], p[5])


def draw_text(cv, text, x, y, size, colour, weight=0.1, tracking=0.3, angle=0.0, alpha=1.0,
              only=None):
  """Draws stroke text with its baseline origin at (x, y); angle in degrees, counter-clockwise.

  colour is a tuple or a function of the text-space (u, v) position (v = -1.4 at cap height),
  so gradients follow the letters even when the text is turned. `only` limits drawing to the
  glyph indices given (the logo colours its tail separately).
  """
  glyphs, _ = layout_text(text, weight, tracking)
  ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
  colour_fn = colour if callable(colour) else (lambda u, v: colour)
  half = weight

  for index, (_, prims) in enumerate(glyphs):
    if only is not None and index not in only:
      continue
    u0, v0, u1, v1 = prim_box(prims, half + 0.1)
    corners = [(u, v) for u in (u0, u1) for v in (v0, v1)]
    pxs = [x + (u * ca + v * sa) * size for u, v in corners]
    pys = [y + (-u * sa + v * ca) * size for u, v in corners]

    def fn(px, py, prims=prims):
      rx, ry = (px - x) / size, (py - y) / size
      u = rx * ca - ry * sa
      v = rx * sa + ry * ca
      dist = (prim_dist(prims, u, v) - half) * size
      a = clamp(0.5 - dist) * alpha
      return (colour_fn(u, v), a) if a > 0 else None

    cv.paint((min(pxs) - 1, min(pys) - 1, max(pxs) + 1, max(pys) + 1), fn)


def embossed_text(cv, text, x, y, size, top, bottom, weight=0.1, tracking=0.3, angle=0.0,
                  accent_q=False):
  """Letters standing proud of the metal: dark cast shadow, faint lower lip, graded face.

  With accent_q the tail of every Q is drawn in the accent colour, tucked under its ring.
  """
  # The shadow falls down-right on screen whatever the text's direction.
  draw_text(cv, text, x + 1.2, y + 1.6, size, SHADE, weight, tracking, angle, alpha=0.8)
  draw_text(cv, text, x + 0.5, y + 0.7, size, SHADE, weight, tracking, angle, alpha=0.6)
  face = text
  if accent_q and 'Q' in text:
    tails = [i for i, ch in enumerate(text.replace(' ', '')) if ch == 'Q']
    tail_grad = lambda u, v: mix((255, 84, 140), (206, 0, 66), clamp((v + 0.4) / 0.5))
    draw_text(cv, text.replace('Q', Q_TAIL), x, y, size, tail_grad, weight, tracking, angle,
              only=set(tails))
    face = text.replace('Q', Q_RING)
  grad = lambda u, v: mix(top, bottom, clamp((v + 1.4) / 1.4))
  draw_text(cv, face, x, y, size, grad, weight, tracking, angle)


# A 5 x 7 pixel font for the small engraved legends.
PIXEL_FONT = {
    'A': ".###.#...##...#######...##...##...#", 'B': "####.#...##...#####.#...##...#####.",
    'C': ".###.#...##....#....#....#...#.###.", 'D': "####.#...##...##...##...##...#####.",
    'E': "######....#....####.#....#....#####", 'G': ".###.#...##....#.####...##...#.####",
    'H': "#...##...##...#######...##...##...#", 'I': ".###...#....#....#....#....#...###.",
    'K': "#...##..#.#.#..##...#.#..#..#.#...#", 'L': "#....#....#....#....#....#....#####",
    'M': "#...###.###.#.##.#.##...##...##...#", 'N': "#...##...###..##.#.##..###...##...#",
    'O': ".###.#...##...##...##...##...#.###.", 'P': "####.#...##...#####.#....#....#....",
    'Q': ".###.#...##...##...##.#.##..#..##.#", 'R': "####.#...##...#####.#.#..#..#.#...#",
    'S': ".#####....#.....###.....#....#####.", 'T': "#####..#....#....#....#....#....#..",
    'U': "#...##...##...##...##...##...#.###.", 'V': "#...##...##...##...##...#.#.#...#..",
    'W': "#...##...##...##.#.##.#.##.#.#.#.#.", 'Y': "#...##...#.#.#...#....#....#....#..",
    'F': "######....#....####.#....#....#....", 'X': "#...##...#.#.#...#...#.#.#...##...#",
    '.': "................................#..", '-': "...............###.................",
    '3': "####.....#...#...##.....##...#.###.", '6': ".###.#....#....####.#...##...#.###.",
}


def pixel_text_width(text):
  return len(text) * 6 - 1


def pixel_text(cv, text, x, y, colour, engraved=True, alpha=1.0):
  """Crisp legend text; engraved legends get a dark pixel above-left and a light one below."""
  layers = []
  if engraved:
    layers = [(-1, -1, SHADE, 0.55 * alpha), (0, 1, HILITE, 0.10 * alpha)]
  layers.append((0, 0, colour, alpha))
  for dx, dy, col, a in layers:
    cx = x
    for ch in text:
      if ch != ' ':
        bits = PIXEL_FONT[ch]
        for row in range(7):
          for colm in range(5):
            if bits[row * 5 + colm] == '#':
              px, py = cx + colm + dx, y + row + dy
              cv.paint((px, py, px + 1, py + 1), lambda _x, _y, c=col, a=a: (c, a))
      cx += 6


# ------------------------------------------------------------------------------------------
# Housing: the shaped body of every skinned picture.


def housing(cv, outline, top=GRAPHITE_TOP, bottom=GRAPHITE_BOTTOM, edge=5.0, grain=0,
            sheen=None):
  """Paints the body inside outline and pure red outside it; keeps the mask for the writer."""
  w, h = cv.w, cv.h
  dist = [0.0] * (w * h)
  for y in range(h):
    py = y + 0.5
    row = y * w
    for x in range(w):
      dist[row + x] = outline.d(x + 0.5, py)
  cv.inside = [v < 0.0 for v in dist]
  lx, ly = LIGHT
  for y in range(h):
    row = y * w
    base = mix(top, bottom, y / float(h - 1))
    for x in range(w):
      i = row + x
      d = dist[i]
      if d >= 0.0:
        cv.r[i], cv.g[i], cv.b[i] = KEY
        continue
      t = -d
      grain_v = brushed(x, y, grain)
      lift = grain_v
      if sheen is not None:
        sx, sy, radius, amount = sheen
        lift += amount * max(0.0, 1.0 - math.hypot(x - sx, y - sy) / radius)
      col = (base[0] + lift, base[1] + lift, base[2] + lift)
      if t < edge + 2.0:
        # Normal from the field's own slope, so fillets and notches shade like corners.
        xl, xr = max(x - 1, 0), min(x + 1, w - 1)
        yu, yd = max(y - 1, 0), min(y + 1, h - 1)
        gx = dist[row + xr] - dist[row + xl]
        gy = dist[yd * w + x] - dist[yu * w + x]
        ln = math.hypot(gx, gy) or 1.0
        lit = (gx * lx + gy * ly) / ln
        if t < edge:
          s = (1.0 - t / edge) ** 0.7
          amount = lit * s * (0.62 if lit > 0 else 0.75)
          col = mix(col, HILITE if amount > 0 else SHADE, abs(amount))
        elif t < edge + 1.5:
          col = mix(col, SHADE, 0.35)  # the seam where the rounded edge meets the face
        if t < 1.3:
          col = mix(col, OUTLINE, 0.7 * (1.0 - t / 1.3) + 0.2)
      cv.r[i], cv.g[i], cv.b[i] = col


# ------------------------------------------------------------------------------------------
# Pieces shared by the pictures.


def button_seat_round(cv, cx, cy, r_well, r_cap):
  well(cv, Circle(cx, cy, r_well), depth=2.5)
  cap = Circle(cx, cy, r_cap)
  # Light enough for the black hover captions, dark enough for the white idle ones.
  plate(cv, cap, ROUND_CAP_TOP, ROUND_CAP_BOTTOM, bevel_width=2.5, strength=0.55, grain=11)
  # A faint concentric turning on the cap, as on machined knobs.
  ring(cv, Circle(cx, cy, r_cap - 4.5), 0, 1.0, HILITE, 0.06)
  fill(cv, Circle(cx, cy - r_cap * 0.42, r_cap * 0.5), HILITE, 0.07)


def button_seat_square(cv, x0, y0, size):
  m = 1.5
  well(cv, RRect(x0 + m, y0 + m, x0 + size - m, y0 + size - m, 9), depth=3.0)
  cap = RRect(x0 + 4, y0 + 4, x0 + size - 4, y0 + size - 4, 7)
  plate(cv, cap, (72, 77, 86), (46, 50, 56), bevel_width=2.5, strength=0.6, grain=13)


def speaker(cv, cx, cy, r):
  """The grille in front of the sound output: a turned ring around a field of holes."""
  plate(cv, Circle(cx, cy, r), FRAME_TOP, FRAME_BOTTOM, bevel_width=2.5)
  well(cv, Circle(cx, cy, r - 5), floor=(40, 43, 49), depth=2.0, strength=0.5)
  pitch = 6.0
  rows = int((r - 8) / (pitch * 0.866))
  for j in range(-rows, rows + 1):
    hy = cy + j * pitch * 0.866
    shift = pitch / 2 if j % 2 else 0.0
    for k in range(-8, 9):
      hx = cx + k * pitch + shift
      if math.hypot(hx - cx, hy - cy) < r - 9:
        fill(cv, Circle(hx, hy, 1.7), SCREEN)
        ring(cv, Circle(hx, hy, 1.7), 0.6, 0.8, HILITE, 0.10)


def lamp(cv, cx, cy, r, colour):
  """A small glossy indicator lamp (decoration only: the live lamp is a control)."""
  well(cv, Circle(cx, cy, r + 2), depth=1.5)
  body = Circle(cx, cy, r)
  dark = mix(colour, (0, 0, 0), 0.55)
  fill(cv, body, lambda px, py: mix(colour, dark, clamp(
      math.hypot(px - cx + r * 0.3, py - cy + r * 0.3) / (r * 1.6))))
  fill(cv, Circle(cx - r * 0.35, cy - r * 0.4, r * 0.32), (255, 255, 255), 0.55)


def vents(cv, x0, y0, x1, y1, count, vertical):
  """Cooling slots: a row of narrow rounded recesses."""
  for k in range(count):
    if vertical:
      pitch = (x1 - x0) / float(count)
      sx = x0 + k * pitch + pitch * 0.25
      well(cv, RRect(sx, y0, sx + pitch * 0.5, y1, pitch * 0.25), floor=SCREEN, depth=2.0)
    else:
      pitch = (y1 - y0) / float(count)
      sy = y0 + k * pitch + pitch * 0.3
      well(cv, RRect(x0, sy, x1, sy + pitch * 0.4, pitch * 0.2), floor=SCREEN, depth=2.0)


def logo(cv, x, baseline, size, weight=0.105):
  """The product name, embossed; the tail of the Q carries the accent colour."""
  embossed_text(cv, "Quorvane", x, baseline, size, (240, 244, 250), (150, 160, 178), weight,
                accent_q=True)


def mark(cv, x, baseline, size):
  """The product's mark: its initial alone."""
  embossed_text(cv, "Q", x, baseline, size, (240, 244, 250), (150, 160, 178), 0.12,
                accent_q=True)


# ------------------------------------------------------------------------------------------
# The pictures. Every place below is where the window's layout puts a control; the control
# paints over its area, so each area stays plain and only its surroundings are decorated.

FACE_W, FACE_H = 764, 581


def draw_face():
  """The main window's face.

  Text that reads well on it: black on the steel plates (check boxes), RGB 68,68,68 for the
  bold "Message Log" heading on its plate, STEEL or aqua on the dark screens (status line,
  echo strip, round-trip readout), aqua for the link in its channel, white or aqua for the
  button captions on the graphite caps.
  """
  cv = Canvas(FACE_W, FACE_H)
  # Main body, the raised tab that carries the window buttons, and the left pod with the two
  # big buttons. The parts run past the right edge and a clip box rounds that side, so the
  # fillets only form in the inner corners.
  body = RRect(108, 62, 900, 580, (34, 0, 0, 30))
  tab = RRect(566, 34, 900, 200, (18, 0, 0, 0))
  pod = RRect(28, 196, 150, 560, (28, 0, 0, 28))
  clip = RRect(-1000, 34, 764, 580, (0, 18, 10, 0))
  outline = Outline([body, tab, pod], fillet=16.0, clip=clip)
  housing(cv, outline, grain=0, sheen=(330, 150, 520, 7.0))

  # Window buttons on the tab (small view, tray, minimise, close) with their legends.
  for cx, cy, legend in ((606, 73, "SMALL"), (647, 73, "TRAY"), (689, 73, "MIN"),
                         (730, 75, "EXIT")):
    button_seat_round(cv, cx, cy, 17.5, 14.5)
    pixel_text(cv, legend, cx - pixel_text_width(legend) // 2, 100, ENGRAVE)

  # Name plate in the top deck.
  logo(cv, 150, 112, 25.0)
  pixel_text(cv, "NETWORK . APPLICATION . LOG WATCHDOG", 152, 126, ENGRAVE)
  vents(cv, 476, 78, 548, 116, 6, vertical=True)
  for sx, sy in ((130, 86), (130, 567), (511, 567)):
    screw(cv, sx, sy)
  ring(cv, RRect(128, 146, 556, 147, 0), 0, 1.0, SHADE, 0.5)  # engraved line under the deck
  ring(cv, RRect(128, 148, 556, 149, 0), 0, 1.0, HILITE, 0.08)

  # Web-link channel at 137,163 and the bonus spot at 355,170 (35 x 17).
  well(cv, RRect(128, 155, 398, 194, 6), depth=3.0)
  cv.rect(131, 158, 395, 191, RECESS)
  ring(cv, RRect(348, 160, 349, 189, 0), 0, 1.0, SHADE, 0.6)
  ring(cv, RRect(349, 160, 350, 189, 0), 0, 1.0, HILITE, 0.10)

  # Scope: raised bezel, sunken glass surround, black screen at 228,222 (233 x 113).
  pixel_text(cv, "ROUND-TRIP TRACE", 218, 199, ENGRAVE)
  plate(cv, RRect(212, 208, 477, 349, 10), FRAME_TOP, FRAME_BOTTOM, bevel_width=2.5)
  well(cv, RRect(220, 215, 469, 342, 5), floor=SCREEN, depth=3.5)
  cv.rect(228, 222, 461, 335, (0, 0, 0))

  # Echo status strip at 226,366 (287 x 13), black under the label.
  pixel_text(cv, "ICMP", 190, 369, ENGRAVE)
  well(cv, RRect(220, 360, 519, 385, 5), floor=SCREEN, depth=2.5)
  cv.rect(226, 366, 513, 379, (0, 0, 0))

  # Meter cluster: gauge well 540,240 (33 x 65), lamp socket 620,261 (16 x 16), readout
  # 682,240 (41 x 65).
  plate(cv, RRect(524, 222, 741, 328, 10), FRAME_TOP, FRAME_BOTTOM, bevel_width=2.5)
  well(cv, RRect(530, 229, 735, 322, 7), floor=(34, 37, 42), depth=2.0, strength=0.5)
  well(cv, RRect(536, 236, 577, 309, 3), floor=SCREEN, depth=2.5)
  cv.rect(540, 240, 573, 305, RECESS)
  well(cv, RRect(678, 236, 727, 309, 3), floor=SCREEN, depth=2.5)
  cv.rect(682, 240, 723, 305, SCREEN)
  # The lamp images stand on a light grey ground: the socket's floor is that very grey, so
  # the square image disappears into a round lamp inside a polished ring.
  cx, cy = 629, 270
  shadow(cv, Circle(cx, cy, 17.5), soft=3.0)
  fill(cv, Circle(cx, cy, 17.5), lambda px, py: mix((228, 232, 238), (96, 101, 110),
                                                   clamp((py - cy + 17.5) / 35.0)))
  bevel(cv, Circle(cx, cy, 17.5), 2.0, 0.5, raised=True)
  ring(cv, Circle(cx, cy, 17.5), -0.5, 1.0, OUTLINE, 0.6)
  ring(cv, Circle(cx, cy, 12.6), 0.4, 1.6, SHADE, 0.55)
  fill(cv, Circle(cx, cy, 12.6), LAMP_GROUND)
  for label, x in (("ECHO", 556), ("LINK", 629), ("RTT", 702)):
    pixel_text(cv, label, x - pixel_text_width(label) // 2, 313, ENGRAVE)

  speaker(cv, 566, 452, 33)

  # Plates for the two check boxes (636,409 "Pinging" and 636,483 "App Monitoring").
  for y in (402, 476):
    plate(cv, RRect(627, y, 753, y + 30, 5), STEEL, STEEL, bevel_width=2.0, strength=0.45,
          grain=0)
    cv.rect(631, y + 4, 749, y + 26, STEEL)

  # Event log module: header plate with "Message Log" at 134,412 and the list at 134,444
  # (349 x 97) on the list's own background colour.
  plate(cv, RRect(120, 398, 497, 555, 10), FRAME_TOP, FRAME_BOTTOM, bevel_width=2.5)
  plate(cv, RRect(127, 405, 490, 437, 4), STEEL, STEEL, bevel_width=2.0, strength=0.45,
        grain=0, drop=False)
  cv.rect(130, 408, 487, 434, STEEL)
  well(cv, RRect(127, 440, 490, 548, 4), floor=SCREEN, depth=3.0)
  cv.rect(134, 444, 483, 541, LOG_BACKGROUND)

  # Left pod: "Settings" and "Watch" seats, cooling slots, the indicator socket (59,496).
  button_seat_square(cv, 51, 218, 46)
  button_seat_square(cv, 51, 274, 46)
  vents(cv, 50, 338, 98, 466, 8, vertical=False)
  well(cv, RRect(52, 489, 98, 535, 6), depth=3.0)
  cv.rect(56, 493, 94, 531, RECESS)
  pixel_text(cv, "APP", 75 - pixel_text_width("APP") // 2, 541, ENGRAVE)

  # Status line at 532,538 (225 x 29), tucked into the lower right corner.
  well(cv, RRect(527, 533, 760, 572, 5), floor=SCREEN, depth=3.0)
  cv.rect(532, 538, 757, 567, SCREEN)
  return cv


def draw_small():
  cv = Canvas(98, 125)
  outline = Outline([RRect(3, 12, 95, 122, 18), RRect(31, 2, 67, 30, 9)], fillet=10.0)
  housing(cv, outline, edge=4.0, grain=21, sheen=(30, 30, 90, 6.0))
  well(cv, Circle(49, 11, 4.0), floor=SCREEN, depth=1.5)  # the hanging eye of the badge
  mark(cv, 30, 62, 26.0)
  lamp(cv, 81, 30, 4.5, LED_GREEN)
  # A small screen with the round-trip trace on its grid.
  well(cv, RRect(12, 70, 86, 104, 4), floor=SCREEN, depth=2.5)
  for gx in range(22, 86, 12):
    stroke(cv, [('s', gx, 73, gx, 101)], 0.6, (70, 76, 86))
  for gy in (80, 87, 94):
    stroke(cv, [('s', 15, gy, 83, gy)], 0.6, (70, 76, 86))
  trace = [(15, 92), (26, 91), (32, 90), (36, 78), (40, 97), (44, 88), (55, 89), (62, 84),
           (66, 92), (74, 89), (83, 90)]
  prims = [('s', a[0], a[1], b[0], b[1]) for a, b in zip(trace, trace[1:])]
  stroke(cv, prims, 3.0, ACCENT, 0.25)  # glow
  stroke(cv, prims, 1.3, ACCENT)
  pixel_text(cv, "QUORVANE", 49 - pixel_text_width("QUORVANE") // 2, 109, ENGRAVE)
  return cv


def draw_bonus():
  cv = Canvas(151, 358)
  cap = RRect(22, 4, 129, 86, 26)
  shaft = RRect(32, 60, 119, 300, 10)
  base = RRect(5, 284, 146, 354, 22)
  housing(cv, Outline([cap, shaft, base], fillet=16.0), edge=4.5, grain=31,
          sheen=(60, 40, 160, 8.0))
  # Dome with the mark.
  dome = Circle(75.5, 44, 30)
  well(cv, Circle(75.5, 44, 33), depth=2.0)
  plate(cv, dome, (98, 104, 114), (40, 43, 49), bevel_width=3.0, strength=0.55, grain=33)
  mark(cv, 58, 60, 23.0)
  # Gauge column: the name runs up the left, a bar of segments stands on the right.
  well(cv, RRect(42, 94, 109, 292, 6), floor=SCREEN, depth=3.0)
  embossed_text(cv, "Quorvane", 66, 283, 12.5, STEEL, (150, 160, 178), weight=0.11,
                angle=90.0, accent_q=True)
  segments, lit = 15, 10
  for k in range(segments):
    y1 = 284 - k * 12.6
    seg = RRect(76, y1 - 9.0, 101, y1, 2)
    t = k / float(segments - 1)
    col = mix(LED_GREEN, (250, 215, 60), t * 2) if t < 0.5 else mix((250, 215, 60), ACCENT,
                                                                     t * 2 - 1)
    if k < lit:
      fill(cv, RRect(74, y1 - 11.0, 103, y1 + 2, 4), col, 0.12)  # glow on the glass
      fill(cv, seg, lambda px, py, c=col: mix(c, (255, 255, 255), 0.25 * clamp(
          (y1 - 5.0 - py) / 4.0)))
    else:
      fill(cv, seg, mix(col, SCREEN, 0.82))
  # Foot: three small lamps for the three watches.
  for x, col, label in ((38, LED_GREEN, "PING"), (75.5, AQUA, "APP"), (113, ACCENT, "LOG")):
    lamp(cv, x, 312, 5.0, col)
    pixel_text(cv, label, int(x) - pixel_text_width(label) // 2 + 1, 326, ENGRAVE)
  return cv


OPTIONS_W, OPTIONS_H = 624, 248
SUB_PANELS = ((20, 38, 621, 182), (20, 180, 419, 249))  # left, top, right, bottom


def draw_options():
  cv = Canvas(OPTIONS_W, OPTIONS_H)
  grad = vgrad(GRAPHITE_TOP, GRAPHITE_BOTTOM, 0, OPTIONS_H, grain=41)
  cv.paint((0, 0, OPTIONS_W, OPTIONS_H), lambda px, py: (grad(px, py), 1.0))
  frame = RRect(0, 0, OPTIONS_W, OPTIONS_H, 0)
  bevel(cv, frame, 3.0, 0.6, raised=True)
  ring(cv, frame, -0.5, 1.0, OUTLINE, 0.8)

  embossed_text(cv, "Settings", 22, 25, 12.0, (240, 244, 250), (150, 160, 178), weight=0.11)
  tag = "QUORVANE WATCHDOG"
  pixel_text(cv, tag, OPTIONS_W - 22 - pixel_text_width(tag), 14, ENGRAVE)
  ring(cv, RRect(150, 19, 590, 20, 0), 0, 1.0, SHADE, 0.5)  # engraved rule after the title
  ring(cv, RRect(150, 21, 590, 22, 0), 0, 1.0, HILITE, 0.08)

  # The sub-panels sit in a shallow tray: a dark seam around their union.
  for x0, y0, x1, y1 in SUB_PANELS:
    fill(cv, RRect(x0 - 2, y0 - 2, x1 + 2, y1 + 2, 2), SHADE, 0.75)
  for x0, y0, x1, y1 in SUB_PANELS:
    ring(cv, RRect(x0 - 2, y0 - 2, x1 + 2, y1 + 2, 2), 0.5, 1.0, HILITE, 0.12)
  for x0, y0, x1, y1 in SUB_PANELS:
    cv.rect(x0, y0, x1, y1, STEEL)

  # The corner the sub-panels leave free says how the settings are kept.
  logo(cv, 452, 214, 11.0, weight=0.11)
  for k, line in enumerate(("CHANGES ARE SAVED", "BY THE WATCH BUTTON")):
    pixel_text(cv, line, 452, 225 + k * 10, ENGRAVE)
  return cv


INDICATOR_SIZE = 32


def draw_indicator():
  """The watched program's window with a green tick; the ground is the socket's floor."""
  cv = Canvas(INDICATOR_SIZE, INDICATOR_SIZE, RECESS)
  win = RRect(3, 4, 27, 25, 3)
  shadow(cv, win, 1, 1, soft=2.0, alpha=0.6)
  fill(cv, win, (40, 46, 56))
  fill(cv, RRect(3, 4, 27, 10, (3, 3, 0, 0)), vgrad((150, 170, 200), (96, 116, 150), 4, 10))
  ring(cv, win, -0.5, 1.0, STEEL, 0.9)
  for k in range(3):
    stroke(cv, [('s', 7, 14 + k * 3.5, 17 - k * 3, 14 + k * 3.5)], 1.2, (110, 124, 146))
  badge = Circle(22.5, 22.5, 8.0)
  shadow(cv, badge, 0.6, 0.8, soft=1.5, alpha=0.7)
  fill(cv, badge, lambda px, py: mix((110, 250, 150), (20, 150, 60),
                                     clamp((py - 14.5) / 16.0)))
  ring(cv, badge, -0.4, 0.9, (8, 70, 30), 0.8)
  stroke(cv, [('s', 18.5, 22.8, 21.3, 25.6), ('s', 21.3, 25.6, 26.3, 19.4)], 2.0,
         (255, 255, 255))
  return cv


def draw_bonus_link():
  """"Click me for a bonus !": a small accent pill on the floor of the link channel."""
  cv = Canvas(35, 17, RECESS)
  pill = RRect(1, 1.5, 34, 15.5, 7)
  shadow(cv, pill, 0.5, 1.0, soft=1.5, alpha=0.7)
  fill(cv, pill, vgrad((255, 80, 140), (180, 0, 58), 1.5, 15.5))
  bevel(cv, pill, 1.5, 0.45, raised=True)
  pixel_text(cv, "BONUS", 3, 5, (255, 255, 255), engraved=False)
  return cv


# ------------------------------------------------------------------------------------------
# Button pictures. A button draws its picture leaving out every pixel of the colour of the
# picture's top-left pixel, so each one is drawn over the colour of the cap it sits on (its
# soft edges blend into that) and whatever the drawing left at that colour becomes the
# transparent key, ICON_KEY, which the corner pixel always carries.

ICON_KEY = (255, 0, 255)
SQUARE_CAP = (60, 64, 72)  # middle of the big square caps of the left pod
ROUND_CAP = tuple(int(c + 0.5) for c in mix(ROUND_CAP_TOP, ROUND_CAP_BOTTOM, 0.5))  # mid round cap
ICON_LIGHT = (236, 241, 248)
ICON_MID = (150, 160, 178)
ICON_DARK = (22, 24, 28)


def icon_canvas(w, h, ground):
  cv = Canvas(w, h, ground)
  cv.icon_ground = ground
  return cv


class Lens:
  """The intersection of two circles: an eye's outline."""

  def __init__(self, a, b):
    self.a, self.b = a, b
    self.box = (max(a.box[0], b.box[0]), max(a.box[1], b.box[1]), min(a.box[2], b.box[2]),
                min(a.box[3], b.box[3]))

  def d(self, px, py):
    return max(self.a.d(px, py), self.b.d(px, py))


def draw_settings_icon():
  """A gear: light steel teeth round a turned body with a hole through the middle."""
  cv = icon_canvas(24, 24, SQUARE_CAP)
  cx, cy = 12.0, 12.0
  teeth = []
  for k in range(8):
    a = math.radians(k * 45 + 22.5)
    teeth.append(('s', cx + 6.5 * math.cos(a), cy + 6.5 * math.sin(a), cx + 9.3 * math.cos(a),
                  cy + 9.3 * math.sin(a)))
  body = lambda px, py: mix(ICON_LIGHT, ICON_MID, clamp((py - 3.0) / 18.0))
  stroke(cv, [(t[0], t[1] + 0.8, t[2] + 1.0, t[3] + 0.8, t[4] + 1.0) for t in teeth], 3.6, SHADE, 0.45)
  shadow(cv, Circle(cx, cy, 7.4), 0.8, 1.0, soft=1.5, alpha=0.5)
  stroke(cv, teeth, 3.4, body)
  fill(cv, Circle(cx, cy, 7.4), body)
  ring(cv, Circle(cx, cy, 7.4), -0.4, 0.8, ICON_DARK, 0.35)
  ring(cv, Circle(cx, cy, 4.6), 0, 0.9, ICON_MID, 0.8)
  fill(cv, Circle(cx, cy, 2.6), SQUARE_CAP)  # the hole shows the cap through it
  ring(cv, Circle(cx, cy, 2.6), 0.4, 0.9, ICON_DARK, 0.6)
  return cv


def draw_watch_icon():
  """An open eye with an aqua iris: the watch is on."""
  cv = icon_canvas(24, 24, SQUARE_CAP)
  eye = Lens(Circle(12, 21.5, 13.2), Circle(12, 2.5, 13.2))
  shadow(cv, eye, 0.8, 1.0, soft=1.5, alpha=0.5)
  fill(cv, eye, lambda px, py: mix(ICON_LIGHT, (196, 204, 220), clamp((py - 8.0) / 8.0)))
  iris = Circle(12, 12, 4.4)
  fill(cv, iris, lambda px, py: mix((150, 255, 255), (0, 170, 190), clamp((py - 7.6) / 8.8)))
  ring(cv, iris, -0.3, 0.8, (0, 90, 110), 0.8)
  fill(cv, Circle(12, 12, 1.9), ICON_DARK)
  fill(cv, Circle(10.6, 10.5, 0.9), (255, 255, 255), 0.9)
  ring(cv, eye, -0.4, 1.0, ICON_DARK, 0.55)
  return cv


def draw_small_view_icon():
  """The window drawing in to a small picture in the screen's corner."""
  cv = icon_canvas(20, 20, ROUND_CAP)
  frame = RRect(4.5, 3.5, 16.5, 12.5, 1.5)
  ring(cv, frame, 0.3, 1.2, SHADE, 0.35)
  ring(cv, frame, -0.3, 1.3, ICON_LIGHT)
  badge = RRect(3, 11, 9, 17, 1.5)
  shadow(cv, badge, 0.6, 0.8, soft=1.2, alpha=0.6)
  fill(cv, badge, lambda px, py: mix((150, 255, 255), (0, 170, 190), clamp((py - 11.0) / 6.0)))
  ring(cv, badge, -0.3, 0.8, (0, 80, 100), 0.7)
  arrow = [('s', 14.0, 6.0, 10.2, 9.8), ('s', 10.2, 9.8, 13.0, 9.8), ('s', 10.2, 9.8, 10.2, 7.0)]
  stroke(cv, [(p[0], p[1] + 0.6, p[2] + 0.8, p[3] + 0.6, p[4] + 0.8) for p in arrow], 1.6, SHADE, 0.4)
  stroke(cv, arrow, 1.5, ICON_LIGHT)
  return cv


def minimise_glyph(cv, colour, dx=0.0, dy=0.0, alpha=1.0):
  stroke(cv, [('s', 3.5 + dx, 12.0 + dy, 12.5 + dx, 12.0 + dy)], 2.0, colour, alpha)
  stroke(cv, [('s', 5.5 + dx, 5.0 + dy, 8.0 + dx, 7.5 + dy), ('s', 8.0 + dx, 7.5 + dy, 10.5 + dx, 5.0 + dy),
              ('s', 8.0 + dx, 2.5 + dy, 8.0 + dx, 7.5 + dy)], 1.4, colour, alpha)


def draw_minimise_icon():
  """The settings panel's small minimise button: a bar with an arrow down onto it."""
  cv = icon_canvas(16, 16, STEEL)
  minimise_glyph(cv, (52, 58, 68))
  return cv


def draw_minimise_icon_disabled():
  """The same glyph pressed into the panel: a light lip below, grey above."""
  cv = icon_canvas(16, 16, STEEL)
  minimise_glyph(cv, (255, 255, 255), 1.0, 1.0, 0.9)
  minimise_glyph(cv, (128, 136, 150))
  return cv


# ------------------------------------------------------------------------------------------
# Output.


def quantise(cv):
  """Rounds to bytes. Inside a shaped outline the key colour is never allowed; a button
  picture's untouched ground becomes its transparent key and nothing else takes that colour."""
  w, h = cv.w, cv.h
  ground = getattr(cv, 'icon_ground', None)
  out = []
  for i in range(w * h):
    r = int(clamp(cv.r[i], 0.0, 255.0) + 0.5)
    g = int(clamp(cv.g[i], 0.0, 255.0) + 0.5)
    b = int(clamp(cv.b[i], 0.0, 255.0) + 0.5)
    if cv.inside is not None:
      if not cv.inside[i]:
        r, g, b = KEY
      elif (r, g, b) == KEY:
        r = 254
    if ground is not None:
      if (r, g, b) == ICON_KEY:
        r = 254
      if (r, g, b) == ground:
        r, g, b = ICON_KEY
    out.append((r, g, b))
  if ground is not None and out[0] != ICON_KEY:
    raise RuntimeError("a button picture must leave its top-left pixel to the key colour")
  return out


def bmp_bytes(w, h, pixels):
  """24-bit BMP, BITMAPINFOHEADER, bottom-up rows padded to four bytes."""
  stride = (w * 3 + 3) & ~3
  pad = b'\0' * (stride - w * 3)
  rows = []
  for y in range(h - 1, -1, -1):
    row = bytearray()
    for r, g, b in pixels[y * w:(y + 1) * w]:
      row += bytes((b, g, r))
    rows.append(bytes(row) + pad)
  data = b''.join(rows)
  header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
  info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
  return header + info + data


def read_bmp(path):
  """Reads back what bmp_bytes writes: (width, height, rows of (r, g, b) top-down)."""
  with open(path, 'rb') as f:
    blob = f.read()
  offset, = struct.unpack_from('<I', blob, 10)
  w, h, _, bpp = struct.unpack_from('<iiHH', blob, 18)
  if bpp != 24 or h <= 0:
    raise ValueError("%s: not a bottom-up 24-bit BMP" % path)
  stride = (w * 3 + 3) & ~3
  rows = []
  for y in range(h):
    base = offset + (h - 1 - y) * stride
    rows.append([(blob[base + 3 * x + 2], blob[base + 3 * x + 1], blob[base + 3 * x])
                 for x in range(w)])
  return w, h, rows


def check_written(path, cv):
  """The file on disk must cut out exactly the outside of the outline, nothing more."""
  w, h, rows = read_bmp(path)
  if (w, h) != (cv.w, cv.h):
    raise RuntimeError("%s: size %dx%d, expected %dx%d" % (path, w, h, cv.w, cv.h))
  for y in range(h):
    for x in range(w):
      is_key = rows[y][x] == KEY
      inside = cv.inside[y * w + x] if cv.inside is not None else True
      if inside == is_key:
        raise RuntimeError("%s: pixel %d,%d is %s the outline but %s the key colour" %
                           (path, x, y, "inside" if inside else "outside",
                            "has" if is_key else "lacks"))


PICTURES = (
    ("fullsize.bmp", draw_face, (FACE_W, FACE_H)),
    ("smallsize.bmp", draw_small, (98, 125)),
    ("bonussize.bmp", draw_bonus, (151, 358)),
    ("options.bmp", draw_options, (OPTIONS_W, OPTIONS_H)),
    ("indicator.bmp", draw_indicator, (INDICATOR_SIZE, INDICATOR_SIZE)),
    ("bonuslink.bmp", draw_bonus_link, (35, 17)),
    ("settings.bmp", draw_settings_icon, (24, 24)),
    ("watch.bmp", draw_watch_icon, (24, 24)),
    ("smallview.bmp", draw_small_view_icon, (20, 20)),
    ("minimise.bmp", draw_minimise_icon, (16, 16)),
    ("minimise_disabled.bmp", draw_minimise_icon_disabled, (16, 16)),
)


def main(argv):
  here = os.path.dirname(os.path.abspath(__file__))
  parser = argparse.ArgumentParser(description="Draws the window pictures as BMP files.")
  parser.add_argument("--out", default=os.path.join(here, "..", "app", "pictures"),
                      help="directory to write the pictures into")
  parser.add_argument("--only", action="append", help="draw only this file (repeatable)")
  args = parser.parse_args(argv)
  os.makedirs(args.out, exist_ok=True)
  for name, draw, size in PICTURES:
    if args.only and name not in args.only:
      continue
    cv = draw()
    assert (cv.w, cv.h) == size, name
    path = os.path.join(args.out, name)
    with open(path, 'wb') as f:
      f.write(bmp_bytes(cv.w, cv.h, quantise(cv)))
    check_written(path, cv)
    print("wrote %s (%d x %d)" % (os.path.normpath(path), cv.w, cv.h))
  return 0


if __name__ == "__main__":
  sys.exit(main(sys.argv[1:]))
