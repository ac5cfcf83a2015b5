// The listings of qelunzip.
#pragma once

#include <ostream>

#include "archive/unzip.h"

namespace qel::tools {

// The entry's path with "/" separators for the terminal: its Unicode name where the archive
// gives one, else its ANSI text.
std::string ConsolePath(const archive::TZipHeaderInfo& entry);

// Every entry's path with "/" separators, one a line, in the component's order.
void PrintNames(archive::TUnZip& zip, std::ostream& out);
// Size, date, time and name of every entry, then the totals; verbose adds the method,
// the compressed size, the ratio and the CRC.
void PrintListing(archive::TUnZip& zip, bool verbose, std::ostream& out);

}  // namespace qel::tools
