// Extraction: selects the entries, then writes each one below DestDir through its method,
// with the overwrite policy, the password dialogue, attributes, time stamps and the CRC check.
#include <memory>
#include <string>
#include <vector>

#include "archive/codecs/explode.h"
#include "archive/codecs/frame_host.h"
#include "archive/codecs/inflate.h"
#include "archive/codecs/unreduce.h"
#include "archive/codecs/unshrink.h"
#include "archive/codecs/unzip_frame.h"
#include "archive/codecs/zip_cipher.h"
#include "archive/file_helpers.h"
#include "archive/name_mask.h"
#include "archive/unzip.h"
#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace qel::archive {
namespace {

constexpr std::uint32_t CreateMode = 0xFFFF;
constexpr const char* PrematureEnd = "Premature end of file reached";

enum : std::uint16_t { MethodStored = 0, MethodShrunk = 1, MethodImploded = 6, MethodDeflated = 8 };

// Puts back what a run changed around it, however the run ends.
class TScopeExit final {
 public:
  explicit TScopeExit(std::function<void()> action) : FAction(std::move(action)) {}
  ~TScopeExit() {
    if (FAction) FAction();
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  std::function<void()> FAction;
};

bool IsAbsoluteDirectory(const std::string& d) { return (!d.empty() && d[0] == '\\') || (d.size() > 1 && d[1] == ':'); }

// A stored directory without the components that would climb out of the destination: ".."
// and "." are dropped, and so are the empty components of doubled separators after the start.
std::string WithoutClimbing(const std::string& directory) {
  std::string result;
  std::size_t start = 0;
  if (directory.size() > 1 && directory[1] == ':') {
    result = directory.substr(0, 2);
    start = 2;
  }
  if (start < directory.size() && directory[start] == '\\') {
    result += '\\';
    ++start;
  }
  while (start < directory.size()) {
    std::size_t end = directory.find('\\', start);
    if (end == std::string::npos) end = directory.size();
    const std::string part = directory.substr(start, end - start);
    if (!part.empty() && part != "." && part != "..") result += part + "\\";
    start = end + 1;
  }
  return result;
}

std::string LowerAscii(const std::string& s) { return base::LowerCase(s); }

}  // namespace

class TExtraction final : public codecs::TFrameHost {
 public:
  explicit TExtraction(TUnZip& zip) : FZip(zip), FFrame(*this) {}

  std::int32_t Run();

  // --- the frame's host ---
  void ProcessMessages() override {
    if (FZip.FDoProcessMessages) platform::ProcessMessages();
  }
  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    const std::int32_t got = FZip.FZipStream->Read(buffer, static_cast<std::int32_t>(count));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  }
  void LoadNextDisk() override;
  void DecryptChunk(std::uint8_t* buffer, std::size_t count) override { FCipher.DecryptBlock(buffer, count); }
  void WriteOutput(const std::uint8_t* data, std::size_t count) override;
  void FilePercentDone(int percent) override {
    if (FZip.OnFilePercentDone) FZip.OnFilePercentDone(FZip, percent);
  }
  bool TracksTotalProgress() const override { return static_cast<bool>(FZip.OnTotalPercentDone); }
  void TotalPercentDone(int percent) override { FZip.OnTotalPercentDone(FZip, percent); }
  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    platform::ShowMessageBox(text, caption, platform::mbOK);
  }

 private:
  std::int64_t SelectEntries();
  std::string DestinationPrefix() const { return FDestination.empty() ? std::string() : FDestination + "\\"; }
  void HandleEntry(std::int32_t index);
  void PositionAtData(TZipHeaderInfo& work);
  std::string OutputDirectory(const TZipHeaderInfo& work);
  bool PasswordFits(std::int32_t index, TZipHeaderInfo& work);
  bool MayWrite(std::int32_t index, std::string& outputName);
  bool RunMethod(const TZipHeaderInfo& work);
  void CopyStored(TZipHeaderInfo& work);
  void ReadArchiveFully(std::uint8_t* buffer, std::size_t count);
  void CloseOutput();
  [[noreturn]] void RaiseWriteError() const;
  void StampOutput(const TZipHeaderInfo& work, const std::string& outputName);
  void CheckCrc(std::int32_t index, const TZipHeaderInfo& work, const std::string& outputName);
  void SkipEntry(TSkipReason reason, std::int32_t index);

  TUnZip& FZip;
  codecs::TUnzipFrame FFrame;
  codecs::TZipCipher FCipher;
  std::unique_ptr<TLFNFileStream> FOutput;
  std::string FOutputName;
  std::string FDestination;  // DestDir as a full path, so relative names stay right after the change of directory
  std::int32_t FResult = 0;
  bool FRetry = false;
};

