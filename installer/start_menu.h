// The suite's folder in the Start menu: Programs\Qel\Qel Orvane, where Programs is the
// shell's per-user programs folder, or FallbackProgramsFolder when the shell names none.
// Install and uninstall find it by the same rule, so the uninstaller removes what the
// install made.
#pragma once

#include <string>

namespace qel::installer {

std::string SuiteMenuFolder();

// The folder, created level by level where missing. Raises base::EInOutError, with the
// system's code, when a level cannot be made.
std::string CreateMenuFolder();

// Deletes the folder with everything in it, then its parent "Qel" when nothing else is
// left there. False when the suite's folder is still there afterwards.
bool RemoveMenuFolder();

}  // namespace qel::installer
