// The data descriptor of an entry written by a streaming writer: its CRC and sizes follow the
// data (flag bit 3), and the local header holds zeros. To rebuild such an entry from its local
// header alone, the end of its data has to be found.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "archive/zip_records.h"
#include "base/stream.h"

namespace qel::archive {

struct TDataDescriptor {
  std::uint32_t Crc32 = 0;
  TZipSize CompressedSize = 0;
  TZipSize UncompressedSize = 0;
  TZipSize End = 0;  // the position right after the descriptor
};

// Looks for the descriptor of data that starts at dataStart: a descriptor signature whose
// compressed size is exactly the distance from dataStart, or the next header of the archive
// with such a descriptor (without signature) right in front of it. Sizes of 32 and of 64 bits
// are both tried. A candidate whose size does not fit is taken for data and passed over.
// breathe is called after each block read (the window's messages). Nothing when the stream
// ends first.
std::optional<TDataDescriptor> FindDataDescriptor(base::TStream& stream, TZipSize dataStart,
                                                  const std::function<void()>& breathe);

// Reads a descriptor that stands at position (with or without its signature), as the entry's
// sizes say it must end; zip64: 64-bit sizes. The stream is left after it. Nothing when the
// bytes there are no such descriptor.
std::optional<TDataDescriptor> ReadDataDescriptorAt(base::TStream& stream, TZipSize position, bool zip64);

}  // namespace qel::archive
