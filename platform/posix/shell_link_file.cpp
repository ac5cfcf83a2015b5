// The binary Shell Link format: the 76-byte header, optional item-ID list, link information
// and string data, then extra-data blocks ended by a terminal block. All numbers little-endian.
#include "platform/posix/shell_link_file.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/unicode_text.h"

namespace qel::platform::posix {

namespace {

constexpr std::uint32_t HeaderSize = 0x4C;
// CLSID_ShellLink, {00021401-0000-0000-C000-000000000046}, in its stored byte order: the
// first three groups little-endian, the last eight bytes as written.
constexpr std::array<std::uint8_t, 16> ShellLinkClassId = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// LinkFlags bits.
constexpr std::uint32_t HasLinkTargetIdList = 0x01;
constexpr std::uint32_t HasLinkInfo = 0x02;
constexpr std::uint32_t HasName = 0x04;
constexpr std::uint32_t HasRelativePath = 0x08;
constexpr std::uint32_t HasWorkingDir = 0x10;
constexpr std::uint32_t HasArguments = 0x20;
constexpr std::uint32_t HasIconLocation = 0x40;
constexpr std::uint32_t IsUnicode = 0x80;

constexpr std::uint32_t FileAttributeNormal = 0x80;
constexpr std::uint32_t ShowNormal = 1;  // SW_SHOWNORMAL

// LinkInfo: a header of seven 32-bit fields (0x1C bytes) when it carries no Unicode offsets;
// 0x24 and more when it does.
constexpr std::uint32_t LinkInfoHeaderSize = 0x1C;
constexpr std::uint32_t LinkInfoUnicodeHeaderSize = 0x24;
constexpr std::uint32_t VolumeIdAndLocalBasePath = 0x01;
// VolumeID: size, drive type, serial number and label offset (16 bytes), then an empty label.
constexpr std::uint32_t VolumeIdFieldsSize = 16;
constexpr std::uint32_t DriveFixed = 3;

constexpr std::size_t MaxStringCharacters = 0xFFFF;  // CountCharacters is 16 bits
// A link is a few hundred bytes; anything far larger is not one.
constexpr std::int32_t MaxLinkFileSize = 1 << 20;

void PutU16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

std::string HeaderBytes(std::uint32_t linkFlags) {
  std::string out;
  PutU32(out, HeaderSize);
  for (std::uint8_t byte : ShellLinkClassId) out += static_cast<char>(byte);
  PutU32(out, linkFlags);
  PutU32(out, FileAttributeNormal);
  out.append(3 * 8, '\0');  // creation, access and write times: unknown
  PutU32(out, 0);           // file size
  PutU32(out, 0);           // icon index
  PutU32(out, ShowNormal);
  PutU16(out, 0);           // no hot key
  out.append(2 + 4 + 4, '\0');  // reserved
  return out;
}

// UTF-8 text as UTF-16LE code units.
std::string Utf16Bytes(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    char32_t c = 0;
    if (!DecodeUtf8(text, at, c)) c = 0xFFFD;
    if (c >= 0x10000) {
      PutU16(out, 0xD800 + ((c - 0x10000) >> 10));
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
    }
    PutU16(out, c);
  }
  return out;
}

// The same text for the fields a reader of the ANSI form takes: ASCII, "?" for the rest (a
// reader that knows the Unicode form, as Windows does, uses that one).
std::string AsciiForm(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    char32_t c = 0;
    DecodeUtf8(text, at, c);
    out += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return out;
}

// The target as a local base path on a fixed volume without a label, in ANSI and in Unicode
// form; the common path suffix is empty, so the base path is the whole target.
std::string LinkInfoBytes(const std::string& target) {
  const std::string ansi = AsciiForm(target);
  const std::string wide = Utf16Bytes(target);
  const std::uint32_t volumeIdOffset = LinkInfoUnicodeHeaderSize;
  const std::uint32_t volumeIdSize = VolumeIdFieldsSize + 1;  // + the label's NUL
  const std::uint32_t localBasePathOffset = volumeIdOffset + volumeIdSize;
  const std::uint32_t commonPathSuffixOffset = localBasePathOffset + static_cast<std::uint32_t>(ansi.size()) + 1;
  const std::uint32_t localBasePathOffsetUnicode = commonPathSuffixOffset + 1;
  const std::uint32_t commonPathSuffixOffsetUnicode = localBasePathOffsetUnicode + static_cast<std::uint32_t>(wide.size()) + 2;
  const std::uint32_t linkInfoSize = commonPathSuffixOffsetUnicode + 2;
  std::string out;
  PutU32(out, linkInfoSize);
  PutU32(out, LinkInfoUnicodeHeaderSize);
  PutU32(out, VolumeIdAndLocalBasePath);
  PutU32(out, volumeIdOffset);
  PutU32(out, localBasePathOffset);
  PutU32(out, 0);  // no network location
  PutU32(out, commonPathSuffixOffset);
  PutU32(out, localBasePathOffsetUnicode);
  PutU32(out, commonPathSuffixOffsetUnicode);
  PutU32(out, volumeIdSize);
  PutU32(out, DriveFixed);
  PutU32(out, 0);                    // serial number
  PutU32(out, VolumeIdFieldsSize);  // label offset: the label follows the fields
  out += '\0';                       // the empty label
  out += ansi;
  out += '\0';
  out += '\0';  // the empty common path suffix
  out += wide;
  PutU16(out, 0);
  PutU16(out, 0);  // the empty common path suffix, in Unicode
  return out;
}

// A string of the string data, in UTF-16 as the link's IsUnicode flag says.
void PutCountedString(std::string& out, const std::string& text) {
  const std::string wide = Utf16Bytes(text);
  PutU16(out, static_cast<std::uint32_t>(wide.size() / 2));
  out += wide;
}

// Bounds-checked little-endian reads from a byte string; every read past the end fails.
class TByteReader final {
 public:
  explicit TByteReader(std::string_view bytes) : FBytes(bytes) {}

