#include "tools/qelunzip_report.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/codecs/methods.h"
#include "archive/codecs/unzip_frame.h"
#include "archive/file_helpers.h"
#include "archive/stored_name.h"
#include "base/format.h"
#include "platform/console.h"
#include "platform/unicode_text.h"
#include "tools/qelunzip_selection.h"

namespace qel::tools {
namespace {

std::string StoredPath(archive::TUnZip& zip, std::int32_t i) { return ConsolePath(zip.Entry(i)); }

// "YYYY-MM-DD HH:MM" of an MS-DOS date and time, as it is stored.
std::string DosStamp(std::uint32_t dos) {
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u", 1980 + (dos >> 25), (dos >> 21) & 15u,
                (dos >> 16) & 31u, (dos >> 11) & 31u, (dos >> 5) & 63u);
  return text;
}

}  // namespace

std::string EscapeControls(const std::string& text) {
  constexpr char HexDigits[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  const auto escape = [&](std::uint8_t code) {
    shown += "\\x";
    shown += HexDigits[code >> 4];
    shown += HexDigits[code & 15];
  };
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<std::uint8_t>(text[at]);
    const std::size_t length = platform::Utf8SequenceLength(text, at);
    if (byte < 0x20 || byte == 0x7F || length == 0) {
      escape(byte);
      ++at;
    } else if (byte == 0xC2 && static_cast<std::uint8_t>(text[at + 1]) <= 0x9F) {
      escape(static_cast<std::uint8_t>(text[at + 1]));  // C2 80..C2 9F: the C1 controls
      at += 2;
    } else {
      shown.append(text, at, length);
      at += length;
    }
  }
  return shown;
}

namespace {

// Escaped before it is converted: the escapes name the bytes as the archive stores them.
std::string EntryPathForConsole(const archive::TZipHeaderInfo& entry, bool escaped) {
  std::string path = entry.Directory() + entry.FileName();
  archive::BackslashesToSlashes(path);
  if (escaped) path = EscapeControls(path);
  return platform::TextToConsole(path);
}

}  // namespace

std::string ConsolePath(const archive::TZipHeaderInfo& entry) { return EntryPathForConsole(entry, true); }
std::string ShownPath(const archive::TZipHeaderInfo& entry) { return EntryPathForConsole(entry, false); }

// Spelt first: the escapes bring backslashes of their own.
std::string ConsoleName(const std::string& path) {
  return platform::TextToConsole(EscapeControls(platform::HostPathSpelling(path)));
}

int ReportFoldersWithData(archive::TUnZip& zip, const TSelection& selection, std::ostream& out) {
  int reported = 0;
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    const archive::TZipHeaderInfo& e = zip.Entry(i);
    // The size it unpacks to, not the compressed one: writers deflate an empty folder entry
    // into two bytes, and jar files are full of them.
    if (!e.FileName().empty() || e.UncompressedSize == 0 || !selection.Chosen(i)) continue;
    out << "  failed: " << ConsolePath(e) << " (a folder entry that holds data)\n";
    ++reported;
  }
  return reported;
}

void PrintNames(archive::TUnZip& zip, const TSelection& selection, std::ostream& out) {
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    if (selection.Chosen(i)) out << StoredPath(zip, i) << "\n";
  }
}

// The method the data is compressed with; an AES entry adds the cipher's strength
// ("Defl/256"), so an encrypted entry is not shown as an unknown method 99.
std::string MethodColumn(const archive::TZipHeaderInfo& e) {
  const std::string name = codecs::MethodName(e.ActualMethod());
  if (!e.AesEncrypted()) return name;
  return name.substr(0, 4) + "/" + std::to_string(codecs::WinZipAesKeyLength(e.WinZipAes->Strength) * 8);
}

void PrintListing(archive::TUnZip& zip, const TSelection& selection, bool verbose, std::ostream& out) {
  std::int64_t total = 0;
  std::int64_t totalCompressed = 0;
  char line[320];
  if (verbose) {
    out << " Length   Method    Size  Cmpr    Date    Time   CRC-32   Name\n"
        << "--------  ------  ------- ---- ---------- ----- --------  ----\n";
  } else {
    out << "  Length      Date    Time    Name\n"
        << "---------  ---------- -----   ----\n";
  }
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    if (!selection.Chosen(i)) continue;
    const archive::TZipHeaderInfo& e = zip.Entry(i);
    total += e.UncompressedSize;
    totalCompressed += e.CompressedSize;
    if (verbose) {
      const int ratio = 100 - codecs::ProgressPercent(e.CompressedSize, e.UncompressedSize);
      std::snprintf(line, sizeof(line), "%8lld  %-7s %7lld %3d%% %s %08x  ", static_cast<long long>(e.UncompressedSize),
                    MethodColumn(e).c_str(), static_cast<long long>(e.CompressedSize),
                    e.UncompressedSize > 0 ? ratio : 0, DosStamp(e.FileDate).c_str(), e.Crc32);
    } else {
      std::snprintf(line, sizeof(line), "%9lld  %s   ", static_cast<long long>(e.UncompressedSize),
                    DosStamp(e.FileDate).c_str());
    }
    out << line << StoredPath(zip, i) << "\n";
  }
  if (verbose) {
    const int ratio = 100 - codecs::ProgressPercent(totalCompressed, total);
    std::snprintf(line, sizeof(line), "--------          -------  ---                            -------\n"
                  "%8lld         %8lld %3d%%                            %d files\n",
                  static_cast<long long>(total), static_cast<long long>(totalCompressed), total > 0 ? ratio : 0,
                  static_cast<int>(selection.Count()));
  } else {
    std::snprintf(line, sizeof(line), "---------                     -------\n%9lld                     %d files\n",
                  static_cast<long long>(total), static_cast<int>(selection.Count()));
  }
  out << line;
}

}  // namespace qel::tools
