// The command line of qelunzip.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qel::tools {

enum class TAction { Extract, List, ListVerbose, NamesOnly, Test };
enum class TOverwrite { Ask, Always, Never };

struct TOptions {
  TAction Action = TAction::Extract;
  std::string Destination;  // program text; empty for the current directory
  TOverwrite Overwrite = TOverwrite::Ask;
  bool JunkPaths = false;
  std::optional<std::string> Password;
  bool Quiet = false;
  bool Recover = false;  // a damaged archive is rebuilt from its local headers
  std::string Archive;
  std::vector<std::string> Masks;
};

inline constexpr const char* Usage =
    "usage: qelunzip [-l | -v | -1 | -t] [-d DIR] [-o | -n] [-j] [-F] [-P PASSWORD] [-q] ARCHIVE [MASK ...]";

// Parses the arguments after the program's name; an error message for a bad command line.
std::optional<std::string> ParseOptions(const std::vector<std::string>& args, TOptions& options);

}  // namespace qel::tools
