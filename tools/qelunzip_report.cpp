#include "tools/qelunzip_report.h"

#include <cstdio>
#include <string>

#include "archive/codecs/methods.h"
#include "archive/codecs/unzip_frame.h"
#include "archive/file_helpers.h"
#include "base/format.h"
#include "platform/console.h"

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

std::string ConsolePath(const archive::TZipHeaderInfo& entry) {
  std::string path = entry.Utf8Name.empty() ? entry.Directory() + entry.FileName() : entry.Utf8Name;
  archive::BackslashesToSlashes(path);
  return entry.Utf8Name.empty() ? platform::AnsiToConsole(path) : platform::Utf8ToConsole(path);
}

void PrintNames(archive::TUnZip& zip, std::ostream& out) {
  for (std::int32_t i = 0; i < zip.Count(); ++i) out << StoredPath(zip, i) << "\n";
}

void PrintListing(archive::TUnZip& zip, bool verbose, std::ostream& out) {
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
    const archive::TZipHeaderInfo& e = zip.Entry(i);
    total += e.UncompressedSize;
    totalCompressed += e.CompressedSize;
    if (verbose) {
      const int ratio = 100 - codecs::ProgressPercent(e.CompressedSize, e.UncompressedSize);
      std::snprintf(line, sizeof(line), "%8lld  %-7s %7lld %3d%% %s %08x  ", static_cast<long long>(e.UncompressedSize),
                    codecs::MethodName(e.CompressionMethod), static_cast<long long>(e.CompressedSize),
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
                  static_cast<int>(zip.Count()));
  } else {
    std::snprintf(line, sizeof(line), "---------                     -------\n%9lld                     %d files\n",
                  static_cast<long long>(total), static_cast<int>(zip.Count()));
  }
  out << line;
}

}  // namespace qel::tools
