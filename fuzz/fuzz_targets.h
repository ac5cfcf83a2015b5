// The fuzz targets: each drives one reader of untrusted bytes with whatever bytes it is given.
// A reader may refuse its input with one of its own exceptions; a target ends normally then.
// It reports a broken promise of the reader (a result that contradicts what the reader's
// interface states) by raising TBrokenPromise, and anything worse shows as a crash or a
// sanitizer report. The libFuzzer programs and the regression test in the ordinary test build
// call the same functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qel::fuzz {

class TBrokenPromise final : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Raises TBrokenPromise with what when condition is false.
void Require(bool condition, const char* what);

using TFuzzFunction = void (*)(const std::uint8_t* data, std::size_t size);

struct TFuzzTarget {
  const char* Name;  // also the name of its folders under fuzz/corpus and fuzz/regressions
  TFuzzFunction Run;
};

// The bytes as an archive file: opened, its directory read and listed, every entry
// extracted into a scratch folder that is emptied again afterwards.
void FuzzDirectory(const std::uint8_t* data, std::size_t size);
// A decoder through the frame: the first byte selects the method (and explode's variant or
// reduce's factor), the second how far the claimed compressed size passes the data and
// whether the data is split over two volumes, the next three the uncompressed size.
void FuzzDecoder(const std::uint8_t* data, std::size_t size);
// A name mask and a name, separated by the first NUL.
void FuzzNameMask(const std::uint8_t* data, std::size_t size);
// The bytes as the uninstaller's manifest, each line taken as a path below its folder.
void FuzzManifest(const std::uint8_t* data, std::size_t size);
// The bytes as the stand-in's REGEDIT4 hive: what it reads must write back to itself.
void FuzzHive(const std::uint8_t* data, std::size_t size);
// The bytes as a .lnk file read by the stand-in: what it reads must write back to itself.
void FuzzShellLink(const std::uint8_t* data, std::size_t size);

// The targets this build has: the hive and link readers are the POSIX stand-in's own.
const std::vector<TFuzzTarget>& FuzzTargets();

// The scratch folder a target works in, "C:\fuzz\<target>\", created on first use. On the
// POSIX stand-in C: lies in the sandbox QEL_ROOT names.
std::string ScratchFolder(const std::string& target);
// Writes bytes to a file, replacing it; raises TBrokenPromise when the scratch folder refuses.
void WriteScratchFile(const std::string& fileName, const std::uint8_t* data, std::size_t size);

}  // namespace qel::fuzz
