// The compression methods this folder decodes: one table from method number to decoder. A
// number without a row is unsupported and can only be reported as such; a row without a
// decoder does not compile (DecodeEntry's switch has no default).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"
#include "archive/codecs/zip_format.h"

namespace qel::codecs {

struct TMethodRow {
  TMethod Method;
  const char* Name;  // as listings show it
};

inline constexpr std::array<TMethodRow, 11> MethodTable = {{
    {TMethod::Stored, "Stored"},
    {TMethod::Shrunk, "Shrunk"},
    {TMethod::Reduced1, "Reduced"},
    {TMethod::Reduced2, "Reduced"},
    {TMethod::Reduced3, "Reduced"},
    {TMethod::Reduced4, "Reduced"},
    {TMethod::Imploded, "Implode"},
    {TMethod::Deflated, "Defl"},
    {TMethod::Deflated64, "Defl64"},
    {TMethod::BZip2, "BZip2"},
    {TMethod::Lzma, "LZMA"},
}};

// The method an entry's number names, when a decoder here reads it.
constexpr std::optional<TMethod> SupportedMethod(std::uint16_t number) noexcept {
  for (const TMethodRow& row : MethodTable) {
    if (static_cast<std::uint16_t>(row.Method) == number) return row.Method;
  }
  return std::nullopt;
}

// The name listings show for a method number; "Unknown" for a number without a decoder.
constexpr const char* MethodName(std::uint16_t number) noexcept {
  for (const TMethodRow& row : MethodTable) {
    if (static_cast<std::uint16_t>(row.Method) == number) return row.Name;
  }
  return "Unknown";
}

// Decodes the entry the frame was begun for with the decoder of its method; flags are the
// entry's general-purpose flags (explode's variant, LZMA's end marker).
TCodecStatus DecodeEntry(TUnzipFrame& frame, TMethod method, std::uint16_t flags);

}  // namespace qel::codecs
