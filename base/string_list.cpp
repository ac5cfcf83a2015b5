// The string list: lines in memory, saved with CR LF after each and loaded from any line breaks.
#include "base/string_list.h"

#include <algorithm>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/stream.h"
#include "base/text.h"

namespace qel::base {

namespace {

[[noreturn]] void IndexError(std::int32_t index) {
  throw EListError(Format("List index out of bounds (%d)", {index}));
}

// Chunk size for loading: a stream is read to its end without trusting its size.
constexpr std::int32_t LoadChunkSize = 8192;

}  // namespace

void TStringList::Assign(const TPersistent& source) {
  if (const auto* list = dynamic_cast<const TStringList*>(&source)) {
    if (list != this) FStrings = list->FStrings;
    return;
  }
  TPersistent::Assign(source);
}

std::int32_t TStringList::Add(const std::string& s) {
  FStrings.push_back(s);
  return Count() - 1;
}

void TStringList::Delete(std::int32_t index) {
  if (index < 0 || index >= Count()) IndexError(index);
  FStrings.erase(FStrings.begin() + index);
}

const std::string& TStringList::Strings(std::int32_t index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return FStrings[static_cast<std::size_t>(index)];
}

void TStringList::SetStrings(std::int32_t index, const std::string& s) {
  if (index < 0 || index >= Count()) IndexError(index);
  FStrings[static_cast<std::size_t>(index)] = s;
}

std::int32_t TStringList::IndexOf(const std::string& s) const {
  for (std::int32_t i = 0; i < Count(); ++i) {
    if (CompareText(FStrings[static_cast<std::size_t>(i)], s) == 0) return i;
  }
  return -1;
}

std::string TStringList::Text() const {
  std::string text;
  std::size_t size = 0;
  for (const auto& s : FStrings) size += s.size() + 2;
  text.reserve(size);
  for (const auto& s : FStrings) {
    text += s;
    text += "\r\n";
  }
  return text;
}

// A line ends at CR LF, at a lone CR or at a lone LF; the text ends at its end or at a NUL.
// A last line without a break still counts; an empty text has no lines.
void TStringList::SetText(const std::string& text) {
  FStrings.clear();
  std::size_t end = text.find('\0');
  if (end == std::string::npos) end = text.size();
  std::size_t pos = 0;
  while (pos < end) {
    std::size_t start = pos;
    while (pos < end && text[pos] != '\r' && text[pos] != '\n') ++pos;
    FStrings.emplace_back(text, start, pos - start);
    if (pos < end && text[pos] == '\r') ++pos;
    if (pos < end && text[pos] == '\n') ++pos;
  }
}

void TStringList::SaveToStream(TStream& stream) const {
  std::string text = Text();
  // WriteBuffer takes 32-bit counts; a longer text goes out in pieces.
  constexpr std::size_t MaxPiece = 1 << 30;
  for (std::size_t pos = 0; pos < text.size(); pos += MaxPiece) {
    std::size_t piece = std::min(MaxPiece, text.size() - pos);
    stream.WriteBuffer(text.data() + pos, static_cast<std::int32_t>(piece));
  }
}

void TStringList::LoadFromStream(TStream& stream) {
  std::string text;
  char chunk[LoadChunkSize];
  for (;;) {
    std::int32_t n = stream.Read(chunk, LoadChunkSize);
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  SetText(text);
}

void TStringList::SaveToFile(const std::string& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

void TStringList::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, platform::fmOpenRead | platform::fmShareDenyWrite);
  LoadFromStream(stream);
}

}  // namespace qel::base
