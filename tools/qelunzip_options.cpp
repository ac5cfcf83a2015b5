#include "tools/qelunzip_options.h"

#include "platform/console.h"

namespace qel::tools {
namespace {

// One word of flags ("-oq"): an option with a value takes the rest of the word or the next one.
// Returns an error message, or nothing.
std::optional<std::string> ParseFlags(const std::vector<std::string>& args, std::size_t& i, TOptions& options,
                                      bool& excluding) {
  const std::string& arg = args[i];
  excluding = false;
  for (std::size_t k = 1; k < arg.size(); ++k) {
    const char flag = arg[k];
    auto value = [&]() -> std::optional<std::string> {
      if (k + 1 < arg.size()) {
        std::string rest = arg.substr(k + 1);
        k = arg.size();
        return rest;
      }
      if (i + 1 < args.size()) {
        k = arg.size();
        return args[++i];
      }
      return std::nullopt;
    };
    switch (flag) {
      case 'l': options.Action = TAction::List; break;
      case 'v': options.Action = TAction::ListVerbose; break;
      case '1': options.Action = TAction::NamesOnly; break;
      case 't': options.Action = TAction::Test; break;
      case 'p': options.Action = TAction::Pipe; break;
      case 'z': options.Action = TAction::Comment; break;
      case 'h': options.Action = TAction::Help; break;
      case 'o': options.Overwrite = TOverwrite::Always; break;
      case 'n': options.Overwrite = TOverwrite::Never; break;
      case 'u': options.Update = TUpdate::NewerOrMissing; break;
      case 'f': options.Update = TUpdate::NewerExisting; break;
      case 'j': options.JunkPaths = true; break;
      case 'C': options.IgnoreCase = true; break;
      case 'q': options.Quiet = true; break;
      case 'F': options.Recover = true; break;
      case 'x': excluding = true; break;
      case 'd': {
        const std::optional<std::string> dir = value();
        if (!dir) return std::string("option -d needs a directory");
        options.Destination = platform::CommandLineName(*dir);
        break;
      }
      case 'P': {
        const std::optional<std::string> password = value();
        if (!password) return std::string("option -P needs a password");
        options.Password = *password;
        break;
      }
      default: return std::string("unknown option -") + flag;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseOptions(const std::vector<std::string>& args, TOptions& options) {
  if (args.empty()) {
    options.Action = TAction::Help;
    return std::nullopt;
  }
  bool archiveGiven = false;
  bool optionsEnded = false;
  bool excluding = false;  // the words after -x, up to the next option, are masks to leave out
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg == "--help") {
      options.Action = TAction::Help;
    } else if (!optionsEnded && arg == "--version") {
      options.Action = TAction::Version;
    } else if (!optionsEnded && arg.size() >= 2 && arg[0] == '-') {
      if (arg[1] == '-') return "unknown option " + arg;
      if (std::optional<std::string> error = ParseFlags(args, i, options, excluding)) return error;
    } else if (!archiveGiven) {
      options.Archive = platform::CommandLineName(arg);
      archiveGiven = true;
    } else {
      (excluding ? options.Excludes : options.Masks).push_back(arg);
    }
  }
  if (options.Action == TAction::Help || options.Action == TAction::Version) return std::nullopt;
  // As unzip does, -v without an archive asks for the version.
  if (!archiveGiven && options.Action == TAction::ListVerbose) {
    options.Action = TAction::Version;
    return std::nullopt;
  }
  if (!archiveGiven) return std::string("no archive given");
  return std::nullopt;
}

}  // namespace qel::tools
