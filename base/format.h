// Format with the patterns the program uses: %s, %d, %u, %x (with "-", width and precision), %%.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qel::base {

// One argument of Format: an integer or a text. Unsigned integers remember that they are
// unsigned, so values above the signed range print as they were given.
class TVarRec {
 public:
  TVarRec(int v) : FIsText(false), FInt(v) {}
  TVarRec(unsigned v) : FIsText(false), FIsUnsigned(true), FInt(v) {}
  TVarRec(long v) : FIsText(false), FInt(v) {}
  TVarRec(unsigned long v) : FIsText(false), FIsUnsigned(true), FInt(static_cast<std::int64_t>(v)) {}
  TVarRec(long long v) : FIsText(false), FInt(v) {}
  TVarRec(unsigned long long v) : FIsText(false), FIsUnsigned(true), FInt(static_cast<std::int64_t>(v)) {}
  TVarRec(const char* v) : FIsText(true), FText(v) {}
  TVarRec(std::string_view v) : FIsText(true), FText(v) {}
  TVarRec(const std::string& v) : FIsText(true), FText(v) {}
  bool IsText() const { return FIsText; }
  bool IsUnsigned() const { return FIsUnsigned; }
  std::int64_t Int() const { return FInt; }
  std::string_view Text() const { return FText; }

 private:
  bool FIsText;
  bool FIsUnsigned = false;
  std::int64_t FInt = 0;
  std::string_view FText;
};

// A directive is "%" [index ":"] ["-"] [width] ["." precision] type, the type one of
// d, u, x, s in either case; "%%" is a percent sign.
// - "-" justifies left inside the width (padding with spaces).
// - The precision of d, u and x is a minimum digit count, padded with zeros
//   (Format("%3.3d", {2}) == "002"); of s, the most characters taken.
// - %u and %x show a negative 32-bit argument as its unsigned 32-bit value; %x uses
//   the digits 0-9 and A-F.
// - An index "n:" takes argument n (from 0); later directives go on from n + 1.
// A malformed directive, a missing argument or one of the wrong kind raises EConvertError
// "Format '<pattern>' invalid or incompatible with argument". Unused arguments are ignored.
std::string Format(std::string_view pattern, std::initializer_list<TVarRec> args);

}  // namespace qel::base
