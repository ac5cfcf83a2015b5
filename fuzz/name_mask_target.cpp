// The name-mask matcher on any mask and name. Beyond ending, it keeps two promises a caller
// can check from outside: the ASCII letters compare folded, and a mask without wildcards or
// sets matches exactly the names spelt like it.
#include <algorithm>
#include <string>
#include <string_view>

#include "archive/name_mask.h"
#include "fuzz/fuzz_targets.h"

namespace qel::fuzz {

namespace {

std::string FoldAscii(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace

void FuzzNameMask(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = std::min(bytes.find('\0'), bytes.size());
  const std::string_view mask = bytes.substr(0, split);
  const std::string_view name = split < bytes.size() ? bytes.substr(split + 1) : std::string_view();

  const archive::TMaskResult result = archive::MatchMask(mask, name);
  const bool matches = result == archive::TMaskResult::mrMatch;
  Require(archive::IsMatch(mask, name) == matches, "IsMatch is MatchMask's match");
  Require(archive::IsMatch(FoldAscii(mask), FoldAscii(name)) == matches, "ASCII letters compare folded");
  if (mask.find_first_of("*?[") == std::string_view::npos) {
    Require(matches == (FoldAscii(mask) == FoldAscii(name)), "a plain mask matches its own spelling only");
  }
}

}  // namespace qel::fuzz