  std::size_t Position() const { return FPosition; }
  bool Skip(std::size_t count) {
    if (count > FBytes.size() - FPosition) return false;
    FPosition += count;
    return true;
  }
  std::optional<std::uint32_t> U16() { return Number(2); }
  std::optional<std::uint32_t> U32() { return Number(4); }
  std::optional<std::string_view> Bytes(std::size_t count) {
    if (count > FBytes.size() - FPosition) return std::nullopt;
    const std::string_view result = FBytes.substr(FPosition, count);
    FPosition += count;
    return result;
  }

 private:
  std::optional<std::uint32_t> Number(std::size_t size) {
    const std::optional<std::string_view> bytes = Bytes(size);
    if (!bytes) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = (value << 8) | static_cast<std::uint8_t>((*bytes)[i]);
    return value;
  }

  std::string_view FBytes;
  std::size_t FPosition = 0;
};

// UTF-16LE code units as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view units) {
  std::string utf8;
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    std::uint32_t code = static_cast<std::uint8_t>(units[i]) | (static_cast<std::uint8_t>(units[i + 1]) << 8);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < units.size()) {
      const std::uint32_t low = static_cast<std::uint8_t>(units[i + 2]) | (static_cast<std::uint8_t>(units[i + 3]) << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
    AppendUtf8(utf8, code);
  }
  return utf8;
}

// A NUL-ended string at offset of block: single bytes, or UTF-16 code units when wide.
std::optional<std::string> StringAt(std::string_view block, std::uint32_t offset, bool wide) {
  if (offset >= block.size()) return std::nullopt;
  const std::string_view rest = block.substr(offset);
  if (!wide) {
    const std::size_t end = rest.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    return AnsiToUtf8(rest.substr(0, end));
  }
  for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
    if (rest[i] == '\0' && rest[i + 1] == '\0') return Utf16ToUtf8(rest.substr(0, i));
  }
  return std::nullopt;
}

// The target the link information names: the local base path followed by the common path
// suffix, preferring the Unicode forms when the header has room for their offsets.
bool ReadLinkInfo(TByteReader& reader, std::string& target) {
  TByteReader peek = reader;
  const std::optional<std::uint32_t> size = peek.U32();
  if (!size || *size < LinkInfoHeaderSize) return false;
  // Offsets count from the start of the structure, its size field included.
  const std::optional<std::string_view> block = reader.Bytes(*size);
  if (!block) return false;
  TByteReader fields(*block);
  fields.Skip(4);  // the size, read above
  // The header's seven fields lie inside the block: its size is at least their size.
  const std::uint32_t headerSize = *fields.U32();
  const std::uint32_t flags = *fields.U32();
  fields.Skip(4);  // volume ID offset
  const std::uint32_t localBasePathOffset = *fields.U32();
  fields.Skip(4);  // network location offset
  const std::uint32_t suffixOffset = *fields.U32();
  std::optional<std::uint32_t> localBasePathOffsetUnicode;
  std::optional<std::uint32_t> suffixOffsetUnicode;
  if (headerSize >= LinkInfoUnicodeHeaderSize) {
    localBasePathOffsetUnicode = fields.U32();
    suffixOffsetUnicode = fields.U32();
  }
  target.clear();
  if ((flags & VolumeIdAndLocalBasePath) == 0) return true;  // a network location: no local path
  std::optional<std::string> base;
  std::optional<std::string> suffix;
  if (localBasePathOffsetUnicode && suffixOffsetUnicode) {
    base = StringAt(*block, *localBasePathOffsetUnicode, true);
    suffix = StringAt(*block, *suffixOffsetUnicode, true);
  } else {
    base = StringAt(*block, localBasePathOffset, false);
    suffix = StringAt(*block, suffixOffset, false);
  }
  if (!base || !suffix) return false;
  target = *base + *suffix;
  return true;
}

