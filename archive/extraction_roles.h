// The three roles the decompression frame asks of an extraction run, over the component: the
// archive as compressed input, the entry's file as output, the events as progress.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/codecs/frame_host.h"
#include "archive/codecs/winzip_aes.h"
#include "archive/codecs/zip_cipher.h"
#include "archive/extraction.h"
#include "archive/lfn_file_stream.h"
#include "archive/output_file.h"
#include "base/stream.h"
#include "platform/files.h"

namespace qel::archive {

// Reads the archive stream, goes on to the next disk of a multi-disk archive, and decrypts
// with the cipher of the entry in hand: the traditional one, or WinZip's AES.
class TArchiveInput final : public codecs::TFrameInput {
 public:
  TArchiveInput(TUnZip& zip, TExtractionAccess& access, codecs::TZipCipher& cipher, codecs::TWinZipAesDecryption& aes)
      : FZip(zip), FAccess(access), FCipher(cipher), FAes(aes) {}
  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override;
  // Raises EFatalUnzipError "Premature end of file reached" when no disk follows the current one.
  void LoadNextDisk() override;
  void DecryptChunk(std::uint8_t* buffer, std::size_t count) override {
    if (FUsesAes) {
      FAes.Decrypt(buffer, count);
    } else {
      FCipher.DecryptBlock(buffer, count);
    }
  }
  // Which of the two ciphers the entry in hand is encrypted with.
  void UseAes(bool aes) noexcept { FUsesAes = aes; }

 private:
  TUnZip& FZip;
  TExtractionAccess& FAccess;
  codecs::TZipCipher& FCipher;
  codecs::TWinZipAesDecryption& FAes;
  bool FUsesAes = false;
};

// Where the entry in hand goes: its file, a caller's stream, memory, or nowhere. A write the
// disk refuses raises EWriteError naming the file; a stream that refuses bytes raises its own.
class TEntryOutput final : public codecs::TFrameOutput {
 public:
  // Creates (or truncates) the file; raises the stream's EFCreateError when it cannot.
  void Open(const TOutputFile& file);
  // No file: the bytes are only counted and checked (a test of the archive).
  void OpenNothing();
  // The caller's stream, written from its position on.
  void OpenStream(base::TStream& stream);
  // Appended to the caller's block of memory.
  void OpenMemory(std::vector<std::uint8_t>& memory);
  void WriteOutput(const std::uint8_t* data, std::size_t count) override;
  // Writes what the buffer still holds, gives the file lastWriteTime when one is given, and
  // closes it; raises when the disk refuses the bytes.
  // A time the system refuses is not reported. A stream or memory stays in hand until the next
  // Open: the CRC is checked after Close, and a failed entry's bytes must still be taken back.
  void Close(std::optional<platform::TFileTime> lastWriteTime);
  // Closes without caring what becomes of the bytes still buffered (the file is given up).
  // A stream goes back to where the entry started in it, and memory back to its size then, so
  // neither keeps a failed entry's bytes, nor a retried entry's first attempt; a stream the
  // entry was added at the end of is also cut there, one that cannot go back keeps them.
  void Abandon() noexcept;

 private:
  [[noreturn]] void RaiseWriteError() const;
  void Forget();

  std::unique_ptr<TLFNFileStream> FFile;
  std::string FFileName;
  base::TStream* FStream = nullptr;
  std::int64_t FStreamStart = 0;
  bool FStreamWasAtEnd = false;
  std::vector<std::uint8_t>* FMemory = nullptr;
  std::size_t FMemoryStart = 0;
};

// The published progress events, and the window messages between chunks of input.
class TRunProgress final : public codecs::TFrameProgress {
 public:
  explicit TRunProgress(TUnZip& zip) : FZip(zip) {}
  void ProcessMessages() override;
  void FilePercentDone(int percent) override;
  bool TracksTotalProgress() const override;
  void TotalPercentDone(int percent) override;
  void ShowMessageBox(const std::string& text, const std::string& caption) override;

 private:
  TUnZip& FZip;
};

}  // namespace qel::archive
