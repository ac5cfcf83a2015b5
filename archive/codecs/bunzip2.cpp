#include "archive/codecs/bunzip2.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "archive/codecs/bzip2_format.h"

namespace qel::codecs {
namespace {

// Declared one by one: the deflate names of the same spelling in this namespace stay hidden.
using bzip2::BlockMagic;
using bzip2::BlockSizeUnit;
using bzip2::CrcBits;
using bzip2::EndOfStreamMagic;
using bzip2::FirstLevel;
using bzip2::GroupCountBits;
using bzip2::GroupSymbols;
using bzip2::LastLevel;
using bzip2::MagicBits;
using bzip2::MapRanges;
using bzip2::MaxAlphabet;
using bzip2::MaxCodeLength;
using bzip2::MaxGroups;
using bzip2::MaxSelectors;
using bzip2::MinCodeLength;
using bzip2::MinGroups;
using bzip2::OrigPtrBits;
using bzip2::RandomisedBits;
using bzip2::RangeBytes;
using bzip2::RunB;
using bzip2::RunLeadBytes;
using bzip2::SelectorCountBits;
using bzip2::StartLengthBits;
using bzip2::StreamSignature;

constexpr std::array<std::uint32_t, 256> MakeBzip2CrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t r = b << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r << 1) ^ ((r & 0x80000000u) != 0 ? bzip2::CrcPolynomial : 0u);
    table[b] = r;
  }
  return table;
}
// Indexed by the top byte of the register xor the input byte: what the eight shifts of that
// byte through the register contribute.
constexpr std::array<std::uint32_t, 256> Bzip2CrcTable = MakeBzip2CrcTable();

// Codes up to this length are decoded with one look-up; longer ones (rare: a symbol needs a
// frequency below about 1 in 1000 of its group for it) by comparing with each length's range.
constexpr unsigned FastBits = 10;
constexpr unsigned LengthFieldBits = 5;  // a fast entry is symbol << 5 | length
static_assert(MaxCodeLength < (1u << LengthFieldBits) && (MaxAlphabet << LengthFieldBits) <= 0xFFFF,
              "a fast entry holds a symbol and a length in 16 bits");

// One Huffman table in canonical order: the codes of each length are consecutive numbers,
// shorter codes first, and within a length the symbols in increasing order.
struct THuffmanTable {
  // Indexed by the next FastBits bits; 0 where the code is longer (or there is none).
  std::array<std::uint16_t, 1u << FastBits> Fast;
  std::array<std::uint32_t, MaxCodeLength + 1> First;  // indexed by length: its first code
  std::array<std::uint32_t, MaxCodeLength + 1> Count;  // and how many codes it has
  std::array<std::uint16_t, MaxCodeLength + 1> Start;  // where its symbols begin in Symbols
  std::array<std::uint16_t, MaxAlphabet> Symbols;
};

// Everything a block needs besides the transform's vector. It lies at the start of the frame's
// decoder buffer, the vector right behind it.
struct TBlockTables {
  std::array<std::uint8_t, 256> UsedBytes;  // indexed by the order of the used-byte map
  std::array<std::uint8_t, MaxSelectors> Selectors;
  std::array<THuffmanTable, MaxGroups> Tables;
  std::array<std::uint32_t, 256> ByteCounts;  // of the block before the inverse transform
};
static_assert(sizeof(TBlockTables) % alignof(std::uint32_t) == 0, "the vector behind the tables is aligned");

// The compressed bits, most significant first as bzip2 packs them, right-aligned in a 64-bit
// word: the low Count bits of the buffer are the ones not yet used, the next one highest.
// Past the entry's end zero bytes come in, counted, so that a stream that uses them is found
// out (PastEnd) while a valid one may look up to a word ahead of its last bit.
class TBitSource final {
 public:
  static constexpr unsigned WordBits = 64;

  explicit TBitSource(TUnzipFrame& frame) : FFrame(frame) {}

