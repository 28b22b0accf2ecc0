#include "resources/images.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string_view>

namespace kw {

namespace {

// The form shows every module picture in a 64 x 48 picture control.
constexpr int kPictureW = 64;
constexpr int kPictureH = 48;
constexpr double kPi = 3.14159265358979;

// An RGBA canvas, transparent at the start, so that the pictures sit on whatever
// background the page has. Shapes are drawn with soft edges: each pixel is covered by
// the share of it that lies inside the shape, blended over what is there already.
struct Canvas {
  Image img;
  Canvas(int w, int h) {
    img.width = w;
    img.height = h;
    img.rgba.assign(static_cast<size_t>(w * h * 4), 0);
  }

  void blend(int x, int y, Colour c, double cover) {
    if (x < 0 || y < 0 || x >= img.width || y >= img.height || cover <= 0.0) return;
    cover = std::min(cover, 1.0);
    uint8_t* p = &img.rgba[static_cast<size_t>((y * img.width + x) * 4)];
    const double da = p[3] / 255.0;
    const double outA = cover + da * (1.0 - cover);
    const int src[3] = {colourRed(c), colourGreen(c), colourBlue(c)};
    for (int i = 0; i < 3; ++i)
      p[i] = static_cast<uint8_t>(std::lround((src[i] * cover + p[i] * da * (1.0 - cover)) / outA));
    p[3] = static_cast<uint8_t>(std::lround(outA * 255.0));
  }
  void pixel(int x, int y, Colour c) { blend(x, y, c, 1.0); }
  void rect(int x0, int y0, int w, int h, Colour c) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) pixel(x, y, c);
  }
  void frame(int x0, int y0, int w, int h, Colour c) {
    rect(x0, y0, w, 1, c);
    rect(x0, y0 + h - 1, w, 1, c);
    rect(x0, y0, 1, h, c);
    rect(x0 + w - 1, y0, 1, h, c);
  }
  // A filled box with a darker outline.
  void box(int x0, int y0, int w, int h, Colour fill, Colour edge) {
    rect(x0, y0, w, h, fill);
    frame(x0, y0, w, h, edge);
  }
  // Visits every pixel of the box around a shape with the distance-based cover `f`.
  template <typename F>
  void shade(double x0, double y0, double x1, double y1, Colour c, F f) {
    for (int y = std::max(0, static_cast<int>(y0) - 1);
         y <= std::min(img.height - 1, static_cast<int>(y1) + 1); ++y)
      for (int x = std::max(0, static_cast<int>(x0) - 1);
           x <= std::min(img.width - 1, static_cast<int>(x1) + 1); ++x)
        blend(x, y, c, f(x + 0.5, y + 0.5));
  }
  void disc(double cx, double cy, double r, Colour c) {
    shade(cx - r, cy - r, cx + r, cy + r, c,
          [&](double x, double y) { return r + 0.5 - std::hypot(x - cx, y - cy); });
  }
  void ring(double cx, double cy, double r, double width, Colour c) {
    shade(cx - r - width, cy - r - width, cx + r + width, cy + r + width, c,
          [&](double x, double y) {
            return width / 2 + 0.5 - std::abs(std::hypot(x - cx, y - cy) - r);
          });
  }
  // A line of the given width with round ends.
  void stroke(double x0, double y0, double x1, double y1, double width, Colour c) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    const double r = width / 2;
    shade(std::min(x0, x1) - r, std::min(y0, y1) - r, std::max(x0, x1) + r, std::max(y0, y1) + r, c,
          [&](double x, double y) {
            double t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            return r + 0.5 - std::hypot(x - (x0 + t * dx), y - (y0 + t * dy));
          });
  }
  void triangle(double ax, double ay, double bx, double by, double cx, double cy, Colour c) {
    auto side = [](double px, double py, double qx, double qy, double x, double y) {
      return (qx - px) * (y - py) - (qy - py) * (x - px);
    };
    const double area = side(ax, ay, bx, by, cx, cy);
    shade(std::min({ax, bx, cx}), std::min({ay, by, cy}), std::max({ax, bx, cx}),
          std::max({ay, by, cy}), c, [&](double x, double y) {
            // 4 x 4 samples per pixel give the soft edge.
            int inside = 0;
            for (int i = 0; i < 16; ++i) {
              const double sx = x - 0.375 + 0.25 * (i % 4), sy = y - 0.375 + 0.25 * (i / 4);
              const double u = side(ax, ay, bx, by, sx, sy) * area;
              const double v = side(bx, by, cx, cy, sx, sy) * area;
              const double w = side(cx, cy, ax, ay, sx, sy) * area;
              if (u >= 0 && v >= 0 && w >= 0) ++inside;
            }
            return inside / 16.0;
          });
  }
  // Text in a 5 x 7 pixel font, each font pixel drawn as a `scale` x `scale` block;
  // `small` takes the 3 x 5 font where the letters must fit over 5-pixel terminals.
  void text(int x, int y, std::string_view s, Colour c, int scale = 1, bool small = false);
};

