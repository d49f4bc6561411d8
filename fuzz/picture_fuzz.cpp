// The avatar converter over any downloaded bytes: decoding, and encoding what was decoded as JPEG.
#include "fuzz_input.h"
#include "platform/image_converter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const Bytes file(data, data + size);
  RgbPicture picture;
  if (!DecodePicture(file, picture)) {
    fuzz::Check(picture.pixels.empty() && picture.width == 0, "a refused picture left pixels behind");
    return 0;
  }
  fuzz::Check(picture.width > 0 && picture.height > 0, "a decoded picture without a size");
  fuzz::Check(static_cast<std::uint64_t>(picture.width) * picture.height <= kPicturePixelLimit,
              "a picture over the pixel limit was decoded");
  fuzz::Check(picture.pixels.size() == static_cast<std::size_t>(picture.width) * picture.height * 3,
              "the pixels do not fill the picture");
  Bytes jpeg;
  fuzz::Check(EncodePictureAsJpeg(picture, 75, jpeg), "a decoded picture could not be encoded");
  RgbPicture again;
  fuzz::Check(DecodePicture(jpeg, again), "the converter's own JPEG does not decode");
  fuzz::Check(again.width == picture.width && again.height == picture.height, "the JPEG changed the size");
  return 0;
}
