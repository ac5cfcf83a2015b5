#include "installer/command_line.h"

#include "base/text.h"
#include "installer/suite.h"

namespace qel::installer {

namespace {

constexpr const char* DirectorySwitch = "/D=";
constexpr const char* LogSwitch = "/LOG=";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && base::SameText(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The folder after "/D=" in the typed line: where the switch starts a word (a quote before it
// counts), up to the end, the blanks at the end and a pair of quotes round it dropped.
std::string DirectoryFromTail(const std::string& tail) {
  const std::string upper = base::UpperCase(tail);
  for (std::size_t at = upper.find(DirectorySwitch); at != std::string::npos; at = upper.find(DirectorySwitch, at + 1)) {
    if (at != 0 && !IsBlank(tail[at - 1]) && tail[at - 1] != '"') continue;
    std::string folder = tail.substr(at + std::string(DirectorySwitch).size());
    while (!folder.empty() && IsBlank(folder.back())) folder.pop_back();
    const bool quotedSwitch = at != 0 && tail[at - 1] == '"';
    if (quotedSwitch && !folder.empty() && folder.back() == '"') folder.pop_back();
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') folder = folder.substr(1, folder.size() - 2);
    return folder;
  }
  return {};
}

}  // namespace

bool TCommandLine::Uninstall() const { return !Arguments.empty() && Arguments.front() == UninstallArgument; }

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments, const std::string& tail) {
  TCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (StartsWith(argument, DirectorySwitch)) {
      line.Directory = DirectoryFromTail(tail);
      // A line the typed text does not show (a caller that passed its own): the words as split.
      if (line.Directory.empty()) {
        line.Directory = argument.substr(std::string(DirectorySwitch).size());
        for (std::size_t j = i + 1; j < arguments.size(); ++j) line.Directory += " " + arguments[j];
      }
      break;
    }
    if (base::SameText(argument, SilentSwitch)) {
      line.Silent = true;
    } else if (StartsWith(argument, LogSwitch)) {
      line.LogFile = argument.substr(std::string(LogSwitch).size());
    } else {
      line.Arguments.push_back(argument);
    }
  }
  return line;
}

}  // namespace qel::installer