std::int32_t TUnZip::UnZip() {
  OpenZip();
  TExtraction extraction(*this);
  const std::int32_t result = extraction.Run();
  CloseZip();
  return result;
}

std::int32_t TExtraction::Run() {
  const std::string previousDirectory = CurrentDirectory();
  FDestination = FZip.FDestDir.empty() ? std::string() : platform::ExpandFileName(FZip.FDestDir);
  if (!FDestination.empty()) {
    if (!DirectoryExists(FDestination)) CreateDirectories(FDestination);
    ChangeDirectory(FDestination);
  }
  TScopeExit restoreDirectory([&] { platform::SetCurrentDir(previousDirectory); });

  // A multi-disk archive is read in the order of its disks, whatever the view's order.
  const TZipSortMode previousSort = FZip.FSortMode;
  const bool resorted = FZip.FEndCentral.ThisDisk != 0 && previousSort != TZipSortMode::ByNone;
  if (resorted) FZip.Sort(TZipSortMode::ByNone);
  TScopeExit restoreSort([&] {
    if (resorted) FZip.Sort(previousSort);
  });

  const std::int64_t totalBytes = SelectEntries();
  bool stopNow = false;
  if (FZip.OnStartUnZipInfo) FZip.OnStartUnZipInfo(FZip, FResult, totalBytes, stopNow);
  if (FResult <= 0 || stopNow) return FResult;

  FFrame.BeginRun(totalBytes);
  for (std::int32_t i = 0; i < FZip.Count(); ++i) {
    if (!FZip.FDoAll && !FZip.ViewEntry(i).Selected) continue;
    do {
      HandleEntry(i);
    } while (FRetry);
  }
  return FResult;
}

std::int64_t TExtraction::SelectEntries() {
  FResult = FZip.Count();
  std::int64_t totalBytes = 0;
  const base::TStringList& masks = FZip.FFilesList;
  for (std::int32_t i = 0; i < FZip.Count(); ++i) {
    TZipHeaderInfo& entry = FZip.ViewEntry(i);
    bool selected = FZip.FDoAll;
    if (entry.FileName().empty() && !FZip.FRecreateDirs) {
      entry.Selected = false;
      --FResult;
      continue;
    }
    for (std::int32_t m = 0; m < masks.Count() && !selected; ++m) {
      const std::string mask = LowerAscii(masks.Strings(m));
      const std::string candidate = mask.find('\\') == std::string::npos ? entry.FileName()
                                                                          : entry.Directory() + entry.FileName();
      selected = IsMatch(mask, LowerAscii(candidate));
    }
    if (selected) {
      totalBytes += entry.UncompressedSize;
    } else {
      --FResult;
    }
    entry.Selected = selected;
  }
  return totalBytes;
}

void TExtraction::HandleEntry(std::int32_t index) {
  FRetry = false;
  TZipHeaderInfo& work = FZip.FWorkRecord;
  work.Assign(FZip.ViewEntry(index));
  if (!work.FileName().empty()) PositionAtData(work);

  const std::string path = OutputDirectory(work);
  if (work.FileName().empty()) {
    bool skip = false;
    if (FZip.FRecreateDirs && FZip.OnStartUnZip) FZip.OnStartUnZip(FZip, index, path, skip);
    return;
  }
  // Names that mean a directory itself would write over it or above it.
  if (work.FileName() == "." || work.FileName() == "..") {
    --FResult;
    return;
  }
  std::string outputName = path + work.FileName();
  if (work.Encrypted() && !PasswordFits(index, work)) {
    SkipEntry(TSkipReason::srBadPassword, index);
    return;
  }
  if (!MayWrite(index, outputName)) {
    SkipEntry(TSkipReason::srNoOverwrite, index);
    return;
  }
  FFrame.BeginEntry(work.CompressedSize, work.UncompressedSize, work.Encrypted());
  bool skip = false;
  if (FZip.OnStartUnZip) FZip.OnStartUnZip(FZip, index, outputName, skip);
  // An entry left here costs nothing: the file is created only once the entry goes ahead.
  if (skip) return;

  FOutputName = outputName;
  FOutput = std::make_unique<TLFNFileStream>(outputName, CreateMode);
  bool finished = false;
  {
    TScopeExit dropOutput([&] { FOutput.reset(); });
    finished = RunMethod(work);
    CloseOutput();
  }
  if (!finished) return;
  StampOutput(work, outputName);
  CheckCrc(index, work, outputName);
}

