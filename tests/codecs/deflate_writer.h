// Writes deflate streams for the codec tests: a bit writer for hand-made blocks, and a small
// compressor that turns any data into stored, fixed or dynamic blocks. Written from the format
// alone, so the decoder is not tested against itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel::testing {

using DeflateBytes = std::vector<std::uint8_t>;

// Bits least significant first, as deflate sends them.
class BitWriter final {
 public:
  void Put(std::uint32_t value, unsigned count);
  // A prefix code is sent starting with its most significant bit.
  void PutCode(std::uint32_t code, unsigned length);
  void AlignToByte();
  // Ends with the last byte padded with zero bits.
  DeflateBytes Finish();

  void BlockHeader(bool last, unsigned type) {
    Put(last ? 1 : 0, 1);
    Put(type, 2);
  }
  // A whole stored block: header, alignment, LEN, NLEN (nlen defaults to ~LEN) and the bytes.
  void StoredBlock(bool last, const DeflateBytes& data, int nlen = -1);

 private:
  DeflateBytes FBytes;
  std::uint32_t FPending = 0;
  unsigned FPendingBits = 0;
};

// The canonical codes of a set of code lengths (0: unused).
std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths);

// A length (3 to 258) or distance (1 to 32768) as its code and extra bits.
struct DeflateSymbol {
  unsigned Code;
  unsigned ExtraBits;
  unsigned Extra;
};
DeflateSymbol LengthSymbol(unsigned length);
DeflateSymbol DistanceSymbol(unsigned distance);

// The fixed code of literal/length symbols 0 to 287 and distance codes 0 to 31.
void PutFixedSymbol(BitWriter& out, unsigned symbol);
void PutFixedDistanceCode(BitWriter& out, unsigned code);
// A whole match with the fixed code.
void PutFixedMatch(BitWriter& out, unsigned length, unsigned distance);

// One code-length symbol of a dynamic header, with its repeat bits.
struct CodeLengthSymbol {
  unsigned Symbol;  // 0 to 18
  unsigned Extra = 0;
};

// The header of a dynamic block: the counts, a complete code-length code (four and five
// bits), and the given code-length symbols; the codes the block then uses are the canonical
// codes of litLengths and distLengths.
void PutDynamicHeader(BitWriter& out, unsigned literalCount, unsigned distanceCount,
                      const std::vector<CodeLengthSymbol>& symbols);
// The same with the lengths sent one symbol each.
void PutDynamicHeader(BitWriter& out, const std::vector<std::uint8_t>& litLengths,
                      const std::vector<std::uint8_t>& distLengths);

enum class BlockKind { Stored, Fixed, Dynamic };

struct DeflateOptions {
  BlockKind Kind = BlockKind::Dynamic;
  std::size_t BlockSize = 20000;  // input bytes per block
  unsigned MaxDistance = 32768;
};

// Compresses data with greedy matching into blocks of the chosen kind.
DeflateBytes Deflate(const DeflateBytes& data, const DeflateOptions& options = {});

}  // namespace qel::testing
