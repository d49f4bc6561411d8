#include "share/json_text.h"

#include <cstdlib>
#include <string>

namespace sarvoke {
namespace {

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The length of the valid UTF-8 sequence at `i` (shortest form, no surrogates, at most U+10FFFF), or 0.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  std::size_t n;
  unsigned cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
    return 0;
  return n;
}

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  bool Document(JsonValue& out) {
    if (!Value(out, 0)) return false;
    Blanks();
    return i_ == s_.size();
  }

 private:
  void Blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  bool Hex4(unsigned& out) {
    if (i_ + 4 > s_.size()) return false;
    out = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[i_++];
      out <<= 4;
      if (c >= '0' && c <= '9') {
        out |= c - '0';
      } else if (c >= 'a' && c <= 'f') {
        out |= c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        out |= c - 'A' + 10;
      } else {
        return false;
      }
    }
    return true;
  }
  bool String(std::string& out) {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    ++i_;
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (c == '"') {
        ++i_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        ++i_;
        continue;
      }
      if (++i_ >= s_.size()) return false;
      const char e = s_[i_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF && s_.substr(i_, 2) == "\\u") {
            const std::size_t mark = i_;
            i_ += 2;
            unsigned low = 0;
            if (Hex4(low) && low >= 0xDC00 && low <= 0xDFFF) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else {
              i_ = mark;
            }
          }
          AppendUtf8(out, cp >= 0xD800 && cp <= 0xDFFF ? 0xFFFD : cp);  // a lone surrogate
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool Number(double& out) {
    const std::size_t start = i_;
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    while (i_ < s_.size() && ((s_[i_] >= '0' && s_[i_] <= '9') || s_[i_] == '.' || s_[i_] == 'e' ||
                              s_[i_] == 'E' || s_[i_] == '+' || s_[i_] == '-'))
      ++i_;
    if (i_ == start) return false;
    const std::string digits(s_.substr(start, i_ - start));
    char* end = nullptr;
    out = std::strtod(digits.c_str(), &end);
    return end == digits.c_str() + digits.size();
  }
  bool Value(JsonValue& v, int depth) {
    Blanks();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{' || c == '[') {
      if (depth >= kJsonDepthLimit) return false;
      ++i_;
      const bool object = c == '{';
      v.kind = object ? JsonValue::Kind::Object : JsonValue::Kind::Array;
      Blanks();
      if (i_ < s_.size() && s_[i_] == (object ? '}' : ']')) {
        ++i_;
        return true;
      }
      for (;;) {
        JsonValue item;
        std::string name;
        if (object) {
          Blanks();
          if (!String(name)) return false;
          Blanks();
          if (i_ >= s_.size() || s_[i_++] != ':') return false;
        }
        if (!Value(item, depth + 1)) return false;
        if (object) {
          v.members.emplace_back(std::move(name), std::move(item));
        } else {
          v.items.push_back(std::move(item));
        }
        Blanks();
        if (i_ >= s_.size()) return false;
        const char next = s_[i_++];
        if (next == (object ? '}' : ']')) return true;
        if (next != ',') return false;
      }
    }
    if (c == '"') {
      v.kind = JsonValue::Kind::String;
      return String(v.text);
    }
    if (Literal("true") || Literal("false")) {
      v.kind = JsonValue::Kind::Bool;
      v.boolean = c == 't';
      return true;
    }
    if (Literal("null")) {
      v.kind = JsonValue::Kind::Null;
      return true;
    }
    v.kind = JsonValue::Kind::Number;
    return Number(v.number);
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

}  // namespace

std::string JsonQuoted(std::string_view utf8) {
  static const char hex[] = "0123456789abcdef";
  std::string out = "\"";
  out.reserve(utf8.size() + 2);
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x80) {
      const std::size_t n = Utf8SequenceAt(utf8, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(utf8.substr(i, n));
        i += n;
      }
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

const JsonValue* JsonValue::Member(std::string_view name) const {
  if (kind != Kind::Object) return nullptr;
  for (const auto& [key, value] : members)
    if (key == name) return &value;
  return nullptr;
}

bool ParseJson(std::string_view text, JsonValue& out) {
  out = JsonValue{};
  return Reader(text).Document(out);
}

}  // namespace sarvoke
