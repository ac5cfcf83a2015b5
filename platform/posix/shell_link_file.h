// Shell links as files in the binary Shell Link format of Windows (.lnk), so the links the
// stand-in writes are real shortcuts on a Windows machine as well.
#pragma once

#include <string>

namespace qel::platform::posix {

// What a link file says, as the program's text; empty where the link holds no such field.
struct TShellLinkFields {
  std::string Target;
  std::string Arguments;
  std::string WorkingDirectory;
};

// The bytes of a link file for fields: the header, the target as the local base path of the
// link information (left out when the target is empty), then the working directory and the
// arguments (each left out when empty), all in Unicode, so any name survives. Empty when a field is too long for
// the format (over 65535 characters, or a target holding a NUL).
std::string ShellLinkBytes(const TShellLinkFields& fields);

// Reads the link file windowsName (resolved in the sandbox like every other file name). Reads
// the links Windows and Wine write too: ANSI or Unicode strings, an item-ID list before the
// link information (skipped; the target comes from the link information). False when the file
// cannot be read or is not a well-formed link.
bool ReadShellLinkFile(const std::string& windowsName, TShellLinkFields& fields);

}  // namespace qel::platform::posix
