// The manifest "install.dat": the archive entries an install put below its directory, one
// relative path a line ("Docs\readme.txt", a directory entry as "Docs\"), CR LF after every
// line, in the archive's entry order: the paths the entries were really written to, which for
// ordinary names are the names the archive stores. UTF-8 with its byte-order mark when a name
// goes beyond ASCII; a manifest without the mark is in the ANSI code page, as earlier versions
// wrote it. The install writes it; the uninstaller reads it back.
#pragma once

#include <string>
#include <vector>

namespace qel::installer {

// One line for every path given. Raises
// base::EFCreateError when the file cannot be created, and base::EWriteError, naming the file
// and the system's reason, when the disk refuses the lines; the file is then deleted, since a
// shorter list would let the uninstaller leave files behind.
void WriteManifest(const std::vector<std::string>& paths, const std::string& fileName);

// The lines as UTF-8, split at CR LF, lone CR and lone LF; a NUL ends the text. Raises
// base::EFOpenError when the file cannot be opened.
std::vector<std::string> ReadManifest(const std::string& fileName);

}  // namespace qel::installer
