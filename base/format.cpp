// Format: a small printf-like formatter for the directives the program uses.
#include "base/format.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "base/exceptions.h"

namespace qel::base {

namespace {

// Widths and precisions beyond this are mistakes in a pattern, not layouts.
constexpr int MaxFieldSize = 1 << 16;

struct TDirective {
  int ArgIndex = -1;  // -1: the next argument
  bool LeftJustify = false;
  int Width = 0;
  int Precision = -1;  // -1: none
  char Type = 0;       // lower case
};

class TFormatter {
 public:
  TFormatter(std::string_view pattern, std::initializer_list<TVarRec> args)
      : FPattern(pattern), FArgs(args.begin()), FArgCount(args.size()) {}

  std::string Run() {
    std::string result;
    result.reserve(FPattern.size());
    while (FPos < FPattern.size()) {
      char c = FPattern[FPos++];
      if (c != '%') {
        result += c;
      } else if (FPos < FPattern.size() && FPattern[FPos] == '%') {
        result += '%';
        ++FPos;
      } else {
        Convert(ParseDirective(), result);
      }
    }
    return result;
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError("Format '" + std::string(FPattern) + "' invalid or incompatible with argument");
  }

  bool AtDigit() const { return FPos < FPattern.size() && FPattern[FPos] >= '0' && FPattern[FPos] <= '9'; }

  int ParseNumber() {
    int value = 0;
    while (AtDigit()) {
      value = value * 10 + (FPattern[FPos++] - '0');
      if (value > MaxFieldSize) Fail();
    }
    return value;
  }

  TDirective ParseDirective() {
    TDirective d;
    if (AtDigit()) {
      // Either an argument index ("1:") or the width; only the colon tells them apart.
      int number = ParseNumber();
      if (FPos < FPattern.size() && FPattern[FPos] == ':') {
        d.ArgIndex = number;
        ++FPos;
      } else {
        d.Width = number;
        return ParseRest(d, /*widthDone=*/true);
      }
    }
    return ParseRest(d, /*widthDone=*/false);
  }

  TDirective ParseRest(TDirective d, bool widthDone) {
    if (!widthDone) {
      if (FPos < FPattern.size() && FPattern[FPos] == '-') {
        d.LeftJustify = true;
        ++FPos;
      }
      d.Width = ParseNumber();
    }
    if (FPos < FPattern.size() && FPattern[FPos] == '.') {
      ++FPos;
      if (!AtDigit()) Fail();
      d.Precision = ParseNumber();
    }
    if (FPos >= FPattern.size()) Fail();
    char type = FPattern[FPos++];
    if (type >= 'A' && type <= 'Z') type = static_cast<char>(type - 'A' + 'a');
    if (type != 'd' && type != 'u' && type != 'x' && type != 's') Fail();
    d.Type = type;
    return d;
  }

  const TVarRec& TakeArgument(const TDirective& d) {
    if (d.ArgIndex >= 0) FNextArg = static_cast<std::size_t>(d.ArgIndex);
    if (FNextArg >= FArgCount) Fail();
    return FArgs[FNextArg++];
  }

  static std::string Digits(std::uint64_t magnitude, unsigned base) {
    constexpr char DigitChars[] = "0123456789ABCDEF";
    std::string digits;
    do {
      digits += DigitChars[magnitude % base];
      magnitude /= base;
    } while (magnitude != 0);
    std::reverse(digits.begin(), digits.end());
    return digits;
  }

  // The unsigned reading of an argument for %u and %x: a negative value that fits in 32 bits
  // is taken as the 32-bit pattern it would have in the program's integers.
  static std::uint64_t UnsignedValue(const TVarRec& arg) {
    std::int64_t v = arg.Int();
    if (arg.IsUnsigned() || v >= 0) return static_cast<std::uint64_t>(v);
    if (v >= std::numeric_limits<std::int32_t>::min()) return static_cast<std::uint32_t>(v);
    return static_cast<std::uint64_t>(v);
  }

  static std::string Number(const TVarRec& arg, const TDirective& d) {
    bool negative = false;
    std::string digits;
    if (d.Type == 'd') {
      std::int64_t v = arg.Int();
      negative = !arg.IsUnsigned() && v < 0;
      // The magnitude in unsigned arithmetic, so the most negative value has one too.
      std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
      digits = Digits(magnitude, 10);
    } else {
      digits = Digits(UnsignedValue(arg), d.Type == 'x' ? 16 : 10);
    }
    if (d.Precision > static_cast<int>(digits.size())) digits.insert(0, d.Precision - digits.size(), '0');
    if (negative) digits.insert(0, 1, '-');
    return digits;
  }

  void Convert(const TDirective& d, std::string& out) {
    const TVarRec& arg = TakeArgument(d);
    std::string text;
    if (d.Type == 's') {
      if (!arg.IsText()) Fail();
      std::string_view s = arg.Text();
      if (d.Precision >= 0 && static_cast<std::size_t>(d.Precision) < s.size()) s = s.substr(0, d.Precision);
      text = s;
    } else {
      if (arg.IsText()) Fail();
      text = Number(arg, d);
    }
    std::size_t padding = d.Width > static_cast<int>(text.size()) ? d.Width - text.size() : 0;
    if (!d.LeftJustify) out.append(padding, ' ');
    out += text;
    if (d.LeftJustify) out.append(padding, ' ');
  }

  std::string_view FPattern;
  const TVarRec* FArgs;
  std::size_t FArgCount;
  std::size_t FPos = 0;
  std::size_t FNextArg = 0;
};

}  // namespace

std::string Format(std::string_view pattern, std::initializer_list<TVarRec> args) {
  return TFormatter(pattern, args).Run();
}

}  // namespace qel::base
