// The REGEDIT4 text of a hive: "REGEDIT4", a blank line, then one "[ROOT\path]" section
// per key with its "name"="value" lines. Strings escape backslash and quote; a dword is
// dword:xxxxxxxx; any other data is hex:bb,bb or hex(type):bb,bb, continued over lines by a
// closing backslash. Text is ANSI (Windows-1252), stored as-is, with CR LF line ends.
#include "platform/posix/registry_hive.h"

#include <algorithm>
#include <utility>

#include "platform/code_pages.h"

namespace qel::platform::posix {

namespace {

constexpr std::uint32_t StringType = 1;
constexpr std::uint32_t BinaryType = 3;
constexpr std::uint32_t DwordType = 4;
constexpr std::size_t DwordSize = 4;
constexpr std::string_view LineEnd = "\r\n";
// regedit wraps long hex data so that no line, with its "bb,\" end, passes 80 columns.
constexpr std::size_t HexLineWidth = 76;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A number of up to maxDigits hex digits, the whole of text.
bool ParseHexNumber(std::string_view text, std::size_t maxDigits, std::uint32_t& number) {
  text = Trim(text);
  if (text.empty() || text.size() > maxDigits) return false;
  number = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    number = number << 4 | static_cast<std::uint32_t>(digit);
  }
  return true;
}

// "bb,bb,..." with blanks allowed around the bytes; empty for no data.
bool ParseHexBytes(std::string_view text, std::string& bytes) {
  text = Trim(text);
  bytes.clear();
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    std::uint32_t byte = 0;
    if (!ParseHexNumber(text.substr(0, comma), 2, byte)) return false;
    bytes += static_cast<char>(byte);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return true;
}

// The quoted string at the start of text, unescaped; text is left after the closing quote.
bool ParseQuoted(std::string_view& text, std::string& value) {
  if (text.empty() || text.front() != '"') return false;
  value.clear();
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '"') {
      text.remove_prefix(i + 1);
      return true;
    }
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    value += text[i];
  }
  return false;
}

bool ParseData(std::string_view text, std::uint32_t& type, std::string& data) {
  text = Trim(text);
  if (!text.empty() && text.front() == '"') {
    type = StringType;
    return ParseQuoted(text, data) && Trim(text).empty();
  }
  if (text.substr(0, 6) == "dword:") {
    std::uint32_t number = 0;
    if (!ParseHexNumber(text.substr(6), 2 * DwordSize, number)) return false;
    type = DwordType;
    data.clear();
    for (std::size_t i = 0; i < DwordSize; ++i) data += static_cast<char>(number >> (8 * i) & 0xFF);
    return true;
  }
  if (text.substr(0, 4) == "hex:") {
    type = BinaryType;
    return ParseHexBytes(text.substr(4), data);
  }
  if (text.substr(0, 4) == "hex(") {
    const std::size_t close = text.find("):");
    return close != std::string_view::npos && ParseHexNumber(text.substr(4, close - 4), 8, type) &&
           ParseHexBytes(text.substr(close + 2), data);
  }
  return false;
}

// "name"=data or @=data; a deletion line ("name"=-) or anything unreadable is skipped.
void ParseValueLine(std::string_view line, TRegistryKeyNode& key) {
  std::string name;
  if (line.front() == '@') {
    line.remove_prefix(1);
  } else if (!ParseQuoted(line, name)) {
    return;
  }
  line = Trim(line);
  if (line.empty() || line.front() != '=') return;
  std::uint32_t type = 0;
  std::string data;
  if (ParseData(line.substr(1), type, data)) key.SetValue(name, type, std::move(data));
}

// The key a section header names, created with the keys above it; none for another root.
TRegistryKeyNode* ParseSection(std::string_view line, std::string_view rootName, TRegistryKeyNode& root) {
  // Key names may hold "]", so the header ends at the last one.
  const std::size_t close = line.rfind(']');
  if (close == std::string_view::npos) return nullptr;
  std::string_view path = line.substr(1, close - 1);
  std::size_t slash = path.find('\\');
  if (!SameTextLocale(path.substr(0, slash), rootName)) return nullptr;
  TRegistryKeyNode* key = &root;
  while (slash != std::string_view::npos) {
    path.remove_prefix(slash + 1);
    slash = path.find('\\');
    const std::string_view name = path.substr(0, slash);
    bool created = false;
    if (!name.empty()) key = &key->AddSubkey(name, created);
  }
  return key;
}

// The physical lines joined where a hex line continues over its closing backslash.
std::vector<std::string> LogicalLines(std::string_view text) {
  std::vector<std::string> lines;
  bool continues = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (continues) {
      lines.back() += line;
    } else {
      lines.emplace_back(line);
    }
    continues = !lines.back().empty() && lines.back().back() == '\\' && lines.back().front() != '[';
    if (continues) lines.back().pop_back();
  }
  return lines;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// A quoted string cannot hold a line break, and the NUL would end the string on import.