  // n at most 32.
  std::uint32_t Get(unsigned n) {
    Ensure(n);
    FCount -= n;
    return static_cast<std::uint32_t>(FBuffer >> FCount) & Mask(n);
  }
  void Ensure(unsigned n) {
    if (FCount < n) Refill();
  }
  std::uint32_t Peek(unsigned n) const noexcept { return static_cast<std::uint32_t>(FBuffer >> (FCount - n)) & Mask(n); }
  void Drop(unsigned n) noexcept { FCount -= n; }
  // Bytes come in whole, so the bits of a partly used byte are the count beyond a multiple of 8.
  void AlignToByte() noexcept { FCount -= FCount % 8; }
  // True once a bit from beyond the entry's end has been used.
  bool PastEnd() const noexcept { return FCount < 8 * FMissing; }
  // True while a byte of the entry is left, in the buffer or still to be read.
  bool MoreInput() const noexcept { return FCount > 8 * FMissing || FFrame.CompressedRemaining() > 0; }

 private:
  static constexpr std::uint32_t Mask(unsigned n) noexcept {
    return n >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << n) - 1;
  }
  // Fills to more than WordBits - 8 bits: whole bytes from the frame's chunk where it has them.
  void Refill() {
    while (FCount <= WordBits - 8) {
      const std::size_t buffered = FFrame.BufferedInput();
      if (buffered == 0) {
        std::uint16_t byte = 0;
        if (FFrame.ReadByte(byte) != ByteDelivered) {
          byte = 0;
          ++FMissing;
        }
        FBuffer = FBuffer << 8 | byte;
        FCount += 8;
        continue;
      }
      const std::size_t take = std::min<std::size_t>(buffered, (WordBits - FCount) / 8);
      const std::uint8_t* const in = FFrame.InputPosition();
      for (std::size_t i = 0; i < take; ++i) FBuffer = FBuffer << 8 | in[i];
      FCount += static_cast<unsigned>(8 * take);
      FFrame.TakeInput(take);
    }
  }

  TUnzipFrame& FFrame;
  std::uint64_t FBuffer = 0;
  unsigned FCount = 0;
  unsigned FMissing = 0;  // zero bytes that stand in for bytes past the end
};

class TBunzip2er final {
 public:
  explicit TBunzip2er(TUnzipFrame& frame) : FFrame(frame), FBits(frame) {}
  TCodecStatus Run();

 private:
  // The level of the stream header, 0 for a bad level, -1 when the bytes are no stream header.
  int ReadStreamHeader();
  bool TakeMemory(unsigned level);
  TCodecStatus ReadStream();
  TCodecStatus ReadBlock(std::uint32_t& blockCrc);
  bool ReadUsedBytes();
  bool ReadSelectors();
  bool ReadTables();
  bool DecodeSymbol(const THuffmanTable& table, unsigned& symbol);
  TCodecStatus ReadSymbols(std::uint32_t& length);
  bool WriteBlock(std::uint32_t origPtr, std::uint32_t length, std::uint32_t& crc);

  TUnzipFrame& FFrame;
  TBitSource FBits;
  TBlockTables* FTables = nullptr;
  std::uint32_t* FVector = nullptr;  // the block: bytes in the low 8 bits, links above them
  std::uint32_t FBlockLimit = 0;     // the largest block the stream's level allows
  unsigned FUsedCount = 0;
  unsigned FGroups = 0;
  unsigned FSelectorCount = 0;  // the selectors kept
};

// Builds a table from the code lengths of alphabet symbols. False for over-subscribed lengths,
// which would give two symbols one code; an incomplete code only leaves codes that never decode.
bool BuildTable(const std::uint8_t* lengths, unsigned alphabet, THuffmanTable& table) {
  table.Count.fill(0);
  for (unsigned s = 0; s < alphabet; ++s) ++table.Count[lengths[s]];
  std::int64_t left = 1;  // codes still free at the current length
  std::uint32_t code = 0;
  std::uint16_t index = 0;
  for (unsigned length = MinCodeLength; length <= MaxCodeLength; ++length) {
    left = 2 * left - table.Count[length];
    if (left < 0) return false;
    table.First[length] = code;
    table.Start[length] = index;
    index = static_cast<std::uint16_t>(index + table.Count[length]);
    code = (code + table.Count[length]) << 1;
  }
  std::array<std::uint16_t, MaxCodeLength + 1> next = table.Start;
  for (unsigned s = 0; s < alphabet; ++s) table.Symbols[next[lengths[s]]++] = static_cast<std::uint16_t>(s);

  table.Fast.fill(0);
  for (unsigned length = MinCodeLength; length <= FastBits; ++length) {
    const unsigned spread = FastBits - length;  // the bits behind the code take every value
    for (std::uint32_t k = 0; k < table.Count[length]; ++k) {
      const auto entry = static_cast<std::uint16_t>(table.Symbols[table.Start[length] + k] << LengthFieldBits | length);
      const std::uint32_t first = (table.First[length] + k) << spread;
      std::fill_n(table.Fast.begin() + first, std::size_t{1} << spread, entry);
    }
  }
  return true;
}

