#include "tools/qelunzip_options.h"

#include "platform/console.h"

namespace qel::tools {

std::optional<std::string> ParseOptions(const std::vector<std::string>& args, TOptions& options) {
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
    // Flags may be grouped ("-oq"); an option with a value takes the rest or the next word.
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
        case 'o': options.Overwrite = TOverwrite::Always; break;
        case 'n': options.Overwrite = TOverwrite::Never; break;
        case 'j': options.JunkPaths = true; break;
        case 'q': options.Quiet = true; break;
        case 'F': options.Recover = true; break;
        case 'd': {
          const std::optional<std::string> dir = value();
          if (!dir) return std::string("option -d needs a directory");
          options.Destination = platform::CommandLineNameToAnsi(*dir);
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
  }
  if (i >= args.size()) return std::string("no archive given");
  options.Archive = platform::CommandLineNameToAnsi(args[i++]);
  for (; i < args.size(); ++i) options.Masks.push_back(platform::CommandLineNameToAnsi(args[i]));
  return std::nullopt;
}

}  // namespace qel::tools
