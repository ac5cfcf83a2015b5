// Lists an archive, extracts it with a password, and reads one entry into memory:
//   unzip_example ARCHIVE DESTINATION PASSWORD ENTRY
// On Linux the component keeps its "Windows machine" in $QEL_ROOT; CommandLineName spells
// a path of this system as the component's own text.
#include <cstdint>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <qel/archive/unzip.h>
#include <qel/platform/console.h>
#include <qel/platform/process.h>

using qel::archive::TSkipReason;
using qel::archive::TUnZip;

namespace {

// The entry's whole name in UTF-8, with "/" separators as a listing shows them.
std::string EntryName(const TUnZip& zip, std::int32_t index) {
  std::string name = zip.Utf8Pathname(index) + zip.Utf8Filename(index);
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8, the component's text, whatever the system's code page.
  const std::vector<std::string> args = qel::platform::ProgramArguments(argc, argv);
  if (args.size() != 4) {
    std::cerr << "usage: unzip_example ARCHIVE DESTINATION PASSWORD ENTRY\n";
    return 2;
  }
  try {
    TUnZip zip;
    zip.SetZipName(qel::platform::CommandLineName(args[0]));
    zip.OpenZip();
    for (std::int32_t i = 0; i < zip.Count(); ++i) {
      std::cout << zip.Entry(i).UncompressedSize << '\t' << EntryName(zip, i)
                << (zip.Entry(i).Encrypted() ? "\t(encrypted)" : "") << '\n';
    }

    // A password known beforehand; OnBadPassword would be asked only if it did not fit.
    zip.SetPassword(args[2]);
    zip.SetDestDir(qel::platform::CommandLineName(args[1]));
    zip.SetDoAll(true);
    zip.SetRecreateDirs(true);
    zip.SetOverwriteMode(qel::archive::TUZOverwriteMode::Always);
    zip.OnSkippingFile = [&zip](qel::base::TObject&, TSkipReason reason, std::int32_t index) {
      std::cout << "skipped " << EntryName(zip, index) << ": " << qel::archive::SkipReasonText(reason) << '\n';
    };
    std::cout << "extracted " << zip.UnZip() << " of " << zip.Count() << '\n';

    for (std::int32_t i = 0; i < zip.Count(); ++i) {
      if (EntryName(zip, i) != args[3]) continue;
      // Checked like a file (CRC, size, password); raises EUnzipEntryError when it is not right.
      const std::vector<std::uint8_t> bytes = zip.UnZipToMemory(i);
      std::cout << args[3] << " in memory: " << std::string(bytes.begin(), bytes.end()) << '\n';
    }
  } catch (const std::exception& error) {
    std::cerr << "unzip_example: " << qel::platform::TextToConsole(error.what()) << '\n';
    return 1;
  }
  return 0;
}
