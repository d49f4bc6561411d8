#include "platform/image_converter.h"

#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <zlib.h>

#include <filesystem>

#include "platform/files.h"

namespace sarvoke {
namespace {

// A width x height PNG of `format` (PNG_FORMAT_*), every pixel from `pixel`.
Bytes MakePng(int width, int height, png_uint_32 format, std::vector<std::uint8_t> pixel) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = format;
  Bytes pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), pixel.begin(), pixel.end());
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
  Bytes out(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr));
  out.resize(size);
  return out;
}

// A PNG whose header claims `width` x `height` and that holds no pixels at all.
Bytes PngHeaderOnly(std::uint32_t width, std::uint32_t height) {
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (std::uint32_t v : {width, height})
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
  b.insert(b.end(), {8, 2, 0, 0, 0});
  const uLong crc = crc32(0, b.data() + 12, 17);
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(crc >> s));
  return b;
}

std::array<int, 3> PixelAt(const RgbPicture& p, int x, int y) {
  const std::size_t at = (static_cast<std::size_t>(y) * p.width + x) * 3;
  return {p.pixels[at], p.pixels[at + 1], p.pixels[at + 2]};
}

class ImageConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sarvoke-picture-XXXXXX";
    dir = mkdtemp(tmpl);
    source = dir + "/lyb.png";
    target = dir + "/lyb.jpg";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Converts `file`; the picture the target then holds (an empty one when there is no target).
  RgbPicture Convert(const Bytes& file, int* result = nullptr) {
    EXPECT_TRUE(WriteWholeFile(source, file));
    const int r = ConvertToJpeg(source, target, 75);
    if (result) *result = r;
    Bytes jpeg;
    RgbPicture picture;
    if (ReadWholeFile(target, jpeg)) {
      EXPECT_TRUE(DecodePicture(jpeg, picture));
    }
    return picture;
  }

  std::string dir, source, target;
};

TEST_F(ImageConverterTest, PicturesOfEveryKindBecomeJpegs) {
  struct Row {
    const char* label;
    Bytes file;
    std::array<int, 3> want;
  } rows[] = {
      {"RGB PNG", MakePng(30, 30, PNG_FORMAT_RGB, {200, 30, 30}), {200, 30, 30}},
      {"transparent PNG lies over white", MakePng(30, 30, PNG_FORMAT_RGBA, {0, 0, 0, 0}), {255, 255, 255}},
      {"grey PNG", MakePng(7, 3, PNG_FORMAT_GRAY, {90}), {90, 90, 90}},
      {"16-bit PNG", MakePng(30, 30, PNG_FORMAT_LINEAR_RGB, {0, 0, 0, 0, 0xFF, 0xFF}), {0, 0, 255}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    std::filesystem::remove(target);
    int result = -1;
    const RgbPicture jpeg = Convert(r.file, &result);
    EXPECT_EQ(result, 0);
    RgbPicture decoded;
    ASSERT_TRUE(DecodePicture(r.file, decoded));
    EXPECT_EQ(jpeg.width, decoded.width);
    EXPECT_EQ(jpeg.height, decoded.height);
    const auto got = PixelAt(jpeg, jpeg.width / 2, jpeg.height / 2);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], r.want[c], 6) << "channel " << c;
  }
  // A JPEG goes through as well: the converter's own output, converted again.
  Bytes jpeg;
  ASSERT_TRUE(ReadWholeFile(target, jpeg));
  int result = -1;
  EXPECT_EQ(Convert(jpeg, &result).width, 30);
  EXPECT_EQ(result, 0);
}

TEST_F(ImageConverterTest, WhatIsNoPictureConvertsToNothingAndKeepsTheLastJpeg) {
  const RgbPicture earlier = Convert(MakePng(30, 30, PNG_FORMAT_RGB, {10, 200, 10}));
  ASSERT_EQ(earlier.width, 30);
  Bytes earlierFile;
  ASSERT_TRUE(ReadWholeFile(target, earlierFile));
  const Bytes png = MakePng(30, 30, PNG_FORMAT_RGB, {1, 2, 3});
  RgbPicture wide;
  ASSERT_TRUE(DecodePicture(MakePng(2000, 60, PNG_FORMAT_RGB, {9, 9, 9}), wide));
  Bytes wideJpeg;
  ASSERT_TRUE(EncodePictureAsJpeg(wide, 75, wideJpeg));
  ASSERT_GT(wideJpeg.size(), 1000u);  // tables, then enough data to cut into
  struct Row {
    const char* label;
    Bytes file;
    int want;
  } rows[] = {
      {"empty body", {}, 2},
      {"a GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, 2},
      {"a PNG cut off", Bytes(png.begin(), png.begin() + static_cast<long>(png.size() / 2)), 2},
      {"a JPEG of only its start", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'}, 2},
      {"a header of 100000 x 100000 pixels", PngHeaderOnly(100000, 100000), 2},
      {"a JPEG cut off in its data", Bytes(wideJpeg.begin(), wideJpeg.end() - 40), 2},
      {"an HTML error page", {'<', 'h', 't', 'm', 'l', '>'}, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    int result = -1;
    Convert(r.file, &result);
    EXPECT_EQ(result, r.want);
    Bytes now;
    ASSERT_TRUE(ReadWholeFile(target, now));
    EXPECT_EQ(now, earlierFile);
  }
  EXPECT_EQ(ConvertToJpeg(dir + "/missing.png", target, 75), 1);
  EXPECT_EQ(ConvertToJpeg(dir, target, 75), 1) << "a folder is no picture file";
}

}  // namespace
}  // namespace sarvoke
