#include "archive/extraction_roles.h"

#include "archive/unzip.h"
#include "base/exceptions.h"
#include "base/format.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace qel::archive {

std::size_t TArchiveInput::ReadArchive(std::uint8_t* buffer, std::size_t count) {
  const std::int32_t got = FAccess.ArchiveStream().Read(buffer, static_cast<std::int32_t>(count));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void TArchiveInput::LoadNextDisk() {
  // Only a multi-disk archive that has a disk after the current one can go on.
  const std::int32_t lastDisk = FZip.EndCentral().ThisDisk;
  if (lastDisk == 0 || FAccess.CurrentDisk() >= lastDisk) {
    throw EFatalUnzipError(PrematureEndText);
  }
  FZip.LoadDisk(FAccess.CurrentDisk() + 2);
}

void TEntryOutput::Open(const TOutputFile& file) {
  Forget();
  FFileName = file.Name();
  FFile = std::make_unique<TLFNFileStream>(file.Name(), base::fmCreate);
}

void TEntryOutput::OpenNothing() { Forget(); }

void TEntryOutput::OpenStream(base::TStream& stream) {
  Forget();
  FStreamStart = stream.Position();
  FStreamWasAtEnd = stream.Size() == FStreamStart;
  FStream = &stream;
}

void TEntryOutput::OpenMemory(std::vector<std::uint8_t>& memory) {
  Forget();
  FMemoryStart = memory.size();
  FMemory = &memory;
}

void TEntryOutput::Forget() {
  FFile.reset();
  FFileName.clear();
  FStream = nullptr;
  FMemory = nullptr;
}

void TEntryOutput::WriteOutput(const std::uint8_t* data, std::size_t count) {
  // The frame hands over at most one output block at a time, far below 2 GB.
  const auto wanted = static_cast<std::int32_t>(count);
  if (FFile) {
    if (FFile->Write(data, wanted) != wanted) RaiseWriteError();
  } else if (FStream) {
    FStream->WriteBuffer(data, wanted);
  } else if (FMemory) {
    FMemory->insert(FMemory->end(), data, data + count);
  }
}

// The bytes still in the stream's buffer must reach the disk before the file counts as written.
// A caller's stream is the caller's to flush.
void TEntryOutput::Close(std::optional<platform::TFileTime> lastWriteTime) {
  if (!FFile) return;
  if (!FFile->Flush()) RaiseWriteError();
  if (lastWriteTime) platform::FileSetTime(FFile->Handle(), *lastWriteTime);
  FFile.reset();
}

void TEntryOutput::Abandon() noexcept {
  if (FMemory) FMemory->resize(FMemoryStart);
  try {
    if (FStream) {
      FStream->Seek(FStreamStart, 0);
      if (FStreamWasAtEnd) FStream->SetSize(FStreamStart);
    }
  } catch (...) {
    // A stream that cannot go back keeps the bytes; the caller hears the entry failed.
  }
  try {
    FFile.reset();
  } catch (...) {
    // The file is deleted next; what its last bytes did does not matter.
  }
  Forget();
}

void TEntryOutput::RaiseWriteError() const {
  throw base::EWriteError(
      base::Format("Cannot write to file \"%s\". %s", {FFileName, platform::LastErrorText()}));
}

void TRunProgress::ProcessMessages() {
  if (FZip.DoProcessMessages()) platform::ProcessMessages();
}

void TRunProgress::FilePercentDone(int percent) {
  if (FZip.OnFilePercentDone) FZip.OnFilePercentDone(FZip, percent);
}

bool TRunProgress::TracksTotalProgress() const { return static_cast<bool>(FZip.OnTotalPercentDone); }

void TRunProgress::TotalPercentDone(int percent) { FZip.OnTotalPercentDone(FZip, percent); }

void TRunProgress::ShowMessageBox(const std::string& text, const std::string& caption) {
  platform::ShowMessageBox(text, caption, platform::mbOK);
}

}  // namespace qel::archive
