// File operations on full paths written in UTF-8, for the names an archive gives in Unicode that
// the ANSI code page cannot spell: each does what its ANSI namesake in files.h does. The rest
// of the program keeps its ANSI text; only where such a name is written are these used.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace qel::platform {

FileHandle FileCreateUtf8(const std::string& path);
FileHandle FileOpenUtf8(const std::string& path, std::uint32_t mode);
bool DeleteFileUtf8(const std::string& path);
bool MoveFileOverUtf8(const std::string& oldPath, const std::string& newPath);
std::uint32_t FileGetAttrUtf8(const std::string& path);
bool FileSetAttrUtf8(const std::string& path, std::uint32_t attributes);
bool ForceDirectoriesUtf8(const std::string& path);

}  // namespace qel::platform