// Glyphs, one row per entry, the leftmost column in the highest bit used.
struct Glyph {
  char ch;
  uint8_t rows[7];
};
constexpr Glyph kFont[] = {{'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
                           {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {31, 2, 4, 2, 1, 17, 14}},
                           {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
                           {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
                           {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
                           {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}},
                           {'C', {14, 17, 16, 16, 16, 17, 14}}, {',', {0, 0, 0, 0, 12, 4, 8}},
                           {'-', {0, 0, 0, 31, 0, 0, 0}},       {'s', {0, 0, 14, 16, 14, 1, 30}}};
constexpr Glyph kSmallFont[] = {
    {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}}, {'C', {3, 4, 4, 4, 3}}};

void Canvas::text(int x, int y, std::string_view s, Colour c, int scale, bool small) {
  const int w = small ? 3 : 5, h = small ? 5 : 7;
  for (char ch : s) {
    for (const Glyph& g :
         small ? std::span<const Glyph>(kSmallFont) : std::span<const Glyph>(kFont)) {
      if (g.ch != ch) continue;
      for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
          if (g.rows[row] & (1 << (w - 1 - col)))
            rect(x + col * scale, y + row * scale, scale, scale, c);
    }
    x += (w + 1) * scale;
  }
}

// Colours shared by the pictures.
constexpr Colour kBoard = rgb(38, 128, 70);
constexpr Colour kBoardEdge = rgb(18, 78, 40);
constexpr Colour kChip = rgb(32, 32, 36);
constexpr Colour kPin = rgb(214, 178, 70);
constexpr Colour kTerminal = rgb(40, 110, 200);
constexpr Colour kTerminalEdge = rgb(20, 60, 120);
constexpr Colour kScrew = rgb(200, 200, 205);
constexpr Colour kWire = rgb(60, 60, 60);
constexpr Colour kInk = rgb(20, 20, 20);
constexpr Colour kGlow = rgb(255, 225, 90);
constexpr Colour kRail = rgb(110, 110, 118);
constexpr Colour kSleeper = rgb(140, 95, 55);

// A circuit board with mounting holes.
void board(Canvas& k, int x, int y, int w, int h) {
  k.box(x, y, w, h, kBoard, kBoardEdge);
  for (int hx : {x + 2, x + w - 4})
    for (int hy : {y + 2, y + h - 4}) k.rect(hx, hy, 2, 2, rgb(200, 220, 200));
}

// An integrated circuit with its legs along the long sides.
void chip(Canvas& k, int x, int y, int w, int h) {
  for (int px = x + 2; px < x + w - 1; px += 3) {
    k.rect(px, y - 1, 1, 1, kPin);
    k.rect(px, y + h, 1, 1, kPin);
  }
  k.rect(x, y, w, h, kChip);
  k.rect(x + 1, y + 1, 1, 1, rgb(110, 110, 110));
}

// A strip of `n` screw terminals, 5 pixels each, lying (horizontal) or standing.
void terminals(Canvas& k, int x, int y, int n, bool horizontal = true) {
  const int w = horizontal ? 5 * n + 1 : 7;
  const int h = horizontal ? 7 : 5 * n + 1;
  k.box(x, y, w, h, kTerminal, kTerminalEdge);
  for (int i = 0; i < n; ++i) {
    const double cx = horizontal ? x + 3 + 5 * i : x + 3.5;
    const double cy = horizontal ? y + 3.5 : y + 3 + 5 * i;
    k.disc(cx, cy, 1.7, kScrew);
    k.stroke(cx - 1, cy, cx + 1, cy, 0.7, kTerminalEdge);
  }
}

// A light-emitting diode seen from above; a lit one has a halo.
void led(Canvas& k, double cx, double cy, Colour c, bool lit) {
  if (lit)
    k.disc(cx, cy, 3.6,
           rgb((colourRed(c) + 255) / 2, (colourGreen(c) + 255) / 2, (colourBlue(c) + 255) / 2));
  k.disc(cx, cy, 2.2, lit ? c : rgb(colourRed(c) / 3, colourGreen(c) / 3, colourBlue(c) / 3));
  if (lit) k.pixel(static_cast<int>(cx) - 1, static_cast<int>(cy) - 1, rgb(255, 255, 255));
}

// A glowing bulb on a socket, rays around it.
void bulb(Canvas& k, double cx, double cy) {
  for (int a = 0; a < 8; ++a) {
    if (a == 2) continue;  // no ray into the socket
    const double ang = a * kPi / 4;
    k.stroke(cx + 6 * std::cos(ang), cy + 6 * std::sin(ang), cx + 8.5 * std::cos(ang),
             cy + 8.5 * std::sin(ang), 1.2, rgb(240, 170, 0));
  }
  k.disc(cx, cy, 4.5, kGlow);
  k.ring(cx, cy, 4.5, 0.8, rgb(200, 140, 0));
  k.box(static_cast<int>(cx) - 2, static_cast<int>(cy) + 4, 5, 4, rgb(150, 150, 150),
        rgb(90, 90, 90));
}

// A push button: red cap on a grey housing.
void pushButton(Canvas& k, int x, int y) {
  k.box(x, y + 4, 12, 6, rgb(170, 170, 175), rgb(100, 100, 105));
  k.rect(x + 3, y + 2, 6, 3, rgb(120, 120, 125));
  k.disc(x + 6, y + 2, 3.2, rgb(215, 40, 40));
  k.pixel(x + 5, y + 1, rgb(255, 170, 170));
}

// A short piece of track running from (x0, y) to (x1, y).
void track(Canvas& k, int x0, int x1, int y) {
  for (int x = x0 + 1; x < x1; x += 4) k.rect(x, y - 4, 2, 9, kSleeper);
  k.rect(x0, y - 3, x1 - x0, 1, kRail);
  k.rect(x0, y + 2, x1 - x0, 1, kRail);
}

// ------------------------------------------------------------------------------------
// Module pictures, one for each place the form shows one.

// Function module with tables A and B: a button on the input side, a lamp on the
// output side.
Image functionModuleTables() {
  Canvas k(kPictureW, kPictureH);
  board(k, 20, 6, 24, 34);
  chip(k, 26, 12, 12, 8);
  terminals(k, 21, 24, 2, false);
  terminals(k, 36, 24, 2, false);
  pushButton(k, 1, 22);
  k.stroke(13, 29, 22, 27, 1, kWire);
  k.stroke(13, 30, 22, 32, 1, kWire);
  bulb(k, 55, 17);
  k.stroke(42, 27, 54, 27, 1, kWire);
  k.stroke(54, 27, 54, 25, 1, kWire);
  k.stroke(42, 32, 57, 32, 1, kWire);
  k.stroke(57, 32, 57, 25, 1, kWire);
  k.text(2, 34, "A", kInk, 2);
  k.text(52, 34, "B", kInk, 2);
  return k.img;
}

// Table A, the inputs: a push button and a track contact feed the input terminals.
Image inputSide() {
  Canvas k(kPictureW, kPictureH);
  pushButton(k, 2, 4);
  track(k, 0, 30, 33);
  k.box(12, 29, 6, 9, rgb(230, 230, 235), rgb(120, 120, 130));  // the contact between the rails
  terminals(k, 38, 8, 3, false);
  k.stroke(14, 11, 39, 11, 1, kWire);
  k.stroke(15, 33, 30, 33, 1, kWire);
  k.stroke(30, 33, 30, 21, 1, kWire);
  k.stroke(30, 21, 39, 21, 1, kWire);
  k.triangle(31, 8, 36, 11, 31, 14, rgb(0, 130, 0));
  k.triangle(31, 18, 36, 21, 31, 24, rgb(0, 130, 0));
  k.text(50, 14, "A", kInk, 2);
  return k.img;
}

// Table B, the outputs: the output terminals drive a lamp and a light signal.
Image outputSide() {
  Canvas k(kPictureW, kPictureH);
  k.text(1, 14, "B", kInk, 2);
  terminals(k, 15, 8, 3, false);
  bulb(k, 53, 10);
  k.stroke(22, 11, 40, 11, 1, kWire);
  k.stroke(40, 11, 40, 16, 1, kWire);
  k.stroke(40, 16, 51, 16, 1, kWire);
  k.triangle(26, 8, 31, 11, 26, 14, rgb(200, 90, 0));
  k.stroke(22, 21, 36, 21, 1, kWire);
  k.stroke(36, 21, 36, 30, 1, kWire);
  k.stroke(36, 30, 50, 30, 1, kWire);
  k.triangle(26, 18, 31, 21, 26, 24, rgb(200, 90, 0));
  k.rect(56, 34, 2, 14, rgb(90, 90, 95));
  k.box(50, 25, 14, 10, rgb(40, 40, 45), rgb(10, 10, 10));
  led(k, 54, 30, rgb(230, 30, 30), true);
  led(k, 60, 30, rgb(30, 200, 60), false);
  return k.img;
}

// A servo seen from the side; its arm swings between the two end values.
Image servoWithArm() {
  Canvas k(kPictureW, kPictureH);
  const double sx = 20, sy = 22;  // shaft
  for (int a = 0; a < 12; a += 2) {
    const double t0 = kPi * (1.15 + 0.7 * a / 12.0), t1 = kPi * (1.15 + 0.7 * (a + 1) / 12.0);
    k.stroke(sx + 17 * std::cos(t0), sy + 17 * std::sin(t0), sx + 17 * std::cos(t1),
             sy + 17 * std::sin(t1), 1, rgb(120, 120, 120));
  }
  k.text(0, 11, "1", rgb(0, 90, 200));
  k.text(36, 11, "2", rgb(0, 90, 200));
  k.box(4, 28, 40, 4, rgb(30, 70, 160), rgb(15, 40, 100));  // mounting tabs
  k.box(10, 22, 28, 18, rgb(40, 90, 190), rgb(15, 40, 100));
  k.disc(sx, sy, 4, rgb(235, 235, 235));
  k.stroke(sx, sy, sx + 9, sy - 12, 4.2, rgb(245, 245, 245));
  k.stroke(sx, sy, sx + 9, sy - 12, 1, rgb(200, 200, 200));
  k.disc(sx, sy, 1.5, rgb(120, 120, 120));
  const Colour wires[3] = {rgb(120, 70, 30), rgb(210, 40, 40), rgb(240, 150, 20)};
  for (int i = 0; i < 3; ++i) k.stroke(38, 33 + 2 * i, 54, 33 + 2 * i, 1.2, wires[i]);
  k.box(54, 31, 7, 8, kChip, rgb(0, 0, 0));
  return k.img;
}

// The eight-output servo board: a header for each servo, one servo cable plugged in.
Image servoBoard() {
  Canvas k(kPictureW, kPictureH);
  board(k, 2, 10, 60, 34);
  for (int i = 0; i < 8; ++i) {
    const int x = 7 + 6 * i;
    k.rect(x, 14, 5, 10, kChip);
    for (int p = 0; p < 3; ++p) k.rect(x + 2, 15 + 3 * p, 1, 2, kPin);
  }
  k.text(8, 27, "1", rgb(255, 255, 255));
  k.text(50, 27, "8", rgb(255, 255, 255));
  chip(k, 22, 33, 20, 7);
  // The plug on the third header, its cable leading away to the servo.
  k.box(18, 12, 7, 12, rgb(70, 70, 70), rgb(20, 20, 20));
  const Colour wires[3] = {rgb(120, 70, 30), rgb(210, 40, 40), rgb(240, 150, 20)};
  for (int i = 0; i < 3; ++i) {
    k.stroke(20 + i, 12, 20 + i, 6, 1, wires[i]);
    k.stroke(20 + i, 6, 30 + i, 0, 1, wires[i]);
  }
  return k.img;
}

// A switching time: the output pulse over a time scale of `label` seconds per unit,
// with `ticks` units up to the longest time.
Image switchingTime(std::string_view label, int ticks, int pulseTicks) {
  Canvas k(kPictureW, kPictureH);
  const int x0 = 4, x1 = 59, base = 32;
  // A stopwatch beside the step.
  k.disc(7, 8, 5.5, rgb(60, 60, 66));
  k.disc(7, 8, 4.3, rgb(255, 255, 255));
  k.rect(6, 1, 3, 1, rgb(60, 60, 66));
  k.stroke(7, 8, 7, 5, 1, kInk);
  k.stroke(7, 8, 9.5, 9, 1, kInk);
  k.text(16, 4, label, kInk);
  // The pulse.
  const double unit = static_cast<double>(x1 - x0 - 4) / ticks;
  const int rise = x0 + 2, fall = x0 + 2 + static_cast<int>(std::lround(unit * pulseTicks));
  const Colour red = rgb(200, 30, 30);
  k.stroke(x0, base, rise, base, 1.5, red);
  k.stroke(rise, base, rise, base - 12, 1.5, red);
  k.stroke(rise, base - 12, fall, base - 12, 1.5, red);
  k.stroke(fall, base - 12, fall, base, 1.5, red);
  k.stroke(fall, base, x1, base, 1.5, red);
  // The time axis and its scale.
  k.rect(x0, base + 4, x1 - x0, 1, kInk);
  k.triangle(x1, base + 2, x1 + 4, base + 4.5, x1, base + 7, kInk);
  for (int t = 0; t <= ticks; ++t) {
    const int x = x0 + 2 + static_cast<int>(std::lround(unit * t));
    k.rect(x, base + 5, 1, t % 2 == 0 ? 4 : 2, kInk);
  }
  return k.img;
}

// A straight piece of track between two points: sleepers across, two rails along.
void trackLine(Canvas& k, double x0, double y0, double x1, double y1) {
  const double len = std::hypot(x1 - x0, y1 - y0);
  const double ux = (x1 - x0) / len, uy = (y1 - y0) / len;
  for (double d = 2; d < len; d += 4)
    k.stroke(x0 + ux * d + uy * 4, y0 + uy * d - ux * 4, x0 + ux * d - uy * 4, y0 + uy * d + ux * 4,
             1.6, kSleeper);
  for (double side : {-2.5, 2.5})
    k.stroke(x0 - uy * side, y0 + ux * side, x1 - uy * side, y1 + ux * side, 1, kRail);
}

// Switching module A: a relay on the board switches the drive of a turnout.
Image switchingModule() {
  Canvas k(kPictureW, kPictureH);
  board(k, 1, 2, 28, 30);
  k.box(5, 6, 14, 11, rgb(30, 60, 150), rgb(10, 30, 90));  // relay with its contact
  k.stroke(8, 13, 12, 9, 1, rgb(255, 255, 255));
  k.rect(12, 13, 4, 1, rgb(255, 255, 255));
  chip(k, 6, 23, 10, 5);
  terminals(k, 21, 6, 4, false);
  // The turnout: the straight and the branching track, and its drive beside them.
  trackLine(k, 20, 41, 64, 41);
  trackLine(k, 34, 41, 64, 27);
  k.box(46, 8, 13, 9, rgb(150, 110, 60), rgb(90, 60, 30));
  k.stroke(52, 17, 52, 30, 1.4, rgb(90, 90, 90));
  k.stroke(28, 10, 46, 10, 1, kWire);
  k.stroke(28, 15, 46, 15, 1, kWire);
  return k.img;
}

// The eight-output module: a lamp and a terminal for each output.
Image eightOutputs() {
  Canvas k(kPictureW, kPictureH);
  board(k, 2, 4, 60, 34);
  const bool on[8] = {true, false, true, true, false, false, true, false};
  for (int i = 0; i < 8; ++i) led(k, 8.5 + 6.7 * i, 10, rgb(255, 50, 30), on[i]);
  chip(k, 22, 16, 20, 6);
  terminals(k, 5, 27, 11);
  k.text(5, 40, "1", kInk);
  k.text(54, 40, "8", kInk);
  return k.img;
}

// The simple module: a small board on the bus cable with one output and its lamp.
Image simpleModule() {
  Canvas k(kPictureW, kPictureH);
  k.stroke(0, 22, 8, 22, 3, rgb(150, 150, 150));
  k.box(6, 18, 6, 9, kChip, rgb(0, 0, 0));
  board(k, 12, 8, 28, 28);
  chip(k, 17, 13, 12, 6);
  led(k, 34, 15, rgb(40, 220, 60), true);
  terminals(k, 24, 26, 2);
  k.stroke(27, 29, 27, 40, 1, kWire);
  k.stroke(32, 29, 32, 37, 1, kWire);
  k.stroke(32, 37, 53, 37, 1, kWire);
  k.stroke(27, 40, 57, 40, 1, kWire);
  k.stroke(53, 37, 53, 27, 1, kWire);
  k.stroke(57, 40, 57, 27, 1, kWire);
  bulb(k, 55, 19);
  return k.img;
}

// Function outputs: a small decoder, its wires leading to lamps of several colours.
Image decoderWithLeds() {
  Canvas k(kPictureW, kPictureH);
  k.box(3, 15, 24, 18, rgb(40, 80, 160), rgb(20, 40, 90));  // decoder in its sleeve
  chip(k, 8, 20, 9, 8);
  const Colour wires[4] = {rgb(250, 250, 250), rgb(240, 200, 0), rgb(220, 40, 40),
                           rgb(40, 170, 60)};
  const Colour lamps[4] = {rgb(255, 245, 200), rgb(255, 200, 0), rgb(240, 30, 30),
                           rgb(40, 220, 80)};
  const bool on[4] = {true, true, false, true};
  for (int i = 0; i < 4; ++i) {
    const double y = 6 + 12 * i;
    k.stroke(27, 19 + 3 * i, 40, 19 + 3 * i, 1.2, rgb(110, 110, 110));
    k.stroke(27, 19 + 3 * i, 40, 19 + 3 * i, 0.8, wires[i]);
    k.stroke(40, 19 + 3 * i, 52, y, 1.2, rgb(110, 110, 110));
    k.stroke(40, 19 + 3 * i, 52, y, 0.8, wires[i]);
    led(k, 56, y, lamps[i], on[i]);
    k.ring(56, y, 2.6, 0.6, rgb(120, 120, 120));
  }
  return k.img;
}

// The group module: a house whose eight windows are eight groups of lights.
Image houseGroups() {
  Canvas k(kPictureW, kPictureH);
  k.rect(44, 4, 5, 10, rgb(130, 60, 50));  // chimney
  k.triangle(4, 18, 32, 2, 60, 18, rgb(170, 50, 40));
  k.box(8, 18, 48, 29, rgb(235, 220, 180), rgb(140, 120, 90));
  const bool lit[8] = {true, false, true, true, false, true, false, true};
  for (int i = 0; i < 8; ++i) {
    const int x = 12 + 11 * (i % 4), y = 21 + 13 * (i / 4);
    k.box(x, y, 8, 9, lit[i] ? kGlow : rgb(50, 60, 90), rgb(90, 70, 50));
    k.rect(x + 4, y, 1, 9, rgb(90, 70, 50));
  }
  return k.img;
}

// A function module with an extension board on its cable.
Image moduleWithExtension() {
  Canvas k(kPictureW, kPictureH);
  board(k, 1, 6, 32, 36);
  chip(k, 7, 12, 16, 8);
  terminals(k, 5, 28, 5);
  k.stroke(33, 24, 42, 24, 3, rgb(170, 170, 175));
  k.stroke(33, 24, 42, 24, 1, rgb(120, 120, 125));
  board(k, 42, 12, 21, 24);
  chip(k, 46, 16, 10, 5);
  terminals(k, 44, 26, 3);
  return k.img;
}

// The two address/function pairs of a table row: address field and function list,
// pair 1 above pair 2, pointing to their captions beside the picture.
Image twoPairsLegend() {
  Canvas k(kPictureW, kPictureH);
  const Colour marks[2] = {rgb(30, 90, 210), rgb(220, 120, 0)};
  for (int pair = 0; pair < 2; ++pair) {
    const int y = 4 + 22 * pair;
    k.disc(5, y + 6, 4.8, marks[pair]);
    k.text(3, y + 3, pair == 0 ? "1" : "2", rgb(255, 255, 255));
    k.box(11, y, 15, 13, rgb(255, 255, 255), rgb(120, 120, 120));
    k.text(13, y + 3, pair == 0 ? "12" : "40", kInk);
    k.box(27, y, 26, 13, rgb(255, 255, 232), rgb(120, 120, 120));
    k.rect(29, y + 5, 12, 2, rgb(150, 150, 150));
    k.triangle(44, y + 4, 51, y + 4, 47.5, y + 8, kInk);
    k.frame(10, y - 1, 44, 15, marks[pair]);
    k.triangle(56, y + 2, 63, y + 6.5, 56, y + 11, marks[pair]);
  }
  return k.img;
}

// Where the cable to the extension modules runs: it leaves the base module's picture on
// the right and enters the extension picture beside it on the left.
constexpr int kChainCableY = 43;
constexpr Colour kCable = rgb(160, 160, 165);

// The function module with its outputs A, B and C; output A carries the cable to the
// extensions.
Image baseModuleOutputs() {
  Canvas k(kPictureW, kPictureH);
  board(k, 2, 2, 44, 36);
  chip(k, 8, 8, 18, 8);
  led(k, 37, 10, rgb(40, 220, 60), true);
  k.text(9, 21, "ABC", rgb(255, 255, 255), 1, true);
  terminals(k, 7, 28, 3);
  k.stroke(10, 35, 10, kChainCableY, 1.5, kCable);
  k.stroke(10, kChainCableY, 64, kChainCableY, 2, kCable);
  return k.img;
}

// Extension modules, each with outputs A, B and C, chained on the cable from output A.
Image extensionChain() {
  Canvas k(kPictureW, kPictureH);
  k.stroke(0, kChainCableY, 64, kChainCableY, 2, kCable);
  for (int m = 0; m < 2; ++m) {
    const int x = 4 + 32 * m;
    board(k, x, 4, 26, 32);
    chip(k, x + 5, 9, 12, 5);
    k.text(x + 6, 20, "ABC", rgb(255, 255, 255), 1, true);
    terminals(k, x + 5, 27, 3);
    k.stroke(x + 3, 36, x + 3, kChainCableY, 1.5, kCable);
  }
  return k.img;
}

// The address module's data byte: bits 8-6, bit 5 and bits 4-1 as the three lists
// split it.
Image byteLegend() {
  Canvas k(kPictureW, kPictureH);
  const Colour groups[3] = {rgb(60, 110, 220), rgb(40, 160, 70), rgb(230, 130, 20)};
  const int firstBit[3] = {8, 5, 4};
  const int count[3] = {3, 1, 4};
  const std::string_view captions[3] = {"8-6", "5", "4-1"};
  int x = 1;
  for (int g = 0; g < 3; ++g) {
    const int left = x;
    for (int i = 0; i < count[g]; ++i) {
      k.box(x, 8, 7, 11, groups[g], rgb(40, 40, 40));
      const char digit[1] = {static_cast<char>('0' + firstBit[g] - i)};
      k.text(x + 1, 10, std::string_view(digit, 1), rgb(255, 255, 255));
      x += 7;
    }
    const int right = x - 1;
    k.rect(left, 24, right - left + 1, 1, groups[g]);
    k.rect(left, 22, 1, 3, groups[g]);
    k.rect(right, 22, 1, 3, groups[g]);
    const int w = 6 * static_cast<int>(captions[g].size()) - 1;
    k.text((left + right + 1 - w) / 2, 28, captions[g], groups[g]);
    x += 2;
  }
  return k.img;
}

// ------------------------------------------------------------------------------------
// Status lamps, flags and menu icons (16 x 16).

Image lamp(Colour c) {
  Canvas k(16, 16);
  k.disc(8, 8, 6.5, rgb(40, 40, 40));
  k.disc(8, 8, 5.5, c);
  k.disc(6, 6, 1.8, rgb(255, 255, 255));
  return k.img;
}

Image flagStripes(bool vertical, Colour a, Colour b, Colour c) {
  Canvas k(16, 16);
  Colour cols[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    if (vertical)
      k.rect(1 + i * 5, 3, i == 2 ? 4 : 5, 10, cols[i]);
    else
      k.rect(1, 3 + i * 3 + (i == 2 ? 1 : 0), 14, i == 1 ? 4 : 3, cols[i]);
  }
  k.frame(0, 2, 16, 12, rgb(90, 90, 90));
  return k.img;
}

Image flagCross() {
  Canvas k(16, 16);
  k.rect(1, 3, 14, 10, rgb(1, 33, 105));
  k.stroke(1.5, 3.5, 14.5, 12.5, 1, rgb(255, 255, 255));
  k.stroke(1.5, 12.5, 14.5, 3.5, 1, rgb(255, 255, 255));
  k.rect(1, 7, 14, 2, rgb(200, 16, 46));
  k.rect(7, 3, 2, 10, rgb(200, 16, 46));
  k.frame(0, 2, 16, 12, rgb(90, 90, 90));
  return k.img;
}

Image gear() {
  Canvas k(16, 16);
  for (int a = 0; a < 8; ++a) {
    double ang = a * kPi / 4;
    k.disc(8 + 6 * std::cos(ang), 8 + 6 * std::sin(ang), 1.6, rgb(90, 90, 110));
  }
  k.disc(8, 8, 5.2, rgb(90, 90, 110));
  k.disc(8, 8, 2.2, rgb(0, 0, 0));
  k.disc(8, 8, 1.6, rgb(230, 230, 230));
  return k.img;
}

Image quitIcon() {
  Canvas k(16, 16);
  k.box(3, 1, 9, 14, rgb(140, 90, 40), rgb(80, 50, 20));
  k.disc(10, 8, 1, rgb(230, 200, 60));
  k.stroke(12, 8, 15, 8, 1, rgb(200, 0, 0));
  k.stroke(14, 6, 15, 8, 1, rgb(200, 0, 0));
  k.stroke(14, 10, 15, 8, 1, rgb(200, 0, 0));
  return k.img;
}

Image helpIcon() {
  Canvas k(16, 16);
  k.disc(8, 8, 7, rgb(30, 90, 200));
  Colour w = rgb(255, 255, 255);
  k.rect(6, 4, 4, 1, w);
  k.rect(9, 5, 2, 2, w);
  k.rect(8, 7, 2, 2, w);
  k.rect(7, 9, 2, 1, w);
  k.rect(7, 11, 2, 2, w);
  k.rect(5, 5, 2, 1, w);
  return k.img;
}

}  // namespace

Image builtinImage(int number) {
  switch (number) {
    case 1:
      return functionModuleTables();
    case 2:
      return inputSide();
    case 3:
      return outputSide();
    case 4:
      return servoWithArm();
    case 5:
      return servoBoard();
    case 6:
      return switchingTime("0,08 s", 30, 12);  // fine scale, up to 2,4 s
    case 7:
      return switchingModule();
    case 8:
      return switchingTime("0,35 s", 6, 3);  // coarse scale, up to 2,1 s
    case 10:
      return eightOutputs();
    case 11:
      return simpleModule();
    case 12:
      return decoderWithLeds();
    case 13:
      return houseGroups();
    case 14:
      return moduleWithExtension();
    case 15:
      return twoPairsLegend();
    case 16:
      return baseModuleOutputs();
    case 17:
      return extensionChain();
    case 18:
      return byteLegend();
    case 128:
      return lamp(rgb(0, 200, 0));  // running / programming mode on
    case 129:
      return lamp(rgb(255, 210, 0));  // opened, waiting for data
    case 130:
      return lamp(rgb(220, 0, 0));  // failed / off
    case 131:
      return lamp(rgb(160, 160, 160));  // idle
    case 132:
      return lamp(rgb(255, 128, 0));  // no connection
    case 133:
      return flagStripes(false, rgb(0, 0, 0), rgb(221, 0, 0), rgb(255, 206, 0));
    case 134:
      return flagCross();
    case 135:
      return flagStripes(true, rgb(0, 146, 70), rgb(255, 255, 255), rgb(206, 43, 55));
    case 136:
      return flagStripes(true, rgb(0, 35, 149), rgb(255, 255, 255), rgb(237, 41, 57));
    case 264:
      return quitIcon();
    case 278:
      return helpIcon();
    case 302:
      return gear();
    default:
      return {};
  }
}

}  // namespace kw
