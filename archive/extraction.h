// One extraction run of the component: selects the entries, then writes each one below the
// destination through its method, with the overwrite policy, the password dialogue,
// attributes, time stamps and the CRC check. TUnZip::UnZip makes one run per call, and
// TUnZip::UnZipToStream and UnZipToMemory a run of one entry; nothing above the component
// uses this header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/lfn_file_stream.h"

namespace qel::base {
class TStream;
}

namespace qel::archive {

class TUnZip;

// What a run may do to its component beyond the published properties, events and entries.
class TExtractionAccess {
 public:
  // The open archive stream; LoadDisk replaces it.
  virtual TLFNFileStream& ArchiveStream() = 0;
  // The disk the archive stream stands on, counted from 0.
  virtual std::int32_t CurrentDisk() const = 0;
  // Marks the entry of the view as taking part in the run or not; the flags outlive the run.
  virtual void SetSelected(std::int32_t index, bool selected) = 0;
  // The component's one password: tried on every encrypted entry, kept between runs.
  virtual const std::string& Password() const = 0;
  virtual void SetPassword(const std::string& password) = 0;
  // The file names of the archive's volumes, as far as they are known: the one open, and for
  // a split archive read without a handler for the next disk, every part.
  virtual std::vector<std::string> VolumeNames() const = 0;

 protected:
  ~TExtractionAccess() = default;
};

// Runs the extraction of the open archive; returns the number of selected entries less those
// skipped or failed.
std::int32_t RunExtraction(TUnZip& zip, TExtractionAccess& access);

// How a run of one entry into a stream or memory ended: Extracted, or in a few words why not
// ("CRC error", the text of the skip reason, or "skipped" when a handler left it).
struct TEntryOutcome {
  bool Extracted = false;
  std::string Failure;
};
// Runs entry index of the view of the open archive into the caller's stream (from its
// position on) or onto the end of memory, as a test runs it: the same events, method, password
// dialogue, size bound and CRC check, the entry named as stored, and nothing on disk. The
// selection, DestDir and the overwrite rules play no part. A failed entry's bytes are taken
// back (TEntryOutput::Abandon).
TEntryOutcome ExtractEntry(TUnZip& zip, TExtractionAccess& access, std::int32_t index, base::TStream& out);
TEntryOutcome ExtractEntry(TUnZip& zip, TExtractionAccess& access, std::int32_t index, std::vector<std::uint8_t>& out);

}  // namespace qel::archive