TCodecStatus TBunzip2er::Run() {
  for (bool first = true;; first = false) {
    // Streams written one after another (parallel compressors do) decode as one.
    if (!first && !FBits.MoreInput()) break;
    const int level = ReadStreamHeader();
    if (level < 0 && !first) break;  // what follows is no stream: left to the entry's CRC
    if (level <= 0) return TCodecStatus::DamagedData;
    if (!TakeMemory(static_cast<unsigned>(level))) return TCodecStatus::OutOfMemory;
    const TCodecStatus status = ReadStream();
    if (status != TCodecStatus::Ok) return status;
  }
  FFrame.FlushOutput();
  return TCodecStatus::Ok;
}

int TBunzip2er::ReadStreamHeader() {
  for (const std::uint8_t expected : StreamSignature) {
    if (FBits.Get(8) != expected) return -1;
  }
  const std::uint32_t level = FBits.Get(8);
  return level >= FirstLevel && level <= LastLevel ? static_cast<int>(level - FirstLevel + 1) : 0;
}

// The buffer is taken again for each stream: a later stream may have a higher level. Nothing in
// it outlives a block, so a larger buffer that replaces it loses nothing.
bool TBunzip2er::TakeMemory(unsigned level) {
  std::uint8_t* const memory = FFrame.DecoderBuffer(Bunzip2Memory(level));
  if (memory == nullptr) {
    FFrame.TableMemory().OutOfMemory();
    return false;
  }
  // Plain arrays: nothing to construct, and each is written before it is read.
  FTables = new (memory) TBlockTables;
  FVector = reinterpret_cast<std::uint32_t*>(memory + sizeof(TBlockTables));
  FBlockLimit = level * BlockSizeUnit;
  return true;
}

TCodecStatus TBunzip2er::ReadStream() {
  std::uint32_t combinedCrc = 0;
  for (;;) {
    const std::uint64_t high = FBits.Get(MagicBits / 2);
    const std::uint64_t magic = high << (MagicBits / 2) | FBits.Get(MagicBits / 2);
    if (magic == BlockMagic) {
      std::uint32_t blockCrc = 0;
      const TCodecStatus status = ReadBlock(blockCrc);
      if (status != TCodecStatus::Ok) return status;
      combinedCrc = (combinedCrc << 1 | combinedCrc >> 31) ^ blockCrc;
    } else if (magic == EndOfStreamMagic) {
      const std::uint32_t storedCrc = FBits.Get(CrcBits);
      if (FBits.PastEnd() || storedCrc != combinedCrc) return TCodecStatus::DamagedData;
      FBits.AlignToByte();
      return TCodecStatus::Ok;
    } else {
      return TCodecStatus::DamagedData;
    }
  }
}

TCodecStatus TBunzip2er::ReadBlock(std::uint32_t& blockCrc) {
  const std::uint32_t storedCrc = FBits.Get(CrcBits);
  // Randomised blocks date from before bzip2 0.9.5 and need a table of pseudo-random numbers
  // that no description of the format at hand gives; they are refused rather than guessed at.
  if (FBits.Get(RandomisedBits) != 0) return TCodecStatus::DamagedData;
  const std::uint32_t origPtr = FBits.Get(OrigPtrBits);
  if (!ReadUsedBytes() || !ReadSelectors() || !ReadTables() || FBits.PastEnd()) return TCodecStatus::DamagedData;
  std::uint32_t length = 0;
  const TCodecStatus status = ReadSymbols(length);
  if (status != TCodecStatus::Ok) return status;
  if (origPtr >= length || FBits.PastEnd()) return TCodecStatus::DamagedData;
  std::uint32_t crc = 0;
  if (!WriteBlock(origPtr, length, crc) || crc != storedCrc) return TCodecStatus::DamagedData;
  blockCrc = storedCrc;
  return TCodecStatus::Ok;
}

