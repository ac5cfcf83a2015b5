// The compression methods by their numbers in the ZIP format, and the one place that runs the
// decoder a number names.
#pragma once

#include <cstdint>

#include "archive/codecs/codec_status.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

inline constexpr std::uint16_t MethodStored = 0;
inline constexpr std::uint16_t MethodShrunk = 1;
inline constexpr std::uint16_t FirstReduceMethod = 2;  // compression factor 1
inline constexpr std::uint16_t LastReduceMethod = 5;   // compression factor 4
inline constexpr std::uint16_t MethodImploded = 6;
inline constexpr std::uint16_t MethodDeflated = 8;

// True for the methods a decoder of this folder handles.
bool IsSupportedMethod(std::uint16_t method) noexcept;

// Decodes the entry the frame was begun for with the decoder of its method; flags are the
// entry's general-purpose flags (explode's variant). The method must be supported.
TCodecStatus DecodeEntry(TUnzipFrame& frame, std::uint16_t method, std::uint16_t flags);

}  // namespace qel::codecs
