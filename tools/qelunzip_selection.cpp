#include "tools/qelunzip_selection.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "archive/name_mask.h"
#include "archive/stored_name.h"
#include "base/text.h"
#include "platform/console.h"
#include "platform/unicode_text.h"
#include "tools/qelunzip_report.h"

namespace qel::tools {
namespace {

constexpr std::size_t NoPosition = std::string_view::npos;

// A character is a UTF-8 sequence, or a byte that starts none.
std::size_t CharLength(std::string_view text, std::size_t at) {
  const std::size_t length = platform::Utf8SequenceLength(text, at);
  return length == 0 ? 1 : length;
}

std::string_view CharAt(std::string_view text, std::size_t at) { return text.substr(at, CharLength(text, at)); }

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool SameChar(std::string_view maskChar, std::string_view nameChar, bool ignoreCase) {
  if (maskChar == "\\") maskChar = "/";
  if (maskChar.size() != nameChar.size()) return false;
  if (ignoreCase && maskChar.size() == 1) return FoldAscii(maskChar[0]) == FoldAscii(nameChar[0]);
  return maskChar == nameChar;
}

// UTF-8 keeps the order of the code points in the order of its bytes.
bool InRange(std::string_view c, std::string_view first, std::string_view last) {
  return first.compare(c) <= 0 && c.compare(last) <= 0;
}

bool InRange(std::string_view c, std::string_view first, std::string_view last, bool ignoreCase) {
  if (InRange(c, first, last)) return true;
  if (!ignoreCase || c.size() != 1) return false;
  const char other = c[0] >= 'a' && c[0] <= 'z' ? static_cast<char>(c[0] - ('a' - 'A')) : FoldAscii(c[0]);
  return InRange(std::string_view(&other, 1), first, last);
}

// Behind the "]" of the set that opens at mask[open], or NoPosition when it is never closed.
std::size_t SetEnd(std::string_view mask, std::size_t open) {
  std::size_t at = open + 1;
  if (at < mask.size() && (mask[at] == '!' || mask[at] == '^')) ++at;
  if (at < mask.size() && mask[at] == ']') ++at;  // a "]" first is a member
  const std::size_t close = mask.find(']', at);
  return close == NoPosition ? NoPosition : close + 1;
}

// end is what SetEnd gave, so every read below stays before the closing "]".
bool SetAdmits(std::string_view mask, std::size_t open, std::size_t end, std::string_view c, bool ignoreCase) {
  std::size_t at = open + 1;
  const bool negated = mask[at] == '!' || mask[at] == '^';
  if (negated) ++at;
  const std::size_t close = end - 1;
  bool admitted = false;
  while (at < close && !admitted) {
    const std::string_view first = CharAt(mask, at);
    at += first.size();
    if (at + 1 < close && mask[at] == '-') {
      const std::string_view last = CharAt(mask, at + 1);
      at += 1 + last.size();
      admitted = InRange(c, first, last, ignoreCase);
    } else {
      admitted = SameChar(first, c, ignoreCase);
    }
  }
  return admitted != negated;
}

// The component's masks know "*", "?" and "[": each stands for itself inside a set.
std::string EscapedForComponent(std::string_view text) {
  std::string mask;
  for (const char c : text) {
    if (c == '*' || c == '?' || c == '[') {
      mask += '[';
      mask += c;
      mask += ']';
    } else {
      mask += c;
    }
  }
  return mask;
}

// The characters each position of a stored path admits (key: lowered, "\" separators).
using TPattern = std::vector<std::string>;

// Characters the component's sets take as themselves wherever they stand in one.
bool Mergeable(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x80 && std::isalnum(byte) != 0) || c == '.' || c == '_' || c == ' ';
}

std::string Signature(const TPattern& pattern, std::size_t skipped) {
  std::string signature;
  for (std::size_t p = 0; p < pattern.size(); ++p) {
    if (p == skipped) continue;
    signature += static_cast<char>(pattern[p].size());
    signature += pattern[p];
  }
  return signature;
}

// Chosen paths of one length that differ at one position only become one pattern with a set
// there; position after position, numbered names shrink to a few masks ("f0[0-9][0-9]1.txt").
// The members agree everywhere else, so a merged pattern matches their paths and no other.
std::vector<TPattern> MergedPatterns(const std::vector<std::string>& keys) {
  std::map<std::size_t, std::vector<TPattern>> byLength;
  for (const std::string& key : keys) {
    // A position is a character: the component's masks take a UTF-8 sequence as one.
    TPattern pattern;
    for (std::size_t at = 0; at < key.size(); at += CharLength(key, at)) pattern.emplace_back(CharAt(key, at));
    byLength[pattern.size()].push_back(std::move(pattern));
  }
  std::vector<TPattern> merged;
  for (auto& [length, patterns] : byLength) {
    for (std::size_t p = length; p-- > 0;) {
      std::unordered_map<std::string, std::size_t> groupAt;
      std::vector<TPattern> next;
      for (TPattern& pattern : patterns) {
        const bool mergeable = std::all_of(pattern[p].begin(), pattern[p].end(), Mergeable);
        const auto [group, added] = groupAt.try_emplace(mergeable ? Signature(pattern, p) : std::string(), next.size());
        if (!mergeable || added) {
          next.push_back(std::move(pattern));
          continue;
        }
        std::string& set = next[group->second][p];
        set += pattern[p];
        std::sort(set.begin(), set.end());
        set.erase(std::unique(set.begin(), set.end()), set.end());
      }
      patterns = std::move(next);
    }
    for (TPattern& pattern : patterns) merged.push_back(std::move(pattern));
  }
  return merged;
}

// The component compares a mask with the whole path only when the mask holds a "\", else with
// the file name in any folder. A path at the archive's root holds none, so "\", which no stored
// path starts with, joins the set of its first position. A "]" cannot be a member of the
// component's sets, and a "!" or "^" first would negate one.
std::string ComponentMask(const TPattern& pattern) {
  std::size_t anchor = std::string::npos;
  if (std::find(pattern.begin(), pattern.end(), "\\") == pattern.end()) {
    for (std::size_t p = 0; p < pattern.size() && anchor == std::string::npos; ++p) {
      if (pattern[p].find(']') == std::string::npos) anchor = p;
    }
  }
  std::string mask;
  for (std::size_t p = 0; p < pattern.size(); ++p) {
    const std::string& set = pattern[p];
    if (p == anchor) {
      mask += set[0] == '!' || set[0] == '^' ? "[\\" + set + "]" : "[" + set + "\\]";
    } else {
      mask += set.size() == 1 ? EscapedForComponent(set) : "[" + set + "]";
    }
  }
  return mask;
}

}  // namespace

