// The suite's folder in the Start menu.
#pragma once

#include <string>

namespace qel::installer {

// The folder the install puts its shortcuts in, created level by level where missing:
// Programs\Qel\Qel Orvane, or FallbackProgramsFolder\Qel Orvane when the shell names no
// Programs folder. Raises base::EInOutError, with the system's code, when a level cannot be made.
std::string CreateMenuFolder();

// The folder the uninstaller removes: the per-user "Programs" shell folder from the
// registry, or FallbackProgramsFolder, followed by \Qel\Qel Orvane. Raises
// ERegistryException when the registry holds that value with another type than a string.
std::string MenuFolderToRemove();

}  // namespace qel::installer
