#include "installer/shortcut.h"

#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"
#include "installer/installer_errors.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace qel::installer {

namespace {
constexpr const char* LinkExtension = ".lnk";
}  // namespace

std::string LinkFileName(const std::string& linkName) {
  const std::size_t dot = linkName.rfind('.');
  const bool hasExtension = dot != std::string::npos && linkName.find_first_of("\\:", dot) == std::string::npos;
  return (hasExtension ? linkName.substr(0, dot) : linkName) + LinkExtension;
}

std::string FreeLinkFileName(const std::string& linkFile) {
  if (!platform::FileExists(linkFile)) return linkFile;
  // A name the link file was given always ends in ".lnk": the numbers go before it.
  const std::string base = linkFile.substr(0, linkFile.size() - 4);
  for (unsigned number = 1;; ++number) {
    std::string candidate = base + "(" + std::to_string(number) + ")" + LinkExtension;
    if (!platform::FileExists(candidate)) return candidate;
  }
}

std::string CreateShortcut(const std::string& target, const std::string& linkName, const std::string& arguments) {
  platform::TShellLink link;
  platform::TShellLinkFailure failure;
  if (!link.Create(failure)) {
    if (failure.InterfaceMissing) throw EIntfCastError("Interface not supported");
    throw EOleSysError(failure.SystemText + ", ClassID: " + failure.ClassId);
  }
  link.SetPath(target);
  link.SetArguments(arguments);
  link.SetWorkingDirectory(base::ExtractFilePath(target));
  const std::string linkFile = FreeLinkFileName(LinkFileName(linkName));
  if (!link.Save(linkFile)) {
    // The name was free: whatever is there now is the failed save's own.
    platform::DeleteFile(linkFile);
    throw base::EFCreateError(base::Format("Cannot create the shortcut \"%s\".", {linkFile}));
  }
  return linkFile;
}

}  // namespace qel::installer
