// Text and number helpers of the framework.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qel::base {

// Byte-wise comparison after mapping "a"-"z" to "A"-"Z" only: < 0, 0, > 0; a prefix comes first.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
std::string UpperCase(std::string_view s);  // ASCII letters only
std::string LowerCase(std::string_view s);  // ASCII letters only
std::string IntToStr(std::int64_t value);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
std::int64_t RoundHalfEven(double value);

// Paths
std::string IncludeTrailingBackslash(const std::string& path);  // "" gives "\"
std::string ExcludeTrailingBackslash(const std::string& path);
std::string ExtractFilePath(const std::string& fileName);  // up to and including the last "\" or ":"
std::string ExtractFileName(const std::string& fileName);  // after the last "\" or ":"
std::string ExtractFileDir(const std::string& fileName);   // ExtractFilePath without the closing "\",
                                                           // except for a root ("C:\", "\")
std::string ExtractFileExt(const std::string& fileName);   // from the last "." of the name part

}  // namespace qel::base
