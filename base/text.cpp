// Text, number and path helpers.
#include "base/text.h"

#include <cmath>

#include "base/exceptions.h"

namespace qel::base {

namespace {

unsigned char FoldUpper(char c) {
  auto b = static_cast<unsigned char>(c);
  return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

unsigned char FoldLower(char c) {
  auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

bool IsPathDelimiter(char c) { return c == '\\'; }
bool IsNameDelimiter(char c) { return c == '\\' || c == ':'; }

// Position of the last "\" or ":" in fileName, or npos.
std::string::size_type LastNameDelimiter(const std::string& fileName) { return fileName.find_last_of("\\:"); }

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    int diff = static_cast<int>(FoldUpper(a[i])) - static_cast<int>(FoldUpper(b[i]));
    if (diff != 0) return diff;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

std::string UpperCase(std::string_view s) {
  std::string result(s);
  for (char& c : result) c = static_cast<char>(FoldUpper(c));
  return result;
}

std::string LowerCase(std::string_view s) {
  std::string result(s);
  for (char& c : result) c = static_cast<char>(FoldLower(c));
  return result;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::int64_t RoundHalfEven(double value) {
  // Beyond 2^62 a double has no fraction left and the cast below would leave the int64 range.
  constexpr double Limit = 4611686018427387904.0;  // 2^62
  if (!std::isfinite(value) || value >= Limit || value <= -Limit) {
    throw EConvertError("Invalid floating point value to round");
  }
  double floorValue = std::floor(value);
  double fraction = value - floorValue;  // exact for doubles in this range
  auto result = static_cast<std::int64_t>(floorValue);
  if (fraction > 0.5 || (fraction == 0.5 && (result & 1) != 0)) ++result;
  return result;
}

std::string IncludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path.back())) return path;
  return path + '\\';
}

std::string ExcludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path.back())) return path.substr(0, path.size() - 1);
  return path;
}

std::string ExtractFilePath(const std::string& fileName) {
  auto pos = LastNameDelimiter(fileName);
  return pos == std::string::npos ? std::string() : fileName.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& fileName) {
  auto pos = LastNameDelimiter(fileName);
  return pos == std::string::npos ? fileName : fileName.substr(pos + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
  auto pos = LastNameDelimiter(fileName);
  if (pos == std::string::npos) return std::string();
  // A root keeps its separator: "C:\" and "\" stay directories rather than becoming
  // "C:" (the current directory of drive C) or nothing.
  std::string::size_type length = pos + 1;
  if (pos > 0 && IsPathDelimiter(fileName[pos]) && !IsNameDelimiter(fileName[pos - 1])) length = pos;
  return fileName.substr(0, length);
}

std::string ExtractFileExt(const std::string& fileName) {
  auto pos = fileName.find_last_of(".\\:");
  if (pos == std::string::npos || fileName[pos] != '.') return std::string();
  return fileName.substr(pos);
}

}  // namespace qel::base
