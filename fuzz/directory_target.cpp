// The archive component on an archive file of arbitrary bytes: open, read the directory (a
// damaged one is rebuilt from the local headers), list every entry, extract them all with
// whatever method each names.
#include <string>

#include "archive/unzip.h"
#include "base/exceptions.h"
#include "base/text.h"
#include "fuzz/fuzz_targets.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace qel::fuzz {

namespace {

bool LiesBelow(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && base::SameText(path.substr(0, folder.size()), folder);
}

void ListEntries(archive::TUnZip& zip) {
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    Require(zip.Pathname(i).empty() || zip.Pathname(i).back() == '\\', "a directory part ends in a backslash");
    static_cast<void>(zip.DateTime(i));
    static_cast<void>(zip.FileComment(i));
    static_cast<void>(zip.Entry(i).UncompressedSize);
  }
  static_cast<void>(zip.ZipComment());
}

void Extract(archive::TUnZip& zip, const std::string& destination) {
  zip.SetDestDir(destination);
  zip.SetRecreateDirs(true);
  zip.SetOverwriteMode(archive::TUZOverwriteMode::Always);
  zip.SetDoAll(true);
  const std::string below = destination + "\\";
  zip.OnStartUnZip = [&](base::TObject&, std::int32_t index, const std::string& name, bool&) {
    Require(index >= 0 && index < zip.Count(), "an extracted entry is one of the list");
    Require(LiesBelow(platform::ExpandFileName(name), below) || zip.Filename(index).empty(),
            "every file is written below the destination");
  };
  // Skipped entries are reported here rather than in message boxes.
  zip.OnSkippingFile = [](base::TObject&, archive::TSkipReason, std::int32_t) {};
  zip.UnZip();
}

void Empty(const std::string& folder) {
  std::string list = folder;
  list += '\0';
  list += '\0';
  platform::ShellFileOperation(0, platform::foDelete, list, "",
                               platform::fofNoConfirmation | platform::fofSilent | platform::fofNoErrorUI, "");
}

}  // namespace

void FuzzDirectory(const std::uint8_t* data, std::size_t size) {
  const std::string folder = ScratchFolder("directory");
  const std::string archiveName = folder + "input.zip";
  const std::string destination = folder + "out";
  WriteScratchFile(archiveName, data, size);
  {
    archive::TUnZip zip;
    zip.SetZipName(archiveName);
    zip.SetIncompleteZipMode(archive::TIncompleteZipMode::izAssumeBad);
    zip.SetDoProcessMessages(false);
    try {
      zip.OpenZip();
      ListEntries(zip);
      Extract(zip, destination);
    } catch (const base::Exception&) {
      // The archive refused itself: a reader's error, which is what damaged bytes deserve.
    }
  }
  if (platform::DirectoryExists(destination)) Empty(destination);
}

}  // namespace qel::fuzz
