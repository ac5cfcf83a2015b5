// The listings of qelunzip.
#pragma once

#include <ostream>
#include <string>

#include "archive/unzip.h"

namespace qel::tools {

class TSelection;

// The entry's path with "/" separators for the terminal. Control characters are shown escaped, as EscapeControls does.
std::string ConsolePath(const archive::TZipHeaderInfo& entry);
// The same before control characters are escaped: the text masks are matched against.
std::string ShownPath(const archive::TZipHeaderInfo& entry);
// A path of the program for the terminal, spelt as the host spells paths, its control
// characters escaped: for names that are not an entry's own, such as the file an overwrite
// prompt asks about, or the archive.
std::string ConsoleName(const std::string& path);

// A name's control characters (C0, DEL, and C1: U+0080..U+009F) would drive the terminal or
// forge a line of the report: each is shown as "\x" and two hex digits of its code, "\x0a"
// for a line break, "\x1b" for ESC. A byte that belongs to no well-formed UTF-8 sequence is
// shown so too.
std::string EscapeControls(const std::string& text);

// Reports as failed every chosen folder entry that holds data ("dir/" with a size): the
// component makes the folder, or leaves it out, and drops the data. Returns their number.
int ReportFoldersWithData(archive::TUnZip& zip, const TSelection& selection, std::ostream& out);

// Every chosen entry's path with "/" separators, one a line, in the component's order.
void PrintNames(archive::TUnZip& zip, const TSelection& selection, std::ostream& out);
// Size, date, time and name of every chosen entry, then the totals; verbose adds the method,
// the compressed size, the ratio and the CRC.
void PrintListing(archive::TUnZip& zip, const TSelection& selection, bool verbose, std::ostream& out);

}  // namespace qel::tools