bool TBunzip2er::ReadUsedBytes() {
  const std::uint32_t ranges = FBits.Get(MapRanges);
  FUsedCount = 0;
  for (unsigned range = 0; range < MapRanges; ++range) {
    if ((ranges >> (MapRanges - 1 - range) & 1) == 0) continue;
    const std::uint32_t bytes = FBits.Get(RangeBytes);
    for (unsigned b = 0; b < RangeBytes; ++b) {
      if ((bytes >> (RangeBytes - 1 - b) & 1) != 0) {
        FTables->UsedBytes[FUsedCount++] = static_cast<std::uint8_t>(range * RangeBytes + b);
      }
    }
  }
  return FUsedCount > 0;
}

bool TBunzip2er::ReadSelectors() {
  FGroups = FBits.Get(GroupCountBits);
  const std::uint32_t count = FBits.Get(SelectorCountBits);
  if (FGroups < MinGroups || FGroups > MaxGroups || count == 0) return false;
  // Selectors beyond what the largest block can use are read and dropped: the field allows
  // them, and a block that would need them is too long anyway.
  FSelectorCount = std::min<std::uint32_t>(count, MaxSelectors);
  std::array<std::uint8_t, MaxGroups> order = {0, 1, 2, 3, 4, 5};
  for (std::uint32_t i = 0; i < count; ++i) {
    unsigned index = 0;
    while (FBits.Get(1) != 0) {
      if (++index >= FGroups) return false;
    }
    const std::uint8_t group = order[index];
    std::copy_backward(order.begin(), order.begin() + index, order.begin() + index + 1);
    order[0] = group;
    if (i < MaxSelectors) FTables->Selectors[i] = group;
  }
  return true;
}

bool TBunzip2er::ReadTables() {
  const unsigned alphabet = FUsedCount + 2;  // RUNA, RUNB, indexes 1 .. used - 1, end of block
  std::array<std::uint8_t, MaxAlphabet> lengths{};
  for (unsigned group = 0; group < FGroups; ++group) {
    unsigned length = FBits.Get(StartLengthBits);
    for (unsigned s = 0; s < alphabet; ++s) {
      for (;;) {
        // Checked before each step, so no walk leaves the range, however long it is.
        if (length < MinCodeLength || length > MaxCodeLength) return false;
        if (FBits.Get(1) == 0) break;
        length = FBits.Get(1) != 0 ? length - 1 : length + 1;
      }
      lengths[s] = static_cast<std::uint8_t>(length);
    }
    if (!BuildTable(lengths.data(), alphabet, FTables->Tables[group])) return false;
  }
  return true;
}

inline bool TBunzip2er::DecodeSymbol(const THuffmanTable& table, unsigned& symbol) {
  FBits.Ensure(MaxCodeLength);
  const std::uint32_t bits = FBits.Peek(MaxCodeLength);
  const std::uint16_t fast = table.Fast[bits >> (MaxCodeLength - FastBits)];
  if (fast != 0) {
    FBits.Drop(fast & ((1u << LengthFieldBits) - 1));
    symbol = fast >> LengthFieldBits;
    return true;
  }
  // A code of length n lies in [First[n], First[n] + Count[n]); a smaller n-bit value would
  // begin with a shorter code, which the look-up above has found.
  for (unsigned length = FastBits + 1; length <= MaxCodeLength; ++length) {
    const std::uint32_t offset = (bits >> (MaxCodeLength - length)) - table.First[length];
    if (offset < table.Count[length]) {
      FBits.Drop(length);
      symbol = table.Symbols[table.Start[length] + offset];
      return true;
    }
  }
  return false;
}

