#include "share/link_codecs.h"

#include <array>

#include "platform/event_pump.h"

namespace sarvoke {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::string_view kThunderPrefix = "thunder://";
constexpr std::string_view kFlashgetPrefix = "Flashget://";
constexpr std::string_view kQqdlPrefix = "qqdl://";
constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kFlashgetWrapper = "[FLASHGET]";
constexpr std::string_view kFlashgetSuffix = "&1926";

// The value of each byte in the alphabet, -1 for a byte outside it.
constexpr std::array<int, 256> AlphabetIndex() {
  std::array<int, 256> t{};
  for (int& v : t) v = -1;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i)
    t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
  return t;
}
constexpr std::array<int, 256> kIndex = AlphabetIndex();

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Standard Base64 of `data`, appended to `out`.
void AppendBase64(const std::uint8_t* data, std::size_t size, Text& out) {
  out.reserve(out.size() + (size + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const unsigned v = data[i] << 16 | data[i + 1] << 8 | data[i + 2];
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[v >> 12 & 63]);
    out.push_back(kAlphabet[v >> 6 & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  const std::size_t rest = size - i;
  if (rest > 0) {
    const unsigned v = data[i] << 16 | (rest == 2 ? data[i + 1] << 8 : 0);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[v >> 12 & 63]);
    out.push_back(rest == 2 ? kAlphabet[v >> 6 & 63] : '=');
    out.push_back('=');
  }
}

// prefix + Base64(before + address + after) + suffix, built in one buffer.
Text Wrap(std::string_view prefix, std::string_view before, const Text& address, std::string_view after,
          std::string_view suffix = {}) {
  Text inner;
  inner.reserve(before.size() + address.size() + after.size());
  inner.append(before).append(address).append(after);
  Text out;
  out.reserve(prefix.size() + (inner.size() + 2) / 3 * 4 + suffix.size());
  out.append(prefix);
  AppendBase64(reinterpret_cast<const std::uint8_t*>(inner.data()), inner.size(), out);
  out.append(suffix);
  return out;
}

Text DecodeToText(std::string_view base64) { return TextFromBytes(Base64Decode(base64)); }

// Steps 1 and 2 of the decoder: blanks out, then CR LF pairs out. Returns `text` itself when it holds
// nothing to remove, as a link's Base64 usually does; otherwise the cleaned copy in `store`.
std::string_view WithoutSpacesAndLineBreaks(std::string_view text, Text& store) {
  bool clean = true;
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b == 0x20 || b == '\r' || b >= 0x80) {
      clean = false;
      break;
    }
  }
  if (clean) return text;
  Text spaced;
  spaced.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x80) {
      // A double-byte character is kept or dropped whole; a lead byte with nothing behind it is dropped.
      if (i + 1 < text.size() && !(b == 0xA1 && static_cast<unsigned char>(text[i + 1]) == 0xA1)) {
        spaced.push_back(text[i]);
        spaced.push_back(text[i + 1]);
      }
      i += 2;
      continue;
    }
    if (b != 0x20) spaced.push_back(text[i]);
    ++i;
  }
  store.clear();
  store.reserve(spaced.size());
  for (std::size_t i = 0; i < spaced.size(); ++i) {
    if (spaced[i] == '\r' && i + 1 < spaced.size() && spaced[i + 1] == '\n') {
      ++i;
      continue;
    }
    store.push_back(spaced[i]);
  }
  return store;
}

}  // namespace

Text Base64Encode(const Bytes& bytes) {
  Text out;
  AppendBase64(bytes.data(), bytes.size(), out);
  return out;
}

