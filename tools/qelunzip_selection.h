// Which entries a run of qelunzip takes. The masks of the command line are matched as unzip
// matches them, on the whole stored path as the terminal shows it, letter case counting unless
// -C; the component's own masks work otherwise (on the file name alone, ignoring case), so
// the choice is made here and handed to the component as names it cannot take otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/unzip.h"
#include "tools/qelunzip_options.h"

namespace qel::tools {

// True when the mask matches the whole name. "*" matches any run of characters ("/" too),
// "?" one character, "[...]" one character of a set (ranges "a-z"; "!" or "^" first negates;
// a "]" first is a member). A "[" that opens no closed set is an ordinary character. "\" in a
// mask is a folder separator, as "/" is. ignoreCase folds the letters A to Z. The work is
// bounded by length(mask) x length(name) steps.
bool MaskMatches(std::string_view mask, std::string_view name, bool ignoreCase);

class TSelection final {
 public:
  // The entries of the archive the component has read: every one when no mask is given, else
  // those an include mask matches; never one an exclude mask matches.
  TSelection(const archive::TUnZip& zip, const TOptions& options);

  bool Chosen(std::int32_t index) const { return FChosen[static_cast<std::size_t>(index)]; }
  void Drop(std::int32_t index);
  std::int32_t Count() const { return FCount; }
  // The include masks that matched no entry, as typed.
  const std::vector<std::string>& Unmatched() const { return FUnmatched; }

  // Sets the component's FilesList and DoAll so that it takes the chosen entries. It compares
  // names ignoring case, so it may also take an entry whose path differs from a chosen one's
  // only in case (or in letters its code page cannot spell); the run leaves those by Chosen.
  void HandTo(archive::TUnZip& zip) const;

 private:
  bool ComponentWouldTakeExactly(const archive::TUnZip& zip, const std::vector<std::string>& masks) const;
  std::vector<std::string> ComponentMasks(const archive::TUnZip& zip) const;

  std::vector<bool> FChosen;
  std::int32_t FCount = 0;
  std::vector<std::string> FUnmatched;
  std::vector<std::string> FMasksAsProgramText;  // the include masks, ANSI with "\" separators
  bool FRecreateDirs = true;
};

}  // namespace qel::tools
