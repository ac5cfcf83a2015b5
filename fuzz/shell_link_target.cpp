// The .lnk reader of the stand-in on any bytes. What it reads from a link it must write into a
// link that reads back the same.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "platform/posix/shell_link_file.h"

namespace qel::fuzz {

void FuzzShellLink(const std::uint8_t* data, std::size_t size) {
  const std::string folder = ScratchFolder("shell_link");
  const std::string linkFile = folder + "input.lnk";
  WriteScratchFile(linkFile, data, size);
  platform::posix::TShellLinkFields fields;
  if (!platform::posix::ReadShellLinkFile(linkFile, fields)) return;
  const std::string bytes = platform::posix::ShellLinkBytes(fields);
  if (bytes.empty()) return;  // a field too long for the format to hold
  const std::string again = folder + "again.lnk";
  WriteScratchFile(again, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  platform::posix::TShellLinkFields reread;
  Require(platform::posix::ReadShellLinkFile(again, reread), "a written link reads back");
  Require(reread.Target == fields.Target && reread.Arguments == fields.Arguments &&
              reread.WorkingDirectory == fields.WorkingDirectory,
          "a written link says what was read");
}

}  // namespace qel::fuzz
