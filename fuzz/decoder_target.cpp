// Every decoder through the decompression frame, on bytes in memory. The frame's promises are
// checked on every run: no byte read past the entry's compressed size, the CRC it reports is
// that of the bytes it wrote, every table block given back, and an entry decoded without
// error has its uncompressed size where the method stops on that size.
#include <algorithm>
#include <array>
#include <vector>

#include "archive/codecs/decode_table.h"
#include "archive/codecs/explode.h"
#include "archive/codecs/methods.h"
#include "archive/codecs/unzip_frame.h"
#include "base/exceptions.h"
#include "fuzz/fuzz_targets.h"

namespace qel::fuzz {

namespace {

struct TMethodChoice {
  codecs::TMethod Method;
  std::uint16_t Flags;
};

// Indexed by the selector byte modulo its size: every method, each variant of explode (the
// 8 KiB dictionary and the literal tree), each factor of reduce and both endings of LZMA.
constexpr std::array<TMethodChoice, 15> MethodChoices = {{
    {codecs::TMethod::Stored, 0},
    {codecs::TMethod::Shrunk, 0},
    {codecs::TMethod::Reduced1, 0},
    {codecs::TMethod::Reduced2, 0},
    {codecs::TMethod::Reduced3, 0},
    {codecs::TMethod::Reduced4, 0},
    {codecs::TMethod::Imploded, 0},
    {codecs::TMethod::Imploded, codecs::FlagImplodeLargeDictionary},
    {codecs::TMethod::Imploded, codecs::FlagImplodeLiteralTree},
    {codecs::TMethod::Imploded, codecs::FlagImplodeLargeDictionary | codecs::FlagImplodeLiteralTree},
    {codecs::TMethod::Deflated, 0},
    {codecs::TMethod::BZip2, 0},
    {codecs::TMethod::Lzma, 0},
    {codecs::TMethod::Lzma, codecs::FlagLzmaEndMarker},
    {codecs::TMethod::Deflated64, 0},
}};

constexpr std::size_t HeaderBytes = 5;
constexpr unsigned ExcessMask = 0x3F;    // bytes claimed beyond the data
constexpr unsigned TwoVolumes = 0x40;    // the data split in the middle over two volumes
constexpr unsigned Encrypted = 0x80;     // the data passes the host's decryption
// The longest match explode or unreduce copies whole past the uncompressed size.
constexpr std::int64_t LongestMatch = 320;

std::uint32_t ReferenceCrc(std::uint32_t crc, const std::uint8_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (codecs::CrcPolynomial & (0u - (crc & 1u)));
  }
  return crc;
}

class TMemoryHost final : public codecs::TFrameHost {
 public:
  std::vector<std::vector<std::uint8_t>> Volumes;
  std::size_t Volume = 0;
  std::size_t Position = 0;
  std::int64_t BytesRead = 0;
  std::int64_t BytesWritten = 0;
  std::uint32_t Crc = codecs::CrcInitial;
  std::uint8_t Key = 0;

  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    if (Volume >= Volumes.size()) return 0;
    const std::vector<std::uint8_t>& volume = Volumes[Volume];
    const std::size_t got = std::min(count, volume.size() - Position);
    std::copy_n(volume.begin() + static_cast<std::ptrdiff_t>(Position), got, buffer);
    Position += got;
    BytesRead += static_cast<std::int64_t>(got);
    return got;
  }
  void LoadNextDisk() override {
    if (Volume + 1 >= Volumes.size()) throw base::Exception("Premature end of file reached");
    ++Volume;
    Position = 0;
  }
  void DecryptChunk(std::uint8_t* buffer, std::size_t count) override {
    for (std::size_t i = 0; i < count; ++i) buffer[i] = static_cast<std::uint8_t>(buffer[i] ^ Key++);
  }
  void WriteOutput(const std::uint8_t* data, std::size_t count) override {
    Crc = ReferenceCrc(Crc, data, count);
    BytesWritten += static_cast<std::int64_t>(count);
  }
};

class TCountingTables final : public codecs::TDecodeTableMemory {
 public:
  int Live = 0;
  codecs::TDecodeEntry* Allocate(std::size_t slots) noexcept override {
    codecs::TDecodeEntry* block = TDecodeTableMemory::Allocate(slots);
    if (block != nullptr) ++Live;
    return block;
  }
  void Release(codecs::TDecodeEntry* block) noexcept override {
    if (block != nullptr) --Live;
    TDecodeTableMemory::Release(block);
  }
};

void CheckWrittenSize(const TMethodChoice& choice, codecs::TCodecStatus status, std::int64_t written,
                      std::int64_t compressed, std::int64_t uncompressed) {
  if (status != codecs::TCodecStatus::Ok) return;
  if (choice.Method == codecs::TMethod::Stored) {
    Require(written == compressed, "a stored entry is copied whole");
  } else if (choice.Method == codecs::TMethod::Lzma) {
    Require(written == uncompressed, "LZMA ends exactly at the declared size");
  } else if (choice.Method != codecs::TMethod::Shrunk && choice.Method != codecs::TMethod::Deflated &&
             choice.Method != codecs::TMethod::BZip2 && choice.Method != codecs::TMethod::Deflated64) {
    Require(written >= uncompressed && written <= uncompressed + LongestMatch,
            "explode and unreduce stop at the uncompressed size");
  }
}

}  // namespace

void FuzzDecoder(const std::uint8_t* data, std::size_t size) {
  if (size < HeaderBytes) return;
  const TMethodChoice choice = MethodChoices[data[0] % MethodChoices.size()];
  const unsigned shape = data[1];
  const std::int64_t uncompressed = data[2] | data[3] << 8 | (data[4] & 0x03) << 16;
  const std::vector<std::uint8_t> stream(data + HeaderBytes, data + size);
  const std::int64_t compressed = static_cast<std::int64_t>(stream.size() + (shape & ExcessMask));

  TMemoryHost host;
  if ((shape & TwoVolumes) != 0) {
    const auto middle = static_cast<std::ptrdiff_t>(stream.size() / 2);
    host.Volumes = {{stream.begin(), stream.begin() + middle}, {stream.begin() + middle, stream.end()}};
  } else {
    host.Volumes = {stream};
  }
  TCountingTables tables;
  codecs::TUnzipFrame frame(host);
  frame.SetTableAllocator(&tables);
  frame.BeginRun(uncompressed);
  frame.BeginEntry(compressed, uncompressed, (shape & Encrypted) != 0);
  // A bzip2 block expands to some 46 MB from a few dozen bytes; bounded as the driver bounds
  // every entry, by its declared size, the bound is fuzzed too.
  if (choice.Method == codecs::TMethod::BZip2) frame.LimitOutput(uncompressed);
  try {
    const codecs::TCodecStatus status = codecs::DecodeEntry(frame, choice.Method, choice.Flags);
    Require(host.BytesWritten == frame.BytesWritten(), "the frame counts the bytes it wrote");
    CheckWrittenSize(choice, status, frame.BytesWritten(), compressed, uncompressed);
  } catch (const base::Exception&) {
    // The data ended before the claimed size, and no volume follows.
  }
  Require(tables.Live == 0, "every table block is given back");
  Require(host.BytesRead <= compressed, "no byte is read past the entry");
  Require(host.Crc == frame.RunningCRC(), "the CRC is that of the bytes written");
}

}  // namespace qel::fuzz