std::optional<std::string> ReadCountedString(TByteReader& reader, bool wide) {
  const std::optional<std::uint32_t> count = reader.U16();
  if (!count) return std::nullopt;
  const std::optional<std::string_view> bytes = reader.Bytes(*count * (wide ? 2u : 1u));
  if (!bytes) return std::nullopt;
  return wide ? Utf16ToUtf8(*bytes) : AnsiToUtf8(*bytes);
}

bool ParseShellLink(std::string_view bytes, TShellLinkFields& fields) {
  TByteReader reader(bytes);
  const std::optional<std::uint32_t> size = reader.U32();
  const std::optional<std::string_view> classId = reader.Bytes(ShellLinkClassId.size());
  const std::optional<std::uint32_t> flags = reader.U32();
  if (!size || *size != HeaderSize || !classId || !flags) return false;
  if (*classId != std::string_view(reinterpret_cast<const char*>(ShellLinkClassId.data()), ShellLinkClassId.size())) return false;
  if (!reader.Skip(HeaderSize - reader.Position())) return false;

  if ((*flags & HasLinkTargetIdList) != 0) {
    const std::optional<std::uint32_t> idListSize = reader.U16();
    if (!idListSize || !reader.Skip(*idListSize)) return false;
  }
  fields = TShellLinkFields{};
  if ((*flags & HasLinkInfo) != 0 && !ReadLinkInfo(reader, fields.Target)) return false;

  // The strings come in this fixed order, each present when its flag is set.
  const bool wide = (*flags & IsUnicode) != 0;
  const std::pair<std::uint32_t, std::string*> strings[] = {
      {HasName, nullptr}, {HasRelativePath, nullptr}, {HasWorkingDir, &fields.WorkingDirectory},
      {HasArguments, &fields.Arguments}, {HasIconLocation, nullptr}};
  for (const auto& [flag, field] : strings) {
    if ((*flags & flag) == 0) continue;
    std::optional<std::string> text = ReadCountedString(reader, wide);
    if (!text) return false;
    if (field != nullptr) *field = std::move(*text);
  }
  return true;
}

}  // namespace

std::string ShellLinkBytes(const TShellLinkFields& fields) {
  for (const std::string* text : {&fields.Target, &fields.Arguments, &fields.WorkingDirectory}) {
    if (Utf16Bytes(*text).size() / 2 > MaxStringCharacters) return {};
  }
  // The target is stored NUL-ended; an inner NUL would cut it short.
  if (fields.Target.find('\0') != std::string::npos) return {};
  std::uint32_t flags = IsUnicode;
  if (!fields.Target.empty()) flags |= HasLinkInfo;
  if (!fields.WorkingDirectory.empty()) flags |= HasWorkingDir;
  if (!fields.Arguments.empty()) flags |= HasArguments;

  std::string out = HeaderBytes(flags);
  if (!fields.Target.empty()) out += LinkInfoBytes(fields.Target);
  if (!fields.WorkingDirectory.empty()) PutCountedString(out, fields.WorkingDirectory);
  if (!fields.Arguments.empty()) PutCountedString(out, fields.Arguments);
  PutU32(out, 0);  // the terminal block: no extra data
  return out;
}

bool ReadShellLinkFile(const std::string& windowsName, TShellLinkFields& fields) {
  const FileHandle file = FileOpen(windowsName, fmOpenRead | fmShareDenyWrite);
  if (file == InvalidFileHandle) return false;
  const std::int64_t size = FileSeek(file, 0, static_cast<int>(TSeekOrigin::soEnd));
  std::string bytes;
  bool read = size >= 0 && size <= MaxLinkFileSize && FileSeek(file, 0, static_cast<int>(TSeekOrigin::soBeginning)) == 0;
  if (read) {
    bytes.resize(static_cast<std::size_t>(size));
    read = FileRead(file, bytes.data(), static_cast<std::int32_t>(size)) == size;
  }
  FileClose(file);
  return read && ParseShellLink(bytes, fields);
}

}  // namespace qel::platform::posix