bool FitsQuoted(std::string_view data) { return data.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

void AppendHex(std::string& out, std::uint32_t type, std::string_view data) {
  constexpr char Digits[] = "0123456789abcdef";
  if (type == BinaryType) {
    out += "hex:";
  } else {
    out += "hex(";
    std::string number;
    do {
      number.insert(number.begin(), Digits[type & 0xF]);
      type >>= 4;
    } while (type != 0);
    out += number + "):";
  }
  std::size_t lineStart = out.rfind('\n') + 1;  // npos + 1 is 0: the first line
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) {
      out += ',';
      if (out.size() - lineStart >= HexLineWidth) {
        out += '\\';
        out += LineEnd;
        lineStart = out.size();
        out += "  ";
      }
    }
    const auto byte = static_cast<unsigned char>(data[i]);
    out += Digits[byte >> 4];
    out += Digits[byte & 0xF];
  }
}

void AppendValue(std::string& out, const TRegistryValue& value) {
  if (value.Name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, value.Name);
  }
  out += '=';
  if (value.Type == StringType && FitsQuoted(value.Data)) {
    AppendQuoted(out, value.Data);
  } else if (value.Type == DwordType && value.Data.size() == DwordSize) {
    std::uint32_t number = 0;
    for (std::size_t i = DwordSize; i-- > 0;) number = number << 8 | static_cast<unsigned char>(value.Data[i]);
    constexpr char Digits[] = "0123456789abcdef";
    out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out += Digits[number >> shift & 0xF];
  } else {
    AppendHex(out, value.Type, value.Data);
  }
  out += LineEnd;
}

void AppendKey(std::string& out, const TRegistryKeyNode& key, const std::string& path) {
  out += '[';
  out += path;
  out += ']';
  out += LineEnd;
  for (const TRegistryValue& value : key.Values()) AppendValue(out, value);
  out += LineEnd;
  for (std::size_t i = 0; i < key.SubkeyCount(); ++i) AppendKey(out, key.Subkey(i), path + "\\" + key.Subkey(i).Name());
}

}  // namespace

TRegistryKeyNode* TRegistryKeyNode::FindSubkey(std::string_view name) {
  for (TRegistryKeyNode& subkey : FSubkeys) {
    if (SameTextLocale(subkey.FName, name)) return &subkey;
  }
  return nullptr;
}

TRegistryKeyNode& TRegistryKeyNode::AddSubkey(std::string_view name, bool& created) {
  created = false;
  if (TRegistryKeyNode* existing = FindSubkey(name)) return *existing;
  created = true;
  const auto place = std::find_if(FSubkeys.begin(), FSubkeys.end(), [name](const TRegistryKeyNode& subkey) {
    return CompareTextLocale(subkey.FName, name) > 0;
  });
  return *FSubkeys.insert(place, TRegistryKeyNode(std::string(name)));
}

void TRegistryKeyNode::RemoveSubkey(std::string_view name) {
  std::erase_if(FSubkeys, [name](const TRegistryKeyNode& subkey) { return SameTextLocale(subkey.FName, name); });
}

const TRegistryValue* TRegistryKeyNode::FindValue(std::string_view name) const {
  for (const TRegistryValue& value : FValues) {
    if (SameTextLocale(value.Name, name)) return &value;
  }
  return nullptr;
}

void TRegistryKeyNode::SetValue(std::string_view name, std::uint32_t type, std::string data) {
  for (TRegistryValue& value : FValues) {
    if (SameTextLocale(value.Name, name)) {
      value.Type = type;
      value.Data = std::move(data);
      return;
    }
  }
  FValues.push_back({std::string(name), type, std::move(data)});
}

void ParseHive(std::string_view text, std::string_view rootName, TRegistryKeyNode& root) {
  TRegistryKeyNode* key = nullptr;
  for (const std::string& line : LogicalLines(text)) {
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      key = ParseSection(line, rootName, root);
    } else if (key != nullptr) {
      ParseValueLine(line, *key);
    }
  }
}

std::string FormatHive(const TRegistryKeyNode& root, std::string_view rootName) {
  std::string out = "REGEDIT4";
  out += LineEnd;
  out += LineEnd;
  if (!root.Values().empty()) {
    out += '[';
    out += rootName;
    out += ']';
    out += LineEnd;
    for (const TRegistryValue& value : root.Values()) AppendValue(out, value);
    out += LineEnd;
  }
  for (std::size_t i = 0; i < root.SubkeyCount(); ++i) {
    AppendKey(out, root.Subkey(i), std::string(rootName) + "\\" + root.Subkey(i).Name());
  }
  return out;
}

}  // namespace qel::platform::posix
