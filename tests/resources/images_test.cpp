#include "resources/images.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kw {
namespace {

bool modulePicture(int n) { return (n >= 1 && n <= 8) || (n >= 10 && n <= 18); }

// Share of the pixels that are at least half opaque.
double opaqueShare(const Image& img) {
  size_t opaque = 0;
  for (size_t i = 3; i < img.rgba.size(); i += 4)
    if (img.rgba[i] >= 128) ++opaque;
  return static_cast<double>(opaque) / (img.rgba.size() / 4);
}

TEST(BuiltinImages, TwentyNineNumbersWithoutNine) {
  std::set<int> numbers(kImageNumbers.begin(), kImageNumbers.end());
  EXPECT_EQ(numbers.size(), 29u);
  for (int n = 1; n <= 18; ++n) EXPECT_EQ(numbers.count(n), n == 9 ? 0u : 1u) << n;
  for (int n = 128; n <= 136; ++n) EXPECT_EQ(numbers.count(n), 1u) << n;
  for (int n : {264, 278, 302}) EXPECT_EQ(numbers.count(n), 1u) << n;
}

TEST(BuiltinImages, EveryNumberHasAPictureOfItsSize) {
  for (int n : kImageNumbers) {
    const Image img = builtinImage(n);
    // Module pictures fill the form's 64 x 48 picture controls; menu and status-bar
    // images are icons.
    const int w = modulePicture(n) ? 64 : 16;
    const int h = modulePicture(n) ? 48 : 16;
    EXPECT_EQ(img.width, w) << n;
    EXPECT_EQ(img.height, h) << n;
    ASSERT_EQ(img.rgba.size(), static_cast<size_t>(w * h * 4)) << n;
    // Something is drawn, and a module picture leaves the page's background around it.
    const double share = opaqueShare(img);
    EXPECT_GT(share, 0.08) << n;
    if (modulePicture(n)) {
      EXPECT_LT(share, 0.95) << n;
    }
  }
}

TEST(BuiltinImages, PicturesDifferFromOneAnother) {
  std::set<std::vector<uint8_t>> seen;
  for (int n : kImageNumbers) EXPECT_TRUE(seen.insert(builtinImage(n).rgba).second) << n;
}

TEST(BuiltinImages, ModulePicturesUseSeveralColours) {
  // A drawing, not a single-coloured block: count the distinct opaque colours.
  for (int n : kImageNumbers) {
    if (!modulePicture(n)) continue;
    const Image img = builtinImage(n);
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 3 < img.rgba.size(); i += 4)
      if (img.rgba[i + 3] == 255)
        colours.insert(img.rgba[i] | (img.rgba[i + 1] << 8) | (img.rgba[i + 2] << 16));
    EXPECT_GE(colours.size(), 5u) << n;
  }
}

TEST(BuiltinImages, SameNumberSamePicture) {
  for (int n : kImageNumbers) EXPECT_EQ(builtinImage(n).rgba, builtinImage(n).rgba) << n;
}

TEST(BuiltinImages, UnknownNumbersAreEmpty) {
  for (int n : {0, 9, 19, 127, 137, 263, 265, 301, 303, -1}) {
    const Image img = builtinImage(n);
    EXPECT_EQ(img.width, 0) << n;
    EXPECT_EQ(img.height, 0) << n;
    EXPECT_TRUE(img.rgba.empty()) << n;
  }
}

}  // namespace
}  // namespace kw
