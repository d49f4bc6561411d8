#include "static_site.h"

#include <httplib.h>

#include <cstdint>
#include <vector>

namespace sarvoke::lab {
namespace {

// One character a pixel: '.' transparent, 'o' red, '#' dark red, '|' steel.
const char* const kPin[16] = {"................", "......####......", ".....#oooo#.....", "....#oooooo#....",
                              "....#oooooo#....", ".....#oooo#.....", "......#oo#......", "......#oo#......",
                              "....##oooo##....", "...#oooooooo#...", "...##########...", ".......||.......",
                              ".......||.......", ".......||.......", ".......|........", "................"};

int PaletteIndex(char c) {
  switch (c) {
    case 'o':
      return 1;
    case '#':
      return 2;
    case '|':
      return 3;
    default:
      return 0;
  }
}

}  // namespace

std::string PinIconGif() {
  std::string gif = "GIF89a";
  auto put16 = [&gif](int v) {
    gif += static_cast<char>(v & 0xFF);
    gif += static_cast<char>(v >> 8 & 0xFF);
  };
  put16(16);
  put16(16);
  gif += '\x91';  // a global table of 4 colours
  gif += '\0';    // background: colour 0
  gif += '\0';
  const unsigned char palette[] = {0xFF, 0xFF, 0xFF, 0xE0, 0x3C, 0x31, 0x8B, 0x1A, 0x10, 0x80, 0x80, 0x88};
  gif.append(reinterpret_cast<const char*>(palette), sizeof palette);
  // Graphic control extension: colour 0 is transparent.
  gif.append("\x21\xF9\x04\x01\x00\x00\x00\x00", 8);
  gif += '\x2C';
  put16(0);
  put16(0);
  put16(16);
  put16(16);
  gif += '\0';
  // LZW with 2-bit pixels: clear code 4, end code 5. A clear before every second pixel keeps the table
  // from growing past 7, so every code stays 3 bits wide and no compression is needed to stay valid.
  gif += '\x02';
  std::vector<int> codes;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      if (x % 2 == 0) codes.push_back(4);
      codes.push_back(PaletteIndex(kPin[y][x]));
    }
  }
  codes.push_back(5);
  std::string data;
  std::uint32_t bits = 0;
  int count = 0;
  for (const int code : codes) {
    bits |= static_cast<std::uint32_t>(code) << count;
    for (count += 3; count >= 8; count -= 8, bits >>= 8) data += static_cast<char>(bits & 0xFF);
  }
  if (count > 0) data += static_cast<char>(bits & 0xFF);
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::string block = data.substr(at, 255);
    gif += static_cast<char>(block.size());
    gif += block;
  }
  gif += '\0';
  gif += '\x3B';
  return gif;
}

void AddStaticSiteRoutes(httplib::Server& server, std::function<void(const httplib::Request&)> record) {
  server.Get("/tb/static-frs/img/icon/zding.gif",
             [record = std::move(record)](const httplib::Request& req, httplib::Response& res) {
               record(req);
               res.set_content(PinIconGif(), "image/gif");
             });
}

}  // namespace sarvoke::lab
