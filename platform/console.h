// What command-line front ends need from the system: the terminal, the program's
// arguments as the program's text, a temporary folder, and removing a folder tree.
#pragma once

#include <string>

namespace qel::platform {

bool InputIsTerminal();
bool ErrorIsTerminal();

// A name given on the command line as the program's ANSI text with "\" separators. On
// POSIX the name is a real path (UTF-8, "/"), which the stand-in sees under Z:.
std::string CommandLineNameToAnsi(const std::string& argument);
// Program text as the console shows it (UTF-8 on POSIX, unchanged on Windows).
std::string AnsiToConsole(const std::string& text);
// The same for text in UTF-8 (an archive's Unicode names).
std::string Utf8ToConsole(const std::string& text);
// A line typed on the console, as program text; false at the end of the input.
bool ReadConsoleLine(std::string& line, bool echo = true);

// The folder for temporary files, with a closing "\".
std::string TemporaryDirectory();
// The number of the running process, to make names of temporary folders unique.
unsigned long ProcessId();
// Removes a folder with everything below it; false when something could not be removed.
bool RemoveTree(const std::string& path);

}  // namespace qel::platform