bool MaskMatches(std::string_view mask, std::string_view name, bool ignoreCase) {
  std::size_t m = 0;
  std::size_t n = 0;
  // Only the latest star needs a second chance: what lies between two stars matches a fixed
  // number of characters, so an earlier star taking more only moves the later one right.
  std::size_t starMask = NoPosition;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = ++m;
      starName = n;
      continue;
    }
    if (m < mask.size()) {
      const std::string_view c = CharAt(name, n);
      const std::size_t setEnd = mask[m] == '[' ? SetEnd(mask, m) : NoPosition;
      if (mask[m] == '?') {
        ++m;
        n += c.size();
        continue;
      }
      if (setEnd != NoPosition) {
        if (SetAdmits(mask, m, setEnd, c, ignoreCase)) {
          m = setEnd;
          n += c.size();
          continue;
        }
      } else if (const std::string_view literal = CharAt(mask, m); SameChar(literal, c, ignoreCase)) {
        m += literal.size();
        n += c.size();
        continue;
      }
    }
    if (starMask == NoPosition) return false;
    starName += CharLength(name, starName);
    m = starMask;
    n = starName;
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

TSelection::TSelection(const archive::TUnZip& zip, const TOptions& options)
    : FChosen(static_cast<std::size_t>(zip.Count()), false), FRecreateDirs(!options.JunkPaths) {
  for (const std::string& mask : options.Masks) FMasksAsProgramText.push_back(platform::CommandLineName(mask));
  std::vector<bool> used(options.Masks.size(), false);
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    const std::string name = ShownPath(zip.Entry(i));
    bool chosen = options.Masks.empty();
    // Every mask is tried, so that each one that matches nothing can be named.
    for (std::size_t k = 0; k < options.Masks.size(); ++k) {
      if (MaskMatches(options.Masks[k], name, options.IgnoreCase)) chosen = used[k] = true;
    }
    for (std::size_t k = 0; k < options.Excludes.size() && chosen; ++k) {
      chosen = !MaskMatches(options.Excludes[k], name, options.IgnoreCase);
    }
    FChosen[static_cast<std::size_t>(i)] = chosen;
    FCount += chosen ? 1 : 0;
  }
  for (std::size_t k = 0; k < options.Masks.size(); ++k) {
    if (!used[k]) FUnmatched.push_back(options.Masks[k]);
  }
}

