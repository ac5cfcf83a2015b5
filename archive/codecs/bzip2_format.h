// The constants of the bzip2 format (ZIP method 12), each with the part of the format
// description that defines it. Sources: the field-by-field layout of the Forensics Wiki page
// "Bzip2" (stream header, compressed block, end-of-stream marker), and the Wikipedia article
// "bzip2", sections "Implementation" (the stages and their order) and "File format". The
// transform is Burrows and Wheeler, "A Block-sorting Lossless Data Compression Algorithm", SRC
// Research Report 124 (1994), section 4.2.
#pragma once

#include <array>
#include <cstdint>

namespace qel::codecs::bzip2 {

// Stream header: "BZ", 'h' (Huffman coding; '0' was the withdrawn bzip 1), then the level
// '1'..'9': the largest block, in units of 100 000 bytes before the final run-length coding.
inline constexpr std::array<std::uint8_t, 3> StreamSignature = {'B', 'Z', 'h'};
inline constexpr std::uint8_t FirstLevel = '1';
inline constexpr std::uint8_t LastLevel = '9';
inline constexpr std::uint32_t BlockSizeUnit = 100000;
inline constexpr std::uint32_t MaxBlockSize = 9 * BlockSizeUnit;

// Compressed block: 48-bit magic (the BCD digits of pi), the block's CRC, 1 bit "randomised",
// 24 bits origPtr (the row of the original text among the sorted rotations).
// End-of-stream: 48-bit magic (the BCD digits of sqrt(pi)), the stream's combined CRC, then
// zero bits up to the next byte boundary. Blocks and the end are bit-aligned, not padded.
inline constexpr unsigned MagicBits = 48;
inline constexpr std::uint64_t BlockMagic = 0x314159265359;
inline constexpr std::uint64_t EndOfStreamMagic = 0x177245385090;
inline constexpr unsigned CrcBits = 32;
inline constexpr unsigned RandomisedBits = 1;
inline constexpr unsigned OrigPtrBits = 24;
static_assert(MaxBlockSize < (1u << OrigPtrBits), "origPtr addresses every byte of the largest block");

// The used-byte map: 16 bits, one per range of 16 byte values, then 16 bits for each range
// marked, one per byte; most significant bit first, the lowest value first.
inline constexpr unsigned MapRanges = 16;
inline constexpr unsigned RangeBytes = 16;

// Huffman groups: 3 bits, 2 to 6 tables; 15 bits, the number of selectors, each sent as its
// move-to-front index in unary (a 1 bit per step, ended by a 0). One selector names the table
// of each group of 50 symbols.
inline constexpr unsigned GroupCountBits = 3;
inline constexpr unsigned MinGroups = 2;
inline constexpr unsigned MaxGroups = 6;
inline constexpr unsigned SelectorCountBits = 15;
inline constexpr unsigned GroupSymbols = 50;
// A block of MaxBlockSize bytes needs at most this many selectors (one symbol per byte at worst
// plus the end of block); the count field may say more, but no more can be used.
inline constexpr unsigned MaxSelectors = 2 + MaxBlockSize / GroupSymbols;

// Code lengths: 5 bits, the starting length; then per symbol, while a 1 bit comes, a second
// bit that lowers (1) or raises (0) the length; a 0 bit ends the symbol's length. Every symbol
// has a length of 1 to 20 bits.
inline constexpr unsigned StartLengthBits = 5;
inline constexpr unsigned MinCodeLength = 1;
inline constexpr unsigned MaxCodeLength = 20;

// The symbols: RUNA and RUNB spell the length of a run of the front byte in bijective base 2
// (RUNA adds 1, RUNB 2, times the weight of the place, which doubles with each symbol); 2 to
// used bytes stand for move-to-front index symbol - 1; the last, used bytes + 1, ends the block.
inline constexpr unsigned RunA = 0;
inline constexpr unsigned RunB = 1;
inline constexpr unsigned MaxAlphabet = 256 + 2;

// "Implementation", the final run-length coding: after four equal bytes, the next byte of the
// transform's output counts further copies of it (0 to 255).
inline constexpr unsigned RunLeadBytes = 4;

// "File format": the CRC of blocks and streams, CRC-32 with polynomial 0x04C11DB7, not reflected (most
// significant bit first), register started at all ones and finished with NOT. The stream's
// combined CRC starts at 0 and takes each block's CRC by a rotation left by one and XOR.
inline constexpr std::uint32_t CrcPolynomial = 0x04C11DB7u;
inline constexpr std::uint32_t CrcInitial = 0xFFFFFFFFu;

}  // namespace qel::codecs::bzip2
