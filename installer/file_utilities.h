// The file operations the install and uninstall procedures are built from.
#pragma once

#include <cstdint>
#include <string>

namespace qel::installer {

// True when every bit of mask is set in the attributes of path. A path whose attributes
// cannot be read has all bits set, so every mask matches it.
bool HasAttr(const std::string& path, std::uint32_t mask);

// Copies the bytes of source to destination, a file path or an existing directory (the copy
// then takes the source's file name). The copy is a new file with normal attributes.
// Raises base::EFOpenError when the source cannot be opened, base::EFCreateError when the
// destination cannot be created, and base::EWriteError, naming the file and the system's
// reason, when a read or a write fails midway; the partial copy is then deleted.
void CopyFileTo(const std::string& source, const std::string& destination);

// A shell file operation on lists in the shell's form (each path ended by a NUL, one more NUL
// after the last), with the application-starting cursor while it runs. Without undo the shell
// creates folders and replaces files without asking. True when the shell reports success.
bool ShellFileOp(std::uintptr_t window, std::uint32_t operation, const std::string& from, bool allowUndo,
                 const std::string& to);

}  // namespace qel::installer