void TSelection::Drop(std::int32_t index) {
  if (!Chosen(index)) return;
  FChosen[static_cast<std::size_t>(index)] = false;
  --FCount;
}

void TSelection::HandTo(archive::TUnZip& zip) const {
  zip.FilesList().Clear();
  const bool everything = FCount == static_cast<std::int32_t>(FChosen.size());
  zip.SetDoAll(everything);
  if (everything) return;
  // The component tries every mask on every entry it does not take: the masks as typed are
  // few, and often take just the chosen entries in the component's own terms too.
  const bool typedMasksFit = ComponentWouldTakeExactly(zip, FMasksAsProgramText);
  for (const std::string& mask : typedMasksFit ? FMasksAsProgramText : ComponentMasks(zip)) zip.FilesList().Add(mask);
}

// As the component selects: a mask without "\" is matched with the file name alone, one with
// it with the whole path, both lowered. Folder entries without their folders are never taken.
bool TSelection::ComponentWouldTakeExactly(const archive::TUnZip& zip, const std::vector<std::string>& masks) const {
  if (masks.empty()) return false;
  std::vector<std::string> lowered;
  for (const std::string& mask : masks) lowered.push_back(base::LowerCase(mask));
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    const archive::TZipHeaderInfo& entry = zip.Entry(i);
    if (entry.FileName().empty() && !FRecreateDirs) continue;
    const std::string name = base::LowerCase(entry.FileName());
    const std::string path = base::LowerCase(entry.Directory() + entry.FileName());
    bool taken = false;
    for (std::size_t m = 0; m < lowered.size() && !taken; ++m) {
      taken = archive::IsMatch(lowered[m], lowered[m].find('\\') == std::string::npos ? name : path);
    }
    if (taken != Chosen(i)) return false;
  }
  return true;
}

// The component tries each mask on each entry, so the masks are kept few: a folder whose
// entries are all chosen goes as one "folder\*", the other entries by their paths, merged
// where they differ in a character or two. Paths are compared lowered, as the component
// compares them.
std::vector<std::string> TSelection::ComponentMasks(const archive::TUnZip& zip) const {
  struct TFolderCount {
    std::int32_t Entries = 0;
    std::int32_t Chosen = 0;
  };
  std::vector<std::string> keys(FChosen.size());
  std::unordered_map<std::string, TFolderCount> folders;
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    const archive::TZipHeaderInfo& entry = zip.Entry(i);
    std::string& key = keys[static_cast<std::size_t>(i)];
    key = base::LowerCase(entry.Directory() + entry.FileName());
    for (std::size_t slash = key.find('\\'); slash != std::string::npos; slash = key.find('\\', slash + 1)) {
      TFolderCount& folder = folders[key.substr(0, slash + 1)];
      ++folder.Entries;
      folder.Chosen += Chosen(i) ? 1 : 0;
    }
  }
  std::vector<std::string> masks;
  std::unordered_set<std::string> handed;
  std::vector<std::string> alone;  // chosen paths in no folder chosen whole
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    if (!Chosen(i)) continue;
    const std::string& key = keys[static_cast<std::size_t>(i)];
    std::string mask;
    for (std::size_t slash = key.find('\\'); slash != std::string::npos && mask.empty();
         slash = key.find('\\', slash + 1)) {
      const TFolderCount& folder = folders[key.substr(0, slash + 1)];
      if (folder.Entries == folder.Chosen) mask = EscapedForComponent(key.substr(0, slash + 1)) + "*";
    }
    if (mask.empty()) {
      alone.push_back(key);
    } else if (handed.insert(mask).second) {
      masks.push_back(mask);
    }
  }
  for (const TPattern& pattern : MergedPatterns(alone)) {
    std::string mask = ComponentMask(pattern);
    if (handed.insert(mask).second) masks.push_back(std::move(mask));
  }
  return masks;
}

}  // namespace qel::tools
