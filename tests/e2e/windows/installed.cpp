// Files, registry and shell links through the Win32 API, independent of the program under test.
#include "installed.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>

namespace qel::e2e {

namespace {

HKEY Root(THive hive) { return hive == THive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

class TKey final {
 public:
  TKey(THive hive, const std::string& path) {
    if (RegOpenKeyExA(Root(hive), path.c_str(), 0, KEY_READ, &FKey) != ERROR_SUCCESS) FKey = nullptr;
  }
  ~TKey() {
    if (FKey != nullptr) RegCloseKey(FKey);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  HKEY Get() const { return FKey; }

 private:
  HKEY FKey = nullptr;
};

// Releases a COM interface however the reading ends.
template <class TInterface>
class TComPointer final {
 public:
  TComPointer() = default;
  ~TComPointer() {
    if (FPointer != nullptr) FPointer->Release();
  }
  TComPointer(const TComPointer&) = delete;
  TComPointer& operator=(const TComPointer&) = delete;
  TInterface* operator->() const { return FPointer; }
  void** Out() { return reinterpret_cast<void**>(&FPointer); }
  explicit operator bool() const { return FPointer != nullptr; }

 private:
  TInterface* FPointer = nullptr;
};

std::wstring Wide(const std::string& text) {
  const int count = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), count);
  return wide;
}

}  // namespace

std::optional<std::string> RegistryString(THive hive, const std::string& key, const std::string& value) {
  TKey opened(hive, key);
  if (opened.Get() == nullptr) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(opened.Get(), value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return std::nullopt;
  }
  std::string data(size, '\0');
  if (RegQueryValueExA(opened.Get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(size);
  while (!data.empty() && data.back() == '\0') data.pop_back();
  return data;
}

bool RegistryKeyExists(THive hive, const std::string& key) { return TKey(hive, key).Get() != nullptr; }

// COM on the calling thread for as long as one reading takes.
class TComSession final {
 public:
  TComSession() : FStarted(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComSession() {
    if (FStarted) CoUninitialize();
  }
  TComSession(const TComSession&) = delete;
  TComSession& operator=(const TComSession&) = delete;

 private:
  bool FStarted;
};

std::optional<TShellLinkFields> LoadShellLink(const std::string& linkFile) {
  TComSession com;
  TComPointer<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out()))) {
    return std::nullopt;
  }
  TComPointer<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out())) ||
      FAILED(file->Load(Wide(linkFile).c_str(), STGM_READ))) {
    return std::nullopt;
  }
  char buffer[MAX_PATH] = {};
  TShellLinkFields fields;
  if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) fields.Target = buffer;
  buffer[0] = '\0';
  if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH))) fields.Arguments = buffer;
  buffer[0] = '\0';
  if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) fields.WorkingDirectory = buffer;
  return fields;
}

std::string ProgramsFolder() {
  char path[MAX_PATH] = {};
  return SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK ? path : "";
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return static_cast<bool>(out);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

int IconCount(const std::string& program) {
  return static_cast<int>(ExtractIconExA(program.c_str(), -1, nullptr, nullptr, 0));
}

std::string ManifestOf(const std::string& program) {
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {};
  std::string manifest;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); found != nullptr) {
    if (HGLOBAL loaded = LoadResource(module, found); loaded != nullptr) {
      manifest.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }
  }
  FreeLibrary(module);
  return manifest;
}

std::string VersionValue(const std::string& program, const std::string& name) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
  if (size == 0) return {};
  std::string block(size, '\0');
  if (!GetFileVersionInfoA(program.c_str(), 0, size, block.data())) return {};
  struct TTranslation {
    WORD Language;
    WORD CodePage;
  };
  TTranslation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(TTranslation)) {
    return {};
  }
  char query[128] = {};
  wsprintfA(query, "\\StringFileInfo\\%04x%04x\\%s", translation->Language, translation->CodePage, name.c_str());
  char* value = nullptr;
  if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &length) || value == nullptr) return {};
  return value;
}

}  // namespace qel::e2e
