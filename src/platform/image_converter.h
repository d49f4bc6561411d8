// The avatar's picture converter: a PNG or JPEG file read into pixels and written again as a JPEG file.
//
//   ConvertToJpeg(folder + "lyb.png", folder + "lyb.jpg", 75);   // 0 when lyb.jpg now holds the picture
//
// Pictures come from the network, so reading is bounded: a file over kPictureFileLimit bytes, a picture
// over kPicturePixelLimit pixels, another format or a broken file is refused before much is allocated,
// and a refused conversion leaves the target file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/text.h"

namespace sarvoke {

inline constexpr std::size_t kPictureFileLimit = 16u << 20;
// An avatar is 30 x 30 pixels; 2048 x 2048 leaves room for any picture a profile may carry, and keeps a
// few bytes that claim a huge picture from costing seconds and hundreds of megabytes.
inline constexpr std::uint64_t kPicturePixelLimit = 2048u * 2048u;

// A decoded picture: 8-bit RGB, rows top to bottom.
struct RgbPicture {
  int width = 0;
  int height = 0;
  Bytes pixels;  // width * height * 3 bytes
};

// Decodes PNG or JPEG bytes (told apart by their signature); a transparent PNG is laid over white.
// False for any other format, a broken picture (a JPEG whose data ends early included: libjpeg would fill
// the rest with grey), or one over the limits.
bool DecodePicture(const Bytes& file, RgbPicture& out);

// `picture` as a baseline JPEG of `quality` (1-100); false when the encoder refuses it.
bool EncodePictureAsJpeg(const RgbPicture& picture, int quality, Bytes& out);

// Reads `source` (PNG or JPEG) and replaces `target` with it as a baseline JPEG of `quality` (1-100).
// 0 on success; otherwise 1 (source unreadable or too large), 2 (not a picture it can read), 3 (the
// target could not be written).
int ConvertToJpeg(const std::string& source, const std::string& target, int quality);

}  // namespace sarvoke
