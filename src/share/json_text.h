// JSON text as the program writes and reads it at its edges (the result list as JSON, aria2's JSON-RPC):
// quoting a UTF-8 string, and a small reader of one JSON document.
//
//   JsonQuoted("a\"b\n") == "\"a\\\"b\\n\""
//   JsonValue v;
//   if (ParseJson(R"({"result":"2089b05ecca3d829"})", v)) v.Member("result")->text;   // "2089b05ecca3d829"
//
// The reader takes at most kJsonDepthLimit nested arrays and objects and refuses anything after the
// document but blanks; strings come out as UTF-8, \u escapes (surrogate pairs included) decoded.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sarvoke {

inline constexpr int kJsonDepthLimit = 64;

// `utf8` between double quotes with JSON's escapes: quote, backslash and every control character
// (U+0000 to U+001F and U+007F) escaped; a byte that is no part of valid UTF-8 becomes U+FFFD.
std::string JsonQuoted(std::string_view utf8);

struct JsonMember;

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;  // a string's UTF-8 text
  std::vector<JsonValue> items;
  // In document order. (A std::pair of a JsonValue inside JsonValue is an incomplete type to some
  // standard libraries' checks; a member struct of its own is not.)
  std::vector<JsonMember> members;

  // The first member named `name` of an object; null for none or for a value that is no object.
  const JsonValue* Member(std::string_view name) const;
};

struct JsonMember {
  JsonMember(std::string n, JsonValue v) : name(std::move(n)), value(std::move(v)) {}
  std::string name;
  JsonValue value;
};

// Reads one JSON document; false (and `out` unspecified) when it is not one.
bool ParseJson(std::string_view text, JsonValue& out);

}  // namespace sarvoke
