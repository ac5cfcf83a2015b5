// Format with the patterns the program uses: %s, %d (with width, precision and "-"), %x, %u, %%.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qel::base {

// One argument of Format: an integer or a text.
class TVarRec {
 public:
  TVarRec(int v) : FIsText(false), FInt(v) {}
  TVarRec(unsigned v) : FIsText(false), FInt(v) {}
  TVarRec(long v) : FIsText(false), FInt(v) {}
  TVarRec(unsigned long v) : FIsText(false), FInt(static_cast<std::int64_t>(v)) {}
  TVarRec(long long v) : FIsText(false), FInt(v) {}
  TVarRec(unsigned long long v) : FIsText(false), FInt(static_cast<std::int64_t>(v)) {}
  TVarRec(const char* v) : FIsText(true), FText(v) {}
  TVarRec(std::string_view v) : FIsText(true), FText(v) {}
  TVarRec(const std::string& v) : FIsText(true), FText(v) {}
  bool IsText() const { return FIsText; }
  std::int64_t Int() const { return FInt; }
  std::string_view Text() const { return FText; }

 private:
  bool FIsText;
  std::int64_t FInt = 0;
  std::string_view FText;
};

// Format("%3.3d", {2}) == "002"; a missing or mismatched argument raises EConvertError.
std::string Format(std::string_view pattern, std::initializer_list<TVarRec> args);

}  // namespace qel::base
