// Small number, text and file-system helpers of the reading side.
#pragma once

#include <cstdint>
#include <string>

namespace qel::archive {

// In place.
void SlashesToBackslashes(std::string& text);
void BackslashesToSlashes(std::string& text);

// The first or last n characters; the whole text when it is shorter, empty for n ≤ 0.
std::string LeftPart(const std::string& text, std::int32_t n);
std::string RightPart(const std::string& text, std::int32_t n);

// Creates every missing directory along path; false when one of them cannot be made.
bool CreateDirectories(const std::string& path);

std::string CurrentDirectory();
// Raises base::EInOutError with the system's text when path cannot become the current directory.
void ChangeDirectory(const std::string& path);

// The label of the volume whose root is given (for example "A:\"), at most 13 characters,
// as a 14-character buffer with its terminator holds them; empty when there is none.
std::string VolumeLabel(const std::string& root);

}  // namespace qel::archive
