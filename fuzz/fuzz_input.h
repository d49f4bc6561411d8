// What the fuzz targets share: reading one input as several texts, and failing loudly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace sarvoke::fuzz {

// The input as a text.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at its first `count - 1` zero bytes into `count` texts (missing ones are empty). A zero
// byte is what no seed of a page or an address holds, so the seeds stay readable files.
inline std::vector<std::string_view> SplitInput(std::string_view input, std::size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    const auto zero = input.find('\0');
    if (zero == std::string_view::npos) break;
    parts.push_back(input.substr(0, zero));
    input.remove_prefix(zero + 1);
  }
  parts.push_back(input);
  parts.resize(count);
  return parts;
}

// A broken promise of the code under test: report it and let libFuzzer keep the input.
[[noreturn]] inline void Broken(const char* what) {
  std::fprintf(stderr, "==broken== %s\n", what);
  std::abort();
}

inline void Check(bool ok, const char* what) {
  if (!ok) Broken(what);
}

}  // namespace sarvoke::fuzz
