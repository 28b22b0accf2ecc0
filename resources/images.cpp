#include "resources/images.h"

#include <algorithm>
#include <cmath>

namespace kw {

namespace {

struct Canvas {
  Image img;
  Canvas(int w, int h) {
    img.width = w;
    img.height = h;
    img.rgba.assign(static_cast<size_t>(w * h * 4), 0);
  }
  void pixel(int x, int y, Colour c, int alpha = 255) {
    if (x < 0 || y < 0 || x >= img.width || y >= img.height) return;
    size_t i = static_cast<size_t>((y * img.width + x) * 4);
    img.rgba[i] = static_cast<uint8_t>(colourRed(c));
    img.rgba[i + 1] = static_cast<uint8_t>(colourGreen(c));
    img.rgba[i + 2] = static_cast<uint8_t>(colourBlue(c));
    img.rgba[i + 3] = static_cast<uint8_t>(alpha);
  }
  void rect(int x0, int y0, int w, int h, Colour c) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) pixel(x, y, c);
  }
  void frame(int x0, int y0, int w, int h, Colour c) {
    for (int x = x0; x < x0 + w; ++x) {
      pixel(x, y0, c);
      pixel(x, y0 + h - 1, c);
    }
    for (int y = y0; y < y0 + h; ++y) {
      pixel(x0, y, c);
      pixel(x0 + w - 1, y, c);
    }
  }
  void disc(double cx, double cy, double r, Colour c) {
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x) {
        double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        if (d <= r) pixel(x, y, c);
      }
  }
  void line(int x0, int y0, int x1, int y1, Colour c) {
    int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
      double t = steps ? static_cast<double>(i) / steps : 0.0;
      pixel(static_cast<int>(std::lround(x0 + (x1 - x0) * t)),
            static_cast<int>(std::lround(y0 + (y1 - y0) * t)), c);
    }
  }
};

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
      k.rect(1 + i * 5 - (i == 0 ? 0 : 0), 3, i == 2 ? 4 : 5, 10, cols[i]);
    else
      k.rect(1, 3 + i * 3 + (i == 2 ? 1 : 0), 14, i == 1 ? 4 : 3, cols[i]);
  }
  k.frame(0, 2, 16, 12, rgb(90, 90, 90));
  return k.img;
}

Image flagCross() {
  Canvas k(16, 16);
  k.rect(1, 3, 14, 10, rgb(1, 33, 105));
  k.line(1, 3, 14, 12, rgb(255, 255, 255));
  k.line(1, 12, 14, 3, rgb(255, 255, 255));
  k.rect(1, 7, 14, 2, rgb(200, 16, 46));
  k.rect(7, 3, 2, 10, rgb(200, 16, 46));
  k.frame(0, 2, 16, 12, rgb(90, 90, 90));
  return k.img;
}

// A module board: green board with pins along the edges; `marks` varies the pattern so
// every family's picture is told apart.
Image module(int marks, int width = 64, int height = 48) {
  Canvas k(width, height);
  k.rect(2, 4, width - 4, height - 8, rgb(30, 120, 60));
  k.frame(2, 4, width - 4, height - 8, rgb(10, 60, 30));
  for (int x = 6; x < width - 6; x += 6) {
    k.rect(x, 1, 3, 4, rgb(200, 200, 200));
    k.rect(x, height - 5, 3, 4, rgb(200, 200, 200));
  }
  k.rect(width / 2 - 10, height / 2 - 8, 20, 16, rgb(20, 20, 20));
  for (int i = 0; i < marks; ++i) k.disc(8 + i * 6, 10, 2, rgb(255, 200, 0));
  return k.img;
}

Image gear() {
  Canvas k(16, 16);
  for (int a = 0; a < 8; ++a) {
    double ang = a * 3.14159265 / 4;
    k.disc(8 + 6 * std::cos(ang), 8 + 6 * std::sin(ang), 1.6, rgb(90, 90, 110));
  }
  k.disc(8, 8, 5.2, rgb(90, 90, 110));
  k.disc(8, 8, 2.2, rgb(0, 0, 0));
  k.disc(8, 8, 1.6, rgb(230, 230, 230));
  return k.img;
}

Image quitIcon() {
  Canvas k(16, 16);
  k.rect(3, 1, 9, 14, rgb(140, 90, 40));
  k.frame(3, 1, 9, 14, rgb(80, 50, 20));
  k.disc(10, 8, 1, rgb(230, 200, 60));
  k.line(12, 8, 15, 8, rgb(200, 0, 0));
  k.line(14, 6, 15, 8, rgb(200, 0, 0));
  k.line(14, 10, 15, 8, rgb(200, 0, 0));
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
    case 128: return lamp(rgb(0, 200, 0));      // running / programming mode on
    case 129: return lamp(rgb(255, 210, 0));    // opened, waiting for data
    case 130: return lamp(rgb(220, 0, 0));      // failed / off
    case 131: return lamp(rgb(160, 160, 160));  // idle
    case 132: return lamp(rgb(255, 128, 0));    // no connection
    case 133: return flagStripes(false, rgb(0, 0, 0), rgb(221, 0, 0), rgb(255, 206, 0));
    case 134: return flagCross();
    case 135: return flagStripes(true, rgb(0, 146, 70), rgb(255, 255, 255), rgb(206, 43, 55));
    case 136: return flagStripes(true, rgb(0, 35, 149), rgb(255, 255, 255), rgb(237, 41, 57));
    case 264: return quitIcon();
    case 278: return helpIcon();
    case 302: return gear();
    default: break;
  }
  if ((number >= 1 && number <= 8) || (number >= 10 && number <= 18))
    return module(number <= 8 ? number : number - 9);
  return {};
}

}  // namespace kw
