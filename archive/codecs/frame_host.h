// What the decompression frame needs from whoever runs an extraction, in the three roles it
// serves: the compressed input (the archive stream, its later volumes and the entry's
// decryption), the decoded output (the destination file) and the progress and notices of the
// run. The extraction driver implements them over the archive and the published events; a test
// host, a benchmark or a fuzz harness implements only what it needs, over bytes in memory.
//
// Every call is made on the extracting thread. Any of them may raise; the exception leaves the
// decoder (which releases what it holds) and the frame, whose state is otherwise unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qel::codecs {

// Where compressed bytes come from.
class TFrameInput {
 public:
  virtual ~TFrameInput() = default;

  // Reads up to count bytes from the current archive stream; returns how many came.
  virtual std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) = 0;

  // The current volume ended before a chunk was complete. Either make the next volume the
  // archive stream (the frame then reads the missing bytes from it, and asks again if they
  // still do not all come) or raise: the driver raises EFatalUnzipError "Premature end of file
  // reached" when the archive has no further volume; whatever loading a disk raises
  // (EUserCanceled) passes through.
  virtual void LoadNextDisk() = 0;

  // Decrypts a complete chunk of an encrypted entry in place, continuing the entry's key
  // stream. Called only for entries the frame was begun for as encrypted, so an input that
  // never begins one need not do anything here.
  virtual void DecryptChunk(std::uint8_t* /*buffer*/, std::size_t /*count*/) {}
};

// Where decoded bytes go.
class TFrameOutput {
 public:
  virtual ~TFrameOutput() = default;

  // Writes a block of decoded bytes to the destination. The frame takes the CRC over every
  // byte given here, whatever the destination accepts; a destination that refuses bytes raises.
  virtual void WriteOutput(const std::uint8_t* data, std::size_t count) = 0;
};

// What the run tells its user. Every call has a default that does nothing.
class TFrameProgress {
 public:
  virtual ~TFrameProgress() = default;

  // Called before each chunk of compressed input the decoders read (not by the stored copy):
  // the driver lets the application process its pending window messages when
  // DoProcessMessages is set.
  virtual void ProcessMessages() {}

  // Progress after each block written: the entry's percentage (OnFilePercentDone), then the
  // run's percentage (OnTotalPercentDone). The run's done count advances only while
  // TracksTotalProgress is true, that is while a total-progress handler is assigned, and
  // TotalPercentDone is called only then.
  virtual void FilePercentDone(int /*percent*/) {}
  virtual bool TracksTotalProgress() const { return false; }
  virtual void TotalPercentDone(int /*percent*/) {}

  // A modal message box with an OK button: the decoders' out-of-memory notice.
  virtual void ShowMessageBox(const std::string& /*text*/, const std::string& /*caption*/) {}
};

// All three roles in one object, for hosts that serve them together (the in-memory test host).
class TFrameHost : public TFrameInput, public TFrameOutput, public TFrameProgress {};

}  // namespace qel::codecs