void TExtraction::PositionAtData(TZipHeaderInfo& work) {
  if (FZip.FEndCentral.ThisDisk != 0 && work.DiskNumberStart != FZip.FCurrentDisk) {
    FZip.LoadDisk(work.DiskNumberStart + 1);
  }
  TLFNFileStream& stream = *FZip.FZipStream;
  stream.Seek(work.LocalHeaderOffset, 0);
  FZip.FLocalHeader.fill(0);
  stream.Read(FZip.FLocalHeader.data(), LocalHeaderSize);
  stream.Seek(static_cast<std::int64_t>(ReadLe16(&FZip.FLocalHeader[local_header::FileNameLength])) +
                  ReadLe16(&FZip.FLocalHeader[local_header::ExtraFieldLength]),
              1);
}

std::string TExtraction::OutputDirectory(const TZipHeaderInfo& work) {
  // Without a destination, names are relative to the current directory rather than to the
  // root of its drive.
  if (!FZip.FRecreateDirs || work.Directory().empty()) return DestinationPrefix();
  std::string d = work.Directory();
  const std::string& root = FZip.FRootDir;
  if (!root.empty() && d.size() >= root.size() &&
      platform::CompareTextLocale(std::string_view(d).substr(0, root.size()), root) == 0) {
    d.erase(0, root.size());
  }
  d = WithoutClimbing(d);
  std::string path;
  if (!IsAbsoluteDirectory(d)) {
    path = DestinationPrefix() + d;
  } else if (FDestination.empty()) {
    path = d;
  } else if (d[0] == '\\') {
    path = FDestination + d;
  } else {
    path = FDestination + d.substr(2);
  }
  if (!path.empty() && !DirectoryExists(path)) CreateDirectories(path);
  return path;
}

bool TExtraction::PasswordFits(std::int32_t index, TZipHeaderInfo& work) {
  const std::uint8_t expected = codecs::ExpectedCheckByte(work.Flags, work.Crc32, work.FileDate);
  for (;;) {
    codecs::TEncryptionHeader header{};
    FZip.FZipStream->Read(header.data(), static_cast<std::int32_t>(header.size()));
    work.CompressedSize -= static_cast<std::int32_t>(header.size());
    if (FCipher.DecryptHeader(FZip.FPassword, header) == expected) return true;
    if (!FZip.OnBadPassword) return false;
    std::string newPassword = FZip.FPassword;
    FZip.OnBadPassword(FZip, index, newPassword);
    if (newPassword == FZip.FPassword) return false;
    FZip.FPassword = newPassword;
    FZip.FZipStream->Seek(-static_cast<std::int64_t>(header.size()), 1);
    work.CompressedSize += static_cast<std::int32_t>(header.size());
  }
}

bool TExtraction::MayWrite(std::int32_t index, std::string& outputName) {
  if (FZip.FOverwriteMode == TUZOverwriteMode::Always || !FileExists(outputName)) return true;
  if (FZip.FOverwriteMode == TUZOverwriteMode::Never) return false;
  bool overwrite = false;
  if (FZip.OnPromptForOverwrite) {
    FZip.OnPromptForOverwrite(FZip, overwrite, index, outputName);
  } else {
    overwrite = platform::ShowMessageBox("Replace existing file " + FZip.FWorkRecord.FileName() + "?",
                                         "File Exists Alert", platform::mbYesNo | platform::mbIconQuestion) ==
                platform::idYes;
  }
  return overwrite;
}