// Decodes the block's symbols into the vector: the move-to-front indexes become bytes, the runs
// of RUNA and RUNB copies of the front byte. length receives the block's size.
TCodecStatus TBunzip2er::ReadSymbols(std::uint32_t& length) {
  TBlockTables& tables = *FTables;
  const unsigned endOfBlock = FUsedCount + 1;
  std::array<std::uint8_t, 256> front;
  std::copy_n(tables.UsedBytes.begin(), FUsedCount, front.begin());
  tables.ByteCounts.fill(0);
  std::uint32_t* const vector = FVector;
  const std::uint32_t limit = FBlockLimit;
  std::uint32_t size = 0;
  std::uint32_t run = 0;
  std::uint32_t weight = 1;  // of the next RUNA (RUNB counts twice as much)
  unsigned selector = 0;
  unsigned groupLeft = 0;
  const THuffmanTable* table = nullptr;
  for (;;) {
    if (groupLeft == 0) {
      if (selector >= FSelectorCount || FBits.PastEnd()) return TCodecStatus::DamagedData;
      table = &tables.Tables[tables.Selectors[selector++]];
      groupLeft = GroupSymbols;
    }
    --groupLeft;
    unsigned symbol = 0;
    if (!DecodeSymbol(*table, symbol)) return TCodecStatus::DamagedData;
    if (symbol <= RunB) {
      // A run is at least its last weight long: beyond the limit it could not fit, and the
      // check keeps the sum far from overflowing.
      if (weight > limit) return TCodecStatus::DamagedData;
      run += weight << symbol;
      weight <<= 1;
      continue;
    }
    if (run != 0) {
      if (run > limit - size) return TCodecStatus::DamagedData;
      const std::uint8_t b = front[0];
      tables.ByteCounts[b] += run;
      std::fill_n(vector + size, run, b);
      size += run;
      run = 0;
      weight = 1;
    }
    if (symbol == endOfBlock) break;
    if (size == limit) return TCodecStatus::DamagedData;
    // symbol - 1 is an index below the used count: the table has no symbol past the end.
    const unsigned index = symbol - 1;
    const std::uint8_t b = front[index];
    std::memmove(front.data() + 1, front.data(), index);
    front[0] = b;
    ++tables.ByteCounts[b];
    vector[size++] = b;
  }
  length = size;
  return TCodecStatus::Ok;
}

// Undoes the transform and the final runs into the frame's output block. The vector holds the
// last column of the sorted rotations; each byte gets the link to its successor in the text
// above its 8 bits (the block has fewer than 2^24 bytes). crc receives the block's CRC; false
// when the frame's output limit was passed.
bool TBunzip2er::WriteBlock(std::uint32_t origPtr, std::uint32_t length, std::uint32_t& crc) {
  std::uint32_t* const vector = FVector;
  std::array<std::uint32_t, 256> next;  // where each byte's next row in the first column is
  std::uint32_t sum = 0;
  for (unsigned b = 0; b < 256; ++b) {
    next[b] = sum;
    sum += FTables->ByteCounts[b];
  }
  for (std::uint32_t i = 0; i < length; ++i) {
    vector[next[vector[i] & 0xFF]++] |= i << 8;
  }

  std::uint8_t* const out = FFrame.OutputBuffer();
  std::size_t used = FFrame.OutputCount();
  std::size_t checked = used;  // the bytes before are not the block's, or in the CRC already
  std::uint32_t reg = Bzip2CrcInitial;
  auto passOn = [&]() {
    reg = UpdateBzip2Crc(reg, out + checked, used - checked);
    FFrame.SetOutputCount(used);
    FFrame.FlushOutput();
    used = 0;
    checked = 0;
    return !FFrame.Overran();
  };

  std::uint32_t position = vector[origPtr] >> 8;
  unsigned last = 256;  // no byte yet
  unsigned repeats = 0;
  for (std::uint32_t k = 0; k < length; ++k) {
    const std::uint32_t entry = vector[position];
    position = entry >> 8;
    const auto b = static_cast<std::uint8_t>(entry);
    if (repeats == RunLeadBytes) {
      // b counts further copies of the four bytes before.
      for (std::size_t copies = b; copies > 0;) {
        const std::size_t piece = std::min(copies, IoBlockSize - used);
        std::memset(out + used, static_cast<int>(last), piece);
        used += piece;
        copies -= piece;
        if (used == IoBlockSize && !passOn()) return false;
      }
      repeats = 0;
      continue;
    }
    repeats = b == last ? repeats + 1 : 1;
    last = b;
    out[used++] = b;
    if (used == IoBlockSize && !passOn()) return false;
  }
  reg = UpdateBzip2Crc(reg, out + checked, used - checked);
  FFrame.SetOutputCount(used);
  crc = ~reg;
  return true;
}

}  // namespace

std::size_t Bunzip2Memory(unsigned level) noexcept {
  level = std::clamp(level, 1u, static_cast<unsigned>(LastLevel - FirstLevel + 1));
  return sizeof(TBlockTables) + std::size_t{level} * BlockSizeUnit * sizeof(std::uint32_t);
}

std::uint32_t UpdateBzip2Crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) noexcept {
  for (std::size_t i = 0; i < size; ++i) crc = crc << 8 ^ Bzip2CrcTable[(crc >> 24 ^ data[i]) & 0xFFu];
  return crc;
}

TCodecStatus Bunzip2(TUnzipFrame& frame) {
  TBunzip2er decoder(frame);
  return decoder.Run();
}

}  // namespace qel::codecs
