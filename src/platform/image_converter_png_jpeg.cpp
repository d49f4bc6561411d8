#include "platform/image_converter.h"

#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which uses FILE and size_t without including them
#include <cstring>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>
// clang-format on

#include "platform/files.h"

namespace sarvoke {
namespace {

bool StartsWith(const Bytes& b, std::initializer_list<std::uint8_t> magic) {
  if (b.size() < magic.size()) return false;
  return std::equal(magic.begin(), magic.end(), b.begin());
}

bool WithinLimits(std::uint64_t width, std::uint64_t height) {
  return width > 0 && height > 0 && width * height <= kPicturePixelLimit;
}

bool DecodePng(const Bytes& file, RgbPicture& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  if (!WithinLimits(image.width, image.height)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.pixels.assign(PNG_IMAGE_SIZE(image), 0);
  // Transparent parts are laid over white, as a light window background shows them.
  const png_color white{255, 255, 255};
  if (!png_image_finish_read(&image, &white, out.pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  return true;
}

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back here.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }
void JpegQuiet(j_common_ptr) {}
// Data that ends early is a broken picture, not a grey one.
void JpegMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(info);
}

void UseJpegError(JpegError& e) {
  jpeg_std_error(&e.mgr);
  e.mgr.error_exit = JpegErrorExit;
  e.mgr.output_message = JpegQuiet;  // a warning about a damaged file is not the terminal's business
  e.mgr.emit_message = JpegMessage;
}

// Kept apart from the setjmp frame: nothing with a destructor may live in a function that longjmp leaves.
bool DecodeJpegInto(jpeg_decompress_struct& info, const Bytes& file, RgbPicture& out) {
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  if (!WithinLimits(info.image_width, info.image_height)) return false;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3) return false;
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.pixels.data() + static_cast<std::size_t>(info.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

bool DecodeJpeg(const Bytes& file, RgbPicture& out) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = &error.mgr;
  UseJpegError(error);
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  const bool ok = DecodeJpegInto(info, file, out);
  jpeg_destroy_decompress(&info);
  return ok;
}

bool EncodeJpegInto(jpeg_compress_struct& info, const RgbPicture& picture, int quality,
                    unsigned char** buffer, unsigned long* size) {
  jpeg_mem_dest(&info, buffer, size);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    auto* row = const_cast<JSAMPROW>(picture.pixels.data() +
                                     static_cast<std::size_t>(info.next_scanline) * picture.width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

bool EncodePictureAsJpeg(const RgbPicture& picture, int quality, Bytes& out) {
  if (!WithinLimits(picture.width > 0 ? picture.width : 0, picture.height > 0 ? picture.height : 0) ||
      picture.pixels.size() < static_cast<std::size_t>(picture.width) * picture.height * 3)
    return false;
  jpeg_compress_struct info;
  JpegError error;
  info.err = &error.mgr;
  UseJpegError(error);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&info);
  EncodeJpegInto(info, picture, quality, &buffer, &size);
  jpeg_destroy_compress(&info);
  out.assign(buffer, buffer + size);
  std::free(buffer);
  return true;
}

bool DecodePicture(const Bytes& file, RgbPicture& out) {
  out = RgbPicture{};
  bool ok = false;
  if (StartsWith(file, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
    ok = DecodePng(file, out);
  } else if (StartsWith(file, {0xFF, 0xD8, 0xFF})) {
    ok = DecodeJpeg(file, out);
  }
  if (!ok) out = RgbPicture{};
  return ok;
}

int ConvertToJpeg(const std::string& source, const std::string& target, int quality) {
  Bytes file;
  if (ReadSmallFile(source, kPictureFileLimit, file) != SmallFileRead::Ok) return 1;
  RgbPicture picture;
  if (!DecodePicture(file, picture)) return 2;
  Bytes jpeg;
  if (!EncodePictureAsJpeg(picture, quality < 1 ? 1 : quality > 100 ? 100 : quality, jpeg)) return 2;
  return WriteWholeFile(target, jpeg) ? 0 : 3;
}

}  // namespace sarvoke
