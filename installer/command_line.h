// The program's command line as scripts use it: "/S" for an unattended run, "/D=dir" for the
// installation directory (last, the rest of the line, blanks and all, no quotes needed, as
// NSIS takes it), "/LOG=file" for a log of the run, and "u" for the uninstaller. Switches are
// read without regard to case; "u" exactly, so "U" installs.
#pragma once

#include <string>
#include <vector>

namespace qel::installer {

struct TCommandLine {
  bool Silent = false;
  std::string Directory;  // empty when not given
  std::string LogFile;    // as given, empty when not given
  // The rest, in their order, without the switches: the first decides the mode.
  std::vector<std::string> Arguments;

  bool Uninstall() const;
};

// arguments: the split command line (platform::ProgramArguments); tail: the same as typed
// (platform::CommandLineTail), from which "/D=" takes its folder. Nothing after "/D=" is read
// as a switch.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments, const std::string& tail);

}  // namespace qel::installer
