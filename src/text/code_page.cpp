#include "text/code_page.h"

#include <iconv.h>

#include <memory>
#include <string>
#include <vector>

namespace sarvoke {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

wchar_t DecodeOne(iconv_t cd, const char* bytes, std::size_t length) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes);
  std::size_t inLeft = length;
  char32_t out[2] = {0, 0};
  char* dst = reinterpret_cast<char*>(out);
  std::size_t outLeft = sizeof out;
  const std::size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
  // Only a conversion that used every byte and gave one code point reads as one character.
  if (r == static_cast<std::size_t>(-1) || inLeft != 0 || outLeft != sizeof out - 4) return kReplacement;
  return static_cast<wchar_t>(out[0]);
}

// Converts the pairs of one lead byte in as few iconv calls as possible: one call per run of valid
// pairs, where a pair per character would make the table cost a tenth of a second at start-up.
void DecodeLeadRow(iconv_t cd, int lead, CodePage936Table& table) {
  std::vector<int> trails;
  std::string pairs;
  for (int trail = 0x40; trail <= 0xFE; ++trail) {
    if (trail == 0x7F) continue;
    trails.push_back(trail);
    pairs.push_back(static_cast<char>(lead));
    pairs.push_back(static_cast<char>(trail));
  }
  std::vector<char32_t> out(trails.size());
  std::size_t done = 0;  // pairs handled so far
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (done < trails.size()) {
    char* in = pairs.data() + done * 2;
    std::size_t inLeft = pairs.size() - done * 2;
    char* dst = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(char32_t);
    const std::size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    const std::size_t consumed = (in - pairs.data()) / 2 - done;
    const std::size_t produced = (dst - reinterpret_cast<char*>(out.data())) / sizeof(char32_t);
    if (produced != consumed) {
      // Not one code point per pair: fall back to reading this row pair by pair.
      for (; done < trails.size(); ++done)
        table.pairs[(lead - 0x81) * 256 + trails[done]] = DecodeOne(cd, pairs.data() + done * 2, 2);
      break;
    }
    for (std::size_t k = 0; k < consumed; ++k) table.pairs[(lead - 0x81) * 256 + trails[done + k]] = out[k];
    done += consumed;
    if (r == static_cast<std::size_t>(-1)) {
      // The pair at `done` is no character of the code page.
      table.pairs[(lead - 0x81) * 256 + trails[done]] = kReplacement;
      ++done;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

std::unique_ptr<CodePage936Table> BuildDecodeTable() {
  auto table = std::make_unique<CodePage936Table>();
  table->pairs.fill(kReplacement);
  table->high.fill(kReplacement);
  iconv_t cd = iconv_open("UTF-32LE", "CP936");
  if (cd == reinterpret_cast<iconv_t>(-1)) return table;
  for (int lead = 0x81; lead <= 0xFE; ++lead) DecodeLeadRow(cd, lead, *table);
  for (int b = 0x80; b <= 0xFF; ++b) {
    if (b >= 0x81 && b <= 0xFE) continue;  // lead bytes standing alone at the end of a text
    const char one = static_cast<char>(b);
    table->high[b - 0x80] = DecodeOne(cd, &one, 1);
  }
  iconv_close(cd);
  return table;
}

// Unicode (the Basic Multilingual Plane) -> code page 936: the character's bytes, lead byte high; 0 where
// the code page has none. Where two byte sequences read as one code point, the first one is written.
struct EncodeTable {
  std::array<std::uint16_t, 0x10000> bytes{};
};

std::unique_ptr<EncodeTable> BuildEncodeTable() {
  auto table = std::make_unique<EncodeTable>();
  const CodePage936Table& d = CodePage936Decoding();
  for (int b = 0x80; b <= 0xFF; ++b) {
    const wchar_t c = d.high[b - 0x80];
    if (c != kReplacement && c < 0x10000 && !table->bytes[c]) table->bytes[c] = static_cast<std::uint16_t>(b);
  }
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const wchar_t c = d.pairs[(lead - 0x81) * 256 + trail];
      if (c != kReplacement && c >= 0x80 && c < 0x10000 && !table->bytes[c])
        table->bytes[c] = static_cast<std::uint16_t>(lead << 8 | trail);
    }
  }
  return table;
}

const EncodeTable& Encoding() {
  static const std::unique_ptr<EncodeTable> table = BuildEncodeTable();
  return *table;
}

}  // namespace

const CodePage936Table& CodePage936Decoding() {
  static const std::unique_ptr<CodePage936Table> table = BuildDecodeTable();
  return *table;
}

void AppendUtf8(char32_t cp, Text& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

Text Utf8ToAnsiText(std::string_view s) {
  Text out;
  if (s.empty()) return out;
  out.reserve(s.size());
  const EncodeTable& table = Encoding();
  auto put = [&](char32_t cp) {
    const std::uint16_t b = cp < 0x10000 ? table.bytes[cp] : 0;
    if (!b) {
      out.push_back('?');
    } else if (b > 0xFF) {
      out.push_back(static_cast<char>(b >> 8));
      out.push_back(static_cast<char>(b & 0xFF));
    } else {
      out.push_back(static_cast<char>(b));
    }
  };
  // UTF-8 as MultiByteToWideChar(CP_UTF8, 0) reads it on current Windows: every maximal ill-formed
  // subsequence becomes one U+FFFD.
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < n) {
    const unsigned char b = byte(i);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    int need = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      put(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < need; ++k, ++j) {
      if (j >= n || byte(j) < lo || byte(j) > hi) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (byte(j) & 0x3F);
      lo = 0x80;
      hi = 0xBF;
    }
    put(ok ? cp : kReplacement);
    i = j;
  }
  return out;
}

Bytes Utf8BodyToAnsi(const Bytes& body) {
  if (body.empty()) return Bytes();
  const Text out = Utf8ToAnsiText(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
  return Bytes(out.begin(), out.end());
}

Text AnsiToUtf8(std::string_view text) {
  Text out;
  if (text.empty()) return out;
  out.reserve(text.size() * 3 / 2);
  const CodePage936Table& table = CodePage936Decoding();
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = text[i];
    wchar_t c;
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    if (IsDoubleByteAt(text, i)) {
      c = table.pairs[(b - 0x81) * 256 + static_cast<unsigned char>(text[i + 1])];
      i += 2;
    } else {
      c = table.high[b - 0x80];
      ++i;
    }
    // Not a character of the code page: "?", as the Windows converter gives it.
    if (c == kReplacement)
      out.push_back('?');
    else
      AppendUtf8(static_cast<char32_t>(c), out);
  }
  return out;
}

}  // namespace sarvoke
