// CRC-32 by carry-less multiplication: sixteen bytes fold into the running remainder with two
// multiplications, which is several times faster than any table. Only x86 processors with the
// PCLMULQDQ instruction have it; the table step serves the others.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::codecs {

// Smallest buffer the folding step takes.
inline constexpr std::size_t FoldingMinimum = 64;

// True when this processor can run FoldCRC.
bool FoldingAvailable() noexcept;

// The register after the whole multiple of 16 bytes at the start of data (size at least
// FoldingMinimum); consumed is set to how many bytes that is. Only where FoldingAvailable.
std::uint32_t FoldCRC(std::uint32_t crc, const std::uint8_t* data, std::size_t size, std::size_t& consumed);

// The table step alone, sixteen bytes at a time: what every processor can run.
std::uint32_t UpdateCRCByTables(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

}  // namespace qel::codecs
