// A picture as a PNG file, for the screenshots the end-to-end driver leaves in the build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qel::e2e {

// Pixels are rows top to bottom of red, green, blue bytes. The image data goes uncompressed
// (stored deflate blocks): screenshots are small, and any viewer reads them.
bool WritePng(const std::string& file, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace qel::e2e
