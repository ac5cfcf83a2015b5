// What command-line front ends need from the system: the terminal, the program's
// arguments as the program's text, paths spelt as the user spells them, Ctrl-C, a temporary
// folder, and removing a folder tree.
#pragma once

#include <cstddef>
#include <string>

namespace qel::platform {

bool InputIsTerminal();
bool ErrorIsTerminal();

// A name given on the command line (see ProgramArguments) as the program's text with "\"
// separators. On POSIX the name is a real path ("/"), which the stand-in sees under Z:.
std::string CommandLineName(const std::string& argument);
// Program text as the console shows it: UTF-8 on both systems; on Windows the console is set
// to show UTF-8 the first time.
std::string TextToConsole(const std::string& text);
// A line typed on the console, as program text; false at the end of the input (or when an
// interrupt broke the wait: Interrupted() tells).
bool ReadConsoleLine(std::string& line, bool echo = true);

// A path of the program as the user of this system spells it, still program text.
// On POSIX "Z:\tmp\a.txt" is "/tmp/a.txt", "..\arc\x.zip" is "../arc/x.zip", and a path on
// a drive of the sandbox is the host folder holding it; on Windows the path is unchanged.
std::string HostPathSpelling(const std::string& path);
// The same for the full paths ("X:\...") inside a message, such as an exception's text: each
// runs to a closing quote or to the end of its line.
std::string HostMessageSpelling(const std::string& text);

// From the call on, an interrupt from the keyboard (Ctrl-C) only sets the flag Interrupted()
// reports, so a run can stop between two steps and leave nothing half-written.
void CatchInterrupts();
bool Interrupted();

// Bytes to standard output exactly as given (no line-end translation); false when the output
// refuses them. Text written through std::cout must be flushed before.
bool WriteStandardOutput(const char* data, std::size_t count);

// The folder for temporary files, with a closing "\".
std::string TemporaryDirectory();
// The number of the running process, to make names of temporary folders unique.
unsigned long ProcessId();
// Removes a folder with everything below it; false when something could not be removed.
bool RemoveTree(const std::string& path);

}  // namespace qel::platform
