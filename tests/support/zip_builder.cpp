#include "zip_builder.h"

#include <array>

#include "base/stream.h"

namespace qel::testing {

namespace {

constexpr std::uint32_t LocalSignature = 0x04034B50;
constexpr std::uint32_t CentralSignature = 0x02014B50;
constexpr std::uint32_t EndSignature = 0x06054B50;
constexpr std::uint32_t DescriptorSignature = 0x08074B50;

// The 256 remainders of the reflected polynomial, indexed by the low byte of the register.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr auto CrcTable = MakeCrcTable();

void PutBytes(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
void PutText(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

const Bytes& StoredBytes(const ZipEntry& entry) { return entry.Compressed ? *entry.Compressed : entry.Data; }
std::uint32_t EntryCrc(const ZipEntry& entry) { return entry.Crc ? *entry.Crc : Crc32(entry.Data); }
std::uint32_t EntryUncompressedSize(const ZipEntry& entry) {
  return entry.UncompressedSize ? *entry.UncompressedSize : static_cast<std::uint32_t>(entry.Data.size());
}
std::uint16_t EntryFlags(const ZipEntry& entry) {
  return static_cast<std::uint16_t>(entry.DataDescriptor ? entry.Flags | 0x0008 : entry.Flags);
}

}  // namespace

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = CrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

void PutLe16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(Bytes& out, std::uint32_t value) {
  PutLe16(out, static_cast<std::uint16_t>(value));
  PutLe16(out, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
  const auto date = static_cast<std::uint32_t>((year - 1980) * 512 + month * 32 + day);
  const auto time = static_cast<std::uint32_t>(hour * 2048 + minute * 32 + second / 2);
  return (date << 16) | time;
}

Bytes LocalHeaderBytes(const ZipEntry& entry) {
  const bool zeroSizes = entry.DataDescriptor && !entry.LocalSizesWithDescriptor;
  Bytes out;
  PutLe32(out, LocalSignature);
  PutLe16(out, entry.VersionNeeded);
  PutLe16(out, EntryFlags(entry));
  PutLe16(out, entry.Method);
  PutLe32(out, entry.DosDate);
  PutLe32(out, zeroSizes ? 0 : EntryCrc(entry));
  PutLe32(out, zeroSizes ? 0 : static_cast<std::uint32_t>(StoredBytes(entry).size()));
  PutLe32(out, zeroSizes ? 0 : EntryUncompressedSize(entry));
  PutLe16(out, static_cast<std::uint16_t>(entry.Name.size()));
  PutLe16(out, static_cast<std::uint16_t>(entry.LocalExtra.size()));
  PutText(out, entry.Name);
  PutBytes(out, entry.LocalExtra);
  return out;
}

Bytes CentralHeaderBytes(const ZipEntry& entry, std::uint32_t localHeaderOffset) {
  Bytes out;
  PutLe32(out, CentralSignature);
  PutLe16(out, entry.VersionMadeBy);
  PutLe16(out, entry.VersionNeeded);
  PutLe16(out, EntryFlags(entry));
  PutLe16(out, entry.Method);
  PutLe32(out, entry.DosDate);
  PutLe32(out, EntryCrc(entry));
  PutLe32(out, static_cast<std::uint32_t>(StoredBytes(entry).size()));
  PutLe32(out, EntryUncompressedSize(entry));
  PutLe16(out, static_cast<std::uint16_t>(entry.Name.size()));
  PutLe16(out, static_cast<std::uint16_t>(entry.CentralExtra.size()));
  PutLe16(out, static_cast<std::uint16_t>(entry.Comment.size()));
  PutLe16(out, entry.DiskNumberStart);
  PutLe16(out, entry.InternalAttributes);
  PutLe32(out, entry.ExternalAttributes);
  PutLe32(out, localHeaderOffset);
  PutText(out, entry.Name);
  PutBytes(out, entry.CentralExtra);
  PutText(out, entry.Comment);
  return out;
}

ZipBuilder& ZipBuilder::Add(ZipEntry entry) {
  FEntries.push_back(std::move(entry));
  return *this;
}

ZipBuilder& ZipBuilder::AddStored(std::string name, std::string_view data) {
  ZipEntry entry;
  entry.Name = std::move(name);
  entry.Data = ToBytes(data);
  return Add(std::move(entry));
}

Bytes ZipBuilder::Build(ZipLayout* layout) const {
  ZipLayout where;
  Bytes out = Prefix;
  // Offsets as recorded: counted from the prefix's start, or from the first local header.
  const std::int64_t base = OffsetsIncludePrefix ? 0 : static_cast<std::int64_t>(Prefix.size());
  std::vector<std::uint32_t> recorded;

  for (const ZipEntry& entry : FEntries) {
    where.LocalHeaderOffsets.push_back(static_cast<std::uint32_t>(out.size()));
    recorded.push_back(static_cast<std::uint32_t>(static_cast<std::int64_t>(out.size()) - base + entry.LocalOffsetDelta));
    PutBytes(out, LocalHeaderBytes(entry));
    PutBytes(out, StoredBytes(entry));
    if (entry.DataDescriptor) {
      PutLe32(out, DescriptorSignature);
      PutLe32(out, EntryCrc(entry));
      PutLe32(out, static_cast<std::uint32_t>(StoredBytes(entry).size()));
      PutLe32(out, EntryUncompressedSize(entry));
    }
  }

  where.CentralDirOffset = static_cast<std::uint32_t>(out.size());
  if (!OmitCentralDirectory) {
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
      where.CentralHeaderOffsets.push_back(static_cast<std::uint32_t>(out.size()));
      PutBytes(out, CentralHeaderBytes(FEntries[i], recorded[i]));
    }
  }
  where.CentralDirSize = static_cast<std::uint32_t>(out.size() - where.CentralDirOffset);

  where.EndRecordOffset = static_cast<std::uint32_t>(out.size());
  if (!OmitEndRecord) {
    const auto count = static_cast<std::uint16_t>(FEntries.size());
    PutLe32(out, EndSignature);
    PutLe16(out, ThisDisk.value_or(0));
    PutLe16(out, CentralStartDisk.value_or(0));
    PutLe16(out, EntriesThisDisk.value_or(count));
    PutLe16(out, TotalEntries.value_or(count));
    PutLe32(out, where.CentralDirSize);
    PutLe32(out, static_cast<std::uint32_t>(static_cast<std::int64_t>(where.CentralDirOffset) - base + CentralDirOffsetDelta));
    PutLe16(out, ZipCommentLength.value_or(static_cast<std::uint16_t>(ArchiveComment.size())));
    PutText(out, ArchiveComment);
  }

  if (TruncateTo && *TruncateTo < out.size()) out.resize(*TruncateTo);
  if (layout != nullptr) *layout = where;
  return out;
}

void ZipBuilder::WriteToFile(const std::string& fileName) const {
  const Bytes bytes = Build();
  base::TFileStream file(fileName, base::fmCreate);
  file.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

}  // namespace qel::testing