Bytes Base64Decode(std::string_view input) {
  Text store;
  const std::string_view text = WithoutSpacesAndLineBreaks(input, store);
  const std::size_t n = text.size();
  if (n == 0) return {};
  const std::size_t groups = (n + 3) / 4;
  Bytes out;
  out.reserve(groups * 3);
  // The slots keep their values from one group to the next: a group that stops early reuses them.
  unsigned char slot[4] = {0, 0, 0, 0};
  int stop = 5;
  // Pending window events run once per 256 KB of text (about a millisecond of decoding), not once per
  // group: a round of the event loop costs far more than decoding four characters.
  constexpr std::size_t kGroupsPerPump = 65536;
  for (std::size_t g = 0; g < groups; ++g) {
    stop = 5;
    for (int k = 0; k < 4; ++k) {
      const std::size_t pos = 4 * g + k;
      const unsigned char b = pos < n ? static_cast<unsigned char>(text[pos]) : kAlphabet[0];
      slot[k] = b;
      const int value = kIndex[b];
      if (value < 0) {
        stop = k + 1;
        break;
      }
      slot[k] = static_cast<unsigned char>(value);
    }
    out.push_back(static_cast<std::uint8_t>(slot[0] << 2 | slot[1] >> 4));
    out.push_back(static_cast<std::uint8_t>(slot[1] << 4 | slot[2] >> 2));
    out.push_back(static_cast<std::uint8_t>(slot[2] << 6 | slot[3]));
    if (g % kGroupsPerPump == kGroupsPerPump - 1) LetPendingEventsRun();
  }
  if (stop < 5) {
    const std::size_t drop = 5 - stop;
    if (drop >= out.size()) return {};
    out.resize(out.size() - drop);
  }
  return out;
}

Text ThunderEncode(const Text& address) { return Wrap(kThunderPrefix, "AA", address, "ZZ"); }

Text FlashgetEncode(const Text& address) {
  return Wrap(kFlashgetPrefix, kFlashgetWrapper, address, kFlashgetWrapper, kFlashgetSuffix);
}

Text QqdlEncode(const Text& address) { return Wrap(kQqdlPrefix, {}, address, {}); }

Text ThunderDecode(const Text& link) {
  const Text inner =
      DecodeToText(std::string_view(link).substr(std::min(link.size(), kThunderPrefix.size())));
  if (inner.size() <= 4) return Text();
  return inner.substr(2, inner.size() - 4);
}

Text FlashgetDecode(const Text& link) {
  std::string_view rest = std::string_view(link).substr(std::min(link.size(), kFlashgetPrefix.size()));
  // The prefix holds no "&": the first one of the link is the first one of the rest.
  const int amp = TextFind(rest, "&");
  if (amp != -1) rest = rest.substr(0, amp - 1);
  const Text inner = DecodeToText(rest);
  const std::size_t w = kFlashgetWrapper.size();
  if (inner.size() <= 2 * w) return Text();
  return inner.substr(w, inner.size() - 2 * w);
}

Text QqdlDecode(const Text& link) {
  return DecodeToText(std::string_view(link).substr(std::min(link.size(), kQqdlPrefix.size())));
}

Text ConvertLink(const Text& link, int kind) {
  const Text failed(kConversionFailed);
  if (link.empty() || kind < Plain || kind > Qqdl) return failed;
  // What the text is: a plain address, or a link of one scheme. A text that holds one of the prefixes
  // without beginning with it is neither.
  int given;
  if (StartsWith(link, kHttpPrefix)) {
    given = Plain;
  } else if (StartsWith(link, kThunderPrefix)) {
    given = Thunder;
  } else if (StartsWith(link, kFlashgetPrefix)) {
    given = Flashget;
  } else if (StartsWith(link, kQqdlPrefix)) {
    given = Qqdl;
  } else if (TextContains(link, kHttpPrefix) || TextContains(link, kThunderPrefix) ||
             TextContains(link, kFlashgetPrefix) || TextContains(link, kQqdlPrefix)) {
    return failed;
  } else {
    given = Plain;
  }
  // The form asked for is the text itself, or made from the plain address; every form is a pure
  // function of the text, so only the one asked for is made.
  if (kind == given) return link;
  const Text plain = given == Thunder    ? ThunderDecode(link)
                     : given == Flashget ? FlashgetDecode(link)
                     : given == Qqdl     ? QqdlDecode(link)
                                         : link;
  switch (kind) {
    case Thunder:
      return ThunderEncode(plain);
    case Flashget:
      return FlashgetEncode(plain);
    case Qqdl:
      return QqdlEncode(plain);
    default:
      return plain;
  }
}

}  // namespace sarvoke