bool TExtraction::RunMethod(const TZipHeaderInfo& work) {
  const std::uint16_t method = work.CompressionMethod;
  if (method == MethodStored) {
    CopyStored(FZip.FWorkRecord);
  } else if (method == MethodShrunk) {
    codecs::Unshrink(FFrame);
  } else if (method >= codecs::FirstReduceMethod && method <= codecs::LastReduceMethod) {
    codecs::Unreduce(FFrame, method);
  } else if (method == MethodImploded) {
    codecs::Explode(FFrame, work.Flags);
  } else if (method == MethodDeflated) {
    codecs::Inflate(FFrame);
  } else {
    platform::ShowMessageBox("Unknown Compression Method", "Zip Error", platform::mbOK);
  }
  return true;
}

void TExtraction::CopyStored(TZipHeaderInfo& work) {
  while (work.CompressedSize > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int32_t>(work.CompressedSize, codecs::IoBlockSize));
    ReadArchiveFully(FFrame.OutputBuffer(), n);
    if (work.Encrypted()) FCipher.DecryptBlock(FFrame.OutputBuffer(), n);
    work.CompressedSize -= static_cast<std::int32_t>(n);
    FFrame.SetOutputCount(n);
    FFrame.FlushOutput();
  }
}

// The stored copy reads whole blocks: an entry continues on the next disk of a multi-disk
// archive, and one that the archive cuts short is an error rather than a shorter file.
void TExtraction::ReadArchiveFully(std::uint8_t* buffer, std::size_t count) {
  std::size_t got = ReadArchive(buffer, count);
  while (got < count) {
    LoadNextDisk();
    got += ReadArchive(buffer + got, count - got);
  }
}

void TExtraction::LoadNextDisk() {
  // Only a multi-disk archive that has a disk after the current one can go on.
  if (FZip.FEndCentral.ThisDisk == 0 || FZip.FCurrentDisk >= FZip.FEndCentral.ThisDisk) {
    throw EFatalUnzipError(PrematureEnd);
  }
  FZip.LoadDisk(FZip.FCurrentDisk + 2);
}

void TExtraction::WriteOutput(const std::uint8_t* data, std::size_t count) {
  const auto wanted = static_cast<std::int32_t>(count);
  if (FOutput->Write(data, wanted) != wanted) RaiseWriteError();
}

void TExtraction::RaiseWriteError() const {
  throw base::EWriteError(
      base::Format("Cannot write to file \"%s\". %s", {FOutputName, platform::LastErrorText()}));
}

// The bytes still in the stream's buffer must reach the disk before the file counts as written.
void TExtraction::CloseOutput() {
  if (!FOutput->Flush()) RaiseWriteError();
  FOutput.reset();
}

// The time stamp comes first: a read-only attribute would keep the file from being opened
// for writing its time.
void TExtraction::StampOutput(const TZipHeaderInfo& work, const std::string& outputName) {
  const platform::FileHandle handle = platform::FileOpen(outputName, platform::fmOpenWrite);
  if (handle != platform::InvalidFileHandle) {
    platform::FileSetDate(handle, work.FileDate);
    platform::FileClose(handle);
  }
  if (FZip.FRetainAttributes) platform::FileSetAttr(outputName, work.ExternalAttributes);
}

void TExtraction::CheckCrc(std::int32_t index, const TZipHeaderInfo& work, const std::string& outputName) {
  const std::uint32_t crc = ~FFrame.RunningCRC();
  if (crc == work.Crc32) {
    if (FZip.OnEndUnZip) FZip.OnEndUnZip(FZip, index, outputName);
    return;
  }
  if (work.Encrypted()) {
    if (FZip.OnBadPassword) {
      std::string newPassword = FZip.FPassword;
      FZip.OnBadPassword(FZip, index, newPassword);
      if (newPassword != FZip.FPassword) {
        FZip.FPassword = newPassword;
        FRetry = true;
      }
    }
    if (!FRetry && FZip.OnSkippingFile) FZip.OnSkippingFile(FZip, TSkipReason::srBadPassword, index);
  } else if (FZip.OnBadCRC) {
    FZip.OnBadCRC(FZip, static_cast<std::int32_t>(crc), static_cast<std::int32_t>(work.Crc32), index);
  }
  // A read-only attribute given a moment ago must not keep the damaged file on disk.
  platform::FileSetAttr(outputName, platform::faArchive);
  platform::DeleteFile(outputName);
  if (!FRetry) --FResult;
}

void TExtraction::SkipEntry(TSkipReason reason, std::int32_t index) {
  if (FZip.OnSkippingFile) FZip.OnSkippingFile(FZip, reason, index);
  --FResult;
}

}  // namespace qel::archive
