// The running program as a process: its id, waiting for another process to end, and
// starting a copy of the program from the temporary folder. A program that must outlive its
// own file (an uninstaller removing itself) is built from these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qel::platform {

// The arguments the program was started with, without the program's name, as program text
// (UTF-8). On Windows they are read from the wide command line: main's own argv holds them
// in the ANSI code page, which cannot spell every name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The command line behind the program's name as it was typed, quotes and blanks included, as
// program text: what a switch that takes the rest of the line (NSIS's "/D=dir", a folder with
// blanks and no quotes) must read. On Windows it is the wide command line itself; on POSIX,
// where the shell has already split it, the arguments joined by single blanks.
std::string CommandLineTail(int argc, char** argv);

std::uint32_t CurrentProcessId();

// Returns once the process with this id has ended; at once when no such process runs.
void WaitForProcessExit(std::uint32_t processId);

// Lets the given time pass, for a retry that waits on something outside the program.
void SleepFor(std::uint32_t milliseconds);

// A point between two steps of work that must survive being cut short. The process ends at
// once, as a crash, a kill or a power cut would, at the n-th such point when the environment
// holds QEL_STOP_AT_POINT=n: the end-to-end tests stop an install this way (everywhere in the
// POSIX stand-in, once under Wine). Without the variable nothing happens.
void StopPointForTests();

// The system's temporary folder (GetTempPath), ending in "\". In the POSIX sandbox it is
// C:\WINDOWS\Temp\ of the sandbox's machine, made when missing; the empty text when it cannot
// be had.
std::string TemporaryFolder();

// Copies the running program's file into the system's temporary folder under fileName
// (replacing an earlier copy there) and starts the copy, detached, with the parameters, a
// command line as ShellExecute takes it. The copy's full path, or the empty text when it
// could not be made or started (the last error then says why). Windows cannot delete a
// program's file while it runs, so the copy stays in the temporary folder.
// In the POSIX sandbox the temporary folder is C:\WINDOWS\Temp.
std::string StartCopyOfProgram(const std::string& fileName, const std::string& parameters);

}  // namespace qel::platform
