// The command line of qelunzip, read as unzip reads its own: options anywhere, the first other
// word the archive, the rest masks, and the words after -x masks of entries to leave out.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qel::tools {

enum class TAction { Extract, List, ListVerbose, NamesOnly, Test, Pipe, Comment, Help, Version };
enum class TOverwrite { Ask, Always, Never };
// -u takes entries newer than their file or without one, -f only those newer than their file.
enum class TUpdate { All, NewerOrMissing, NewerExisting };

// The exit statuses, with the values unzip gives the same outcomes, so that scripts written
// for unzip read them alike.
enum TExitStatus : int {
  esOk = 0,
  esWarning = 1,         // some entries were not extracted or failed their test
  esFormatError = 2,     // the archive is damaged: a directory that ends early, data cut short
  esNoArchive = 9,       // no such file, a folder, or no ZIP archive at all
  esBadCommandLine = 10,
  esNoMatch = 11,        // a mask matched no entry
  esDiskFull = 50,
  esInterrupted = 80,
  esBadPassword = 82,    // nothing came out, and only because of wrong passwords
};

struct TOptions {
  TAction Action = TAction::Extract;
  std::string Destination;  // program text; empty for the current directory
  TOverwrite Overwrite = TOverwrite::Ask;
  TUpdate Update = TUpdate::All;
  bool JunkPaths = false;
  bool IgnoreCase = false;  // masks compare letters A to Z ignoring case
  std::optional<std::string> Password;
  bool Quiet = false;
  bool Recover = false;  // a damaged archive is rebuilt from its local headers
  std::string Archive;   // program text
  // As typed: they are matched against the names as the terminal shows them.
  std::vector<std::string> Masks;
  std::vector<std::string> Excludes;
};

inline constexpr const char* Usage =
    "usage: qelunzip [-l | -v | -1 | -t | -p | -z] [-d DIR] [-o | -n] [-u | -f] [-j] [-C] [-F] [-P PASSWORD] [-q]\n"
    "                ARCHIVE[.zip] [MASK ...] [-x MASK ...]";

inline constexpr const char* Help =
    "Extracts, lists or tests the entries of a ZIP archive; options may come anywhere.\n"
    "\n"
    "  -l           list the entries\n"
    "  -v           list with method, sizes, ratio and CRC\n"
    "  -1           one path a line\n"
    "  -t           test every entry, writing nothing\n"
    "  -p           extract to standard output, without messages\n"
    "  -z           show the archive's comment\n"
    "  -d DIR       extract into DIR (else the current directory)\n"
    "  -o           overwrite existing files without asking\n"
    "  -n           never overwrite existing files\n"
    "  -u           only entries newer than their file, or without one\n"
    "  -f           only entries newer than their existing file\n"
    "  -j           drop the stored folders\n"
    "  -C           masks ignore case\n"
    "  -F           rebuild a damaged archive from its local headers\n"
    "  -P PASSWORD  the password of encrypted entries\n"
    "  -q           no progress, no line per entry\n"
    "  -x MASK ...  leave out the entries these masks match (up to the next option)\n"
    "  -h, --help   this text\n"
    "  --version    the version\n"
    "\n"
    "Masks match the whole stored path (\"/\" or \"\\\" between folders) with * ? and [...] sets.\n"
    "Exit status: 0 all right, 1 some entries failed or were skipped, 2 a damaged archive,\n"
    "9 no archive found, 10 a bad command line, 11 a mask matched nothing, 50 disk full,\n"
    "80 interrupted, 82 nothing extracted because of wrong passwords.\n";

// Parses the arguments after the program's name; an error message for a bad command line.
std::optional<std::string> ParseOptions(const std::vector<std::string>& args, TOptions& options);

}  // namespace qel::tools
