// An ordered list of texts that can be saved to and loaded from a file or stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/object.h"

namespace qel::base {

class TStream;

class TStringList : public TPersistent {
 public:
  const char* ClassName() const noexcept override { return "TStringList"; }
  void Assign(const TPersistent& source) override;

  void Clear() { FStrings.clear(); }
  std::int32_t Add(const std::string& s);  // index of the new line
  void Delete(std::int32_t index);        // EListError "List index out of bounds (%d)"
  std::int32_t Count() const { return static_cast<std::int32_t>(FStrings.size()); }
  const std::string& Strings(std::int32_t index) const;  // EListError when out of range
  void SetStrings(std::int32_t index, const std::string& s);
  std::int32_t IndexOf(const std::string& s) const;  // case-insensitive (CompareText), -1 when absent

  // Every line followed by CR LF.
  std::string Text() const;
  // Splits at CR LF, lone CR and lone LF; a NUL ends the text.
  void SetText(const std::string& text);

  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream);  // from the current position to the end
  void SaveToFile(const std::string& fileName) const;  // creates or truncates the file
  void LoadFromFile(const std::string& fileName);

 private:
  std::vector<std::string> FStrings;
};

}  // namespace qel::base
