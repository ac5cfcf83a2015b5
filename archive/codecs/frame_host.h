// What the decompression frame needs from the component that runs an extraction. The
// extraction driver implements it over the archive stream, the volumes, the cipher, the
// destination file and the published events; tests implement it over bytes in memory.
// Every call is made on the extracting thread; any of them may raise, and the exception
// leaves the decoder (which releases what it holds) and the frame unchanged otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qel::codecs {

class TFrameHost {
 public:
  virtual ~TFrameHost() = default;

  // Called before each chunk of compressed input is read: the driver lets the application
  // process its pending window messages when DoProcessMessages is set.
  virtual void ProcessMessages() = 0;

  // Reads up to count bytes from the current archive stream; returns how many came.
  virtual std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) = 0;

  // The current volume ended before a chunk was complete. Either make the next volume the
  // archive stream (the frame then reads the missing bytes from it, and asks again if they
  // still do not all come) or raise: EFatalUnzipError "Premature end of file reached" for a
  // single-volume archive or when no OnGetNextDisk handler is assigned; whatever loading
  // the disk raises (EUserCanceled) passes through.
  virtual void LoadNextDisk() = 0;

  // Decrypts a complete chunk of an encrypted entry in place, continuing the entry's key
  // stream. Called only for entries the driver began as encrypted.
  virtual void DecryptChunk(std::uint8_t* buffer, std::size_t count) = 0;

  // Writes a block of decompressed bytes to the destination file. The frame takes the CRC
  // over every byte given here, whatever the file accepts.
  virtual void WriteOutput(const std::uint8_t* data, std::size_t count) = 0;

  // Progress after each block written: the entry's percentage (OnFilePercentDone), then the
  // run's percentage (OnTotalPercentDone); the driver fires each event only when its handler
  // is assigned. The run's done count advances only while TracksTotalProgress is true, that
  // is while a total-progress handler is assigned, and TotalPercentDone is called only then.
  virtual void FilePercentDone(int percent) = 0;
  virtual bool TracksTotalProgress() const = 0;
  virtual void TotalPercentDone(int percent) = 0;

  // A modal message box with an OK button (the decoders' out-of-memory notice).
  virtual void ShowMessageBox(const std::string& text, const std::string& caption) = 0;
};

}  // namespace qel::codecs
