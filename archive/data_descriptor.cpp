#include "archive/data_descriptor.h"

#include <array>
#include <vector>

namespace qel::archive {
namespace {

constexpr std::size_t SearchBlock = 65536;
constexpr std::size_t Descriptor32 = 12;  // CRC and two 32-bit sizes, without the signature
constexpr std::size_t Descriptor64 = 20;  // CRC and two 64-bit sizes

// Reads count bytes at position; false when they are not all there.
bool ReadAt(base::TStream& stream, TZipSize position, std::uint8_t* buffer, std::size_t count) {
  if (position < 0) return false;
  stream.Seek(position, 0);
  std::size_t got = 0;
  while (got < count) {
    const std::int32_t n = stream.Read(buffer + got, static_cast<std::int32_t>(count - got));
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// The descriptor body (CRC, then sizes of 32 or 64 bits) at position.
std::optional<TDataDescriptor> ReadBody(base::TStream& stream, TZipSize position, bool wide) {
  std::array<std::uint8_t, Descriptor64> body{};
  const std::size_t size = wide ? Descriptor64 : Descriptor32;
  if (!ReadAt(stream, position, body.data(), size)) return std::nullopt;
  TDataDescriptor found;
  found.Crc32 = ReadLe32(body.data());
  found.CompressedSize = wide ? ReadZipSize64(body.data() + 4) : ReadLe32(body.data() + 4);
  found.UncompressedSize = wide ? ReadZipSize64(body.data() + 12) : ReadLe32(body.data() + 8);
  found.End = position + static_cast<TZipSize>(size);
  return found;
}

// The body at position, when its compressed size says the data ran from dataStart up to
// descriptorStart.
std::optional<TDataDescriptor> BodyAt(base::TStream& stream, TZipSize position, TZipSize dataStart,
                                      TZipSize descriptorStart, bool wide) {
  std::optional<TDataDescriptor> found = ReadBody(stream, position, wide);
  if (found && found->CompressedSize != descriptorStart - dataStart) return std::nullopt;
  return found;
}

bool IsRecordSignature(std::uint32_t signature) {
  return signature == LocalHeaderSignature || signature == CentralHeaderSignature ||
         signature == EndCentralSignature || signature == Zip64EndSignature;
}

// A signature found at p: the descriptor it begins, or the one (without signature) in front
// of the record it begins.
std::optional<TDataDescriptor> CandidateAt(base::TStream& stream, TZipSize p, std::uint32_t signature,
                                           TZipSize dataStart) {
  for (const bool wide : {false, true}) {
    std::optional<TDataDescriptor> found;
    if (signature == DataDescriptorSignature) {
      found = BodyAt(stream, p + 4, dataStart, p, wide);
    } else if (IsRecordSignature(signature)) {
      const TZipSize start = p - static_cast<TZipSize>(wide ? Descriptor64 : Descriptor32);
      if (start >= dataStart) found = BodyAt(stream, start, dataStart, start, wide);
    }
    if (found) return found;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TDataDescriptor> FindDataDescriptor(base::TStream& stream, TZipSize dataStart,
                                                  const std::function<void()>& breathe) {
  std::vector<std::uint8_t> block(SearchBlock + 3);
  TZipSize blockStart = dataStart;
  for (;;) {
    stream.Seek(blockStart, 0);
    std::size_t got = 0;
    while (got < block.size()) {
      const std::int32_t n = stream.Read(block.data() + got, static_cast<std::int32_t>(block.size() - got));
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got < 4) return std::nullopt;
    if (breathe) breathe();
    // The last three bytes come again at the start of the next block, so a signature across
    // the boundary is seen there.
    for (std::size_t i = 0; i + 4 <= got; ++i) {
      if (block[i] != 'P' || block[i + 1] != 'K') continue;
      const TZipSize p = blockStart + static_cast<TZipSize>(i);
      if (std::optional<TDataDescriptor> found = CandidateAt(stream, p, ReadLe32(block.data() + i), dataStart)) {
        stream.Seek(found->End, 0);
        return found;
      }
    }
    if (got < block.size()) return std::nullopt;
    blockStart += static_cast<TZipSize>(got - 3);
  }
}

std::optional<TDataDescriptor> ReadDataDescriptorAt(base::TStream& stream, TZipSize position, bool zip64) {
  std::array<std::uint8_t, 4> signature{};
  const bool signed_ = ReadAt(stream, position, signature.data(), signature.size()) &&
                       ReadLe32(signature.data()) == DataDescriptorSignature;
  std::optional<TDataDescriptor> found = ReadBody(stream, signed_ ? position + 4 : position, zip64);
  if (found) stream.Seek(found->End, 0);
  return found;
}

}  // namespace qel::archive
