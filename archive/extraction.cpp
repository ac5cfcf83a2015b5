#include "archive/extraction.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "archive/codecs/methods.h"
#include "archive/codecs/unzip_frame.h"
#include "archive/codecs/winzip_aes.h"
#include "archive/codecs/zip_cipher.h"
#include "archive/extraction_roles.h"
#include "archive/file_helpers.h"
#include "archive/name_mask.h"
#include "archive/output_file.h"
#include "archive/output_path.h"
#include "archive/stored_name.h"
#include "archive/unzip.h"
#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "platform/unix_files.h"

namespace qel::archive {
namespace {

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

constexpr const char* SkippedText = "skipped";
constexpr const char* CrcErrorText = "CRC error";

TSkipReason SkipReasonOf(codecs::TCodecStatus status) {
  return status == codecs::TCodecStatus::OutOfMemory ? TSkipReason::srOutOfMemory : TSkipReason::srDamagedData;
}

class TExtraction final {
 public:
  TExtraction(TUnZip& zip, TExtractionAccess& access)
      : FZip(zip), FAccess(access), FInput(zip, access, FCipher, FAes), FProgress(zip), FFrame(FInput, FOutput, FProgress) {}

  std::int32_t Run();
  // A run of the one entry, into the output openOutput opens.
  TEntryOutcome RunEntry(std::int32_t index, const std::function<void(TEntryOutput&)>& openOutput);

 private:
  std::int64_t SelectEntries();
  bool TakeUpEntry(std::int32_t index);
  void HandleEntry(std::int32_t index);
  bool PositionAtData();
  bool ProvideFolder(const std::string& path);
  bool Unlocked(std::int32_t index);
  bool PasswordFits(std::int32_t index);
  bool AesPasswordFits(std::int32_t index);
  bool AuthenticationHolds();
  bool HeaderOpensWithPassword(const codecs::TEncryptionHeader& header, std::uint8_t expected);
  bool MayWrite(std::int32_t index, TOutputFile& output);
  bool IsArchiveVolume(const TOutputFile& output) const;
  bool CreateOutput(const TOutputFile& output);
  bool ExtractAsStored(std::int32_t index, const std::function<void(TEntryOutput&)>& openOutput);
  bool MethodIsSupported(std::int32_t index);
  void BeginEntryData();
  // AE-2 stores no CRC (0): the authentication code vouches for the data instead.
  bool CrcStored() const {
    return !FWork.AesEncrypted() || FWork.WinZipAes->VendorVersion != codecs::WinZipAesVersion2;
  }
  static std::optional<TOutputFile> StagingFileFor(const TOutputFile& output);
  bool DecodeVerified(std::int32_t index, const TOutputFile* file);
  codecs::TCodecStatus Decode(const TOutputFile* output);
  void GiveAttributes(const TOutputFile& output);
  std::optional<platform::TFileTime> EntryTime() const;
  std::optional<std::uint32_t> EntryPermissions() const;
  void NoteFolder(const std::string& path, const std::string& belowDestination);
  void TakeLink(std::int32_t index, const TOutputFile& output, const std::string& folder,
                const std::string& belowDestination);
  bool LeadsThroughLink(const std::string& belowDestination) const;
  void MakeLinks();
  void StampFolders();
  // A wrong password shows late, as bad data: ask for another and go again, or skip.
  void RetryOrSkipPassword(std::int32_t index);
  void DiscardOutput(const TOutputFile* output);
  void SkipEntry(TSkipReason reason, std::int32_t index);

  TUnZip& FZip;
  TExtractionAccess& FAccess;
  codecs::TZipCipher FCipher;
  codecs::TWinZipAesDecryption FAes;
  TArchiveInput FInput;
  TEntryOutput FOutput;
  TRunProgress FProgress;
  codecs::TUnzipFrame FFrame;
  std::string FDestination;  // DestDir as a full path, so relative names stay right after the change of directory
  TZipHeaderInfo FWork;      // the working copy of the entry in hand
  std::int32_t FResult = 0;
  bool FRetry = false;
  std::string FFailure;  // why the entry in hand did not come out right, in a few words
  std::string FKnownFolder;  // the last folder found or made for an entry
  std::set<std::string> FVolumes;  // the archive's own files, full paths in upper case

  // Links are made once every file is written, so that no entry is ever written through a
  // link the archive made; folders get their times and modes once nothing more goes into them.
  struct TPendingLink {
    std::int32_t Index;
    std::string Name;
    std::string Folder;  // below the destination, as EntryFolder places it
    std::string Target;
    std::optional<platform::TFileTime> Time;
  };
  struct TPendingFolder {
    std::string Path;
    std::optional<platform::TFileTime> Time;
    std::optional<std::uint32_t> Permissions;
  };
  std::vector<TPendingLink> FLinks;
  std::vector<TPendingFolder> FFolders;
  std::vector<std::uint8_t> FLinkTarget;
};

std::int32_t TExtraction::Run() {
  // Relative names of the archive's parts mean the directory the run starts in.
  for (const std::string& volume : FAccess.VolumeNames()) {
    FVolumes.insert(base::UpperCase(platform::ExpandFileName(volume)));
  }
  const std::string previousDirectory = CurrentDirectory();
  FDestination = FZip.DestDir().empty() ? std::string() : platform::ExpandFileName(FZip.DestDir());
  // A test touches no folder: it needs none, and may run where nothing can be written.
  if (!FDestination.empty() && !FZip.TestOnly()) {
    if (!platform::DirectoryExists(FDestination)) CreateDirectories(FDestination);
    ChangeDirectory(FDestination);
  }
  TScopeExit restoreDirectory([&] { platform::SetCurrentDir(previousDirectory); });

  // A multi-disk archive is read in the order of its disks, whatever the view's order.
  const TZipSortMode previousSort = FZip.SortMode();
  const bool resorted = FZip.EndCentral().ThisDisk != 0 && previousSort != TZipSortMode::ByNone;
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
    if (!FZip.DoAll() && !FZip.Entry(i).Selected) continue;
    do {
      HandleEntry(i);
    } while (FRetry);
  }
  MakeLinks();
  StampFolders();
  return FResult;
}

std::int64_t TExtraction::SelectEntries() {
  FResult = FZip.Count();
  std::int64_t totalBytes = 0;
  const base::TStringList& masks = FZip.FilesList();
  for (std::int32_t i = 0; i < FZip.Count(); ++i) {
    const TZipHeaderInfo& entry = FZip.Entry(i);
    bool selected = FZip.DoAll();
    if (entry.FileName().empty() && !FZip.RecreateDirs()) {
      FAccess.SetSelected(i, false);
      --FResult;
      continue;
    }
    for (std::int32_t m = 0; m < masks.Count() && !selected; ++m) {
      const std::string mask = base::LowerCase(masks.Strings(m));
      const std::string candidate = mask.find('\\') == std::string::npos ? entry.FileName()
                                                                          : entry.Directory() + entry.FileName();
      selected = IsMatch(mask, base::LowerCase(candidate));
    }
    if (selected) {
      totalBytes += entry.UncompressedSize;
    } else {
      --FResult;
    }
    FAccess.SetSelected(i, selected);
  }
  return totalBytes;
}

TEntryOutcome TExtraction::RunEntry(std::int32_t index, const std::function<void(TEntryOutput&)>& openOutput) {
  const std::int64_t totalBytes = FZip.Entry(index).UncompressedSize;
  FResult = 1;
  bool stopNow = false;
  if (FZip.OnStartUnZipInfo) FZip.OnStartUnZipInfo(FZip, FResult, totalBytes, stopNow);
  if (stopNow) return {false, SkippedText};
  FFrame.BeginRun(totalBytes);
  bool extracted = false;
  do {
    extracted = TakeUpEntry(index) && ExtractAsStored(index, openOutput);
  } while (FRetry);
  return {extracted, extracted ? std::string() : FFailure};
}

// Takes up the entry afresh (a retry starts from its header again) and finds its data: false
// when it was skipped.
bool TExtraction::TakeUpEntry(std::int32_t index) {
  FRetry = false;
  FWork.Assign(FZip.Entry(index));
  if (FWork.OverlapsEarlierEntry) {
    SkipEntry(TSkipReason::srOverlap, index);
    return false;
  }
  if (!FWork.FileName().empty() && !PositionAtData()) {
    SkipEntry(TSkipReason::srDamagedData, index);
    return false;
  }
  return true;
}

void TExtraction::HandleEntry(std::int32_t index) {
  if (!TakeUpEntry(index)) return;
  if (FZip.TestOnly()) {
    ExtractAsStored(index, [](TEntryOutput& output) { output.OpenNothing(); });
    return;
  }

  // A name that would leave the destination, cut the path short or open a device is no file
  // of this archive's to write.
  const std::optional<std::string> folder = EntryFolder(
      FDestination, FWork.Directory(), RootLength(FWork.Directory(), FZip.RootDir()), FZip.RecreateDirs());
  if (!folder || (!FWork.FileName().empty() && !IsAcceptableName(FWork.FileName()))) {
    SkipEntry(TSkipReason::srBadName, index);
    return;
  }
  const std::string& path = *folder;
  const bool folderAssumed = ProvideFolder(path);
  // The same folder below an empty destination: what a link's target is measured against.
  const auto belowDestination = [&] {
    return EntryFolder({}, FWork.Directory(), RootLength(FWork.Directory(), FZip.RootDir()), FZip.RecreateDirs())
        .value_or(std::string());
  };
  if (FWork.FileName().empty()) {
    bool skip = false;
    if (FZip.RecreateDirs() && FZip.OnStartUnZip) FZip.OnStartUnZip(FZip, index, path, skip);
    if (FZip.RecreateDirs() && !skip) NoteFolder(path, belowDestination());
    return;
  }
  if (!MethodIsSupported(index)) return;
  TOutputFile output(path + FWork.FileName());
  if (!Unlocked(index)) return;
  if (!MayWrite(index, output)) {
    SkipEntry(TSkipReason::srNoOverwrite, index);
    return;
  }
  if (IsArchiveVolume(output)) {
    SkipEntry(TSkipReason::srArchiveVolume, index);
    return;
  }
  if (FWork.IsSymbolicLink() && platform::HasUnixFiles()) {
    TakeLink(index, output, path, belowDestination());
    return;
  }
  // An existing file is replaced only by a complete, verified entry: the entry is written
  // beside it under a name of its own and moved over it once its CRC is right, so a failure
  // at any point leaves the old file, its time and its attributes as they were.
  const bool replacing = output.IsFile();
  const std::optional<TOutputFile> staging = replacing ? StagingFileFor(output) : std::nullopt;
  if (replacing && !staging) {
    SkipEntry(TSkipReason::srCannotCreate, index);
    return;
  }
  const TOutputFile& written = replacing ? *staging : output;
  BeginEntryData();
  bool skip = false;
  if (FZip.OnStartUnZip) FZip.OnStartUnZip(FZip, index, output.Name(), skip);
  // An entry left here costs nothing: the file is created only once the entry goes ahead.
  if (skip) return;

  bool created = CreateOutput(written);
  if (!created && folderAssumed) {
    // The folder an earlier entry found may have gone since.
    FKnownFolder.clear();
    ProvideFolder(path);
    created = CreateOutput(written);
  }
  if (!created) {
    SkipEntry(TSkipReason::srCannotCreate, index);
    return;
  }
  if (!DecodeVerified(index, &written)) return;
  if (replacing && !written.MoveOver(output)) {
    DiscardOutput(&written);
    SkipEntry(TSkipReason::srCannotCreate, index);
    return;
  }
  GiveAttributes(output);
  if (FZip.OnEndUnZip) FZip.OnEndUnZip(FZip, index, output.Name());
}

// The entry decoded and checked into an output that is no file of its own (nothing, for a
// test), named as it is stored. True when it came out right; a folder has nothing to come out.
bool TExtraction::ExtractAsStored(std::int32_t index, const std::function<void(TEntryOutput&)>& openOutput) {
  if (FWork.FileName().empty()) return true;
  if (!MethodIsSupported(index)) return false;
  if (!Unlocked(index)) return false;
  const std::string name = FWork.Directory() + FWork.FileName();
  BeginEntryData();
  bool skip = false;
  if (FZip.OnStartUnZip) FZip.OnStartUnZip(FZip, index, name, skip);
  if (skip) {
    FFailure = SkippedText;
    return false;
  }
  openOutput(FOutput);
  if (!DecodeVerified(index, nullptr)) return false;
  if (FZip.OnEndUnZip) FZip.OnEndUnZip(FZip, index, name);
  return true;
}

// A method nobody here can decode is told as such, before a password is asked for data that
// could not be read anyway.
bool TExtraction::MethodIsSupported(std::int32_t index) {
  if (codecs::SupportedMethod(FWork.ActualMethod())) return true;
  // Without a handler the user is told in a box of the component's own.
  if (!FZip.OnSkippingFile) platform::ShowMessageBox("Unknown Compression Method", "Zip Error", platform::mbOK);
  SkipEntry(TSkipReason::srUnsupportedMethod, index);
  return false;
}

void TExtraction::BeginEntryData() {
  FInput.UseAes(FWork.AesEncrypted());
  FFrame.BeginEntry(FWork.CompressedSize, FWork.UncompressedSize, FWork.Encrypted());
  // Nothing past the declared size is ever written: a small archive cannot fill a disk.
  FFrame.LimitOutput(FWork.UncompressedSize);
  if (!CrcStored()) FFrame.OmitCRC();
}

// Runs the method into the open output and checks the result. On any failure the output is
// discarded and the entry reported (or set to be retried with another password): false.
bool TExtraction::DecodeVerified(std::int32_t index, const TOutputFile* file) {
  const codecs::TCodecStatus status = Decode(file);
  if (status != codecs::TCodecStatus::Ok) {
    DiscardOutput(file);
    // A wrong password that passes the one-byte check decodes garbage, which any decoder may
    // refuse in any of its ways; only running out of memory says nothing about the password.
    // An AES entry's password was proven by its verifier; bad data there is damage.
    if (FWork.Encrypted() && !FWork.AesEncrypted() && status != codecs::TCodecStatus::OutOfMemory) {
      RetryOrSkipPassword(index);
      if (!FRetry) --FResult;
    } else {
      SkipEntry(SkipReasonOf(status), index);
    }
    return false;
  }
  if (!CrcStored()) return true;
  const std::uint32_t crc = ~FFrame.RunningCRC();
  if (crc == FWork.Crc32) return true;
  FFailure = CrcErrorText;
  // A wrong traditional password can pass its one-byte check and decode; an AES entry's data
  // has been authenticated with keys from the password, so its CRC error is one of the data.
  if (FWork.Encrypted() && !FWork.AesEncrypted()) {
    RetryOrSkipPassword(index);
  } else if (FZip.OnBadCRC) {
    FZip.OnBadCRC(FZip, static_cast<std::int32_t>(crc), static_cast<std::int32_t>(FWork.Crc32), index);
  }
  DiscardOutput(file);
  if (!FRetry) --FResult;
  return false;
}

// A name beside the existing file that nothing holds: short and plain, so it fits wherever
// the file's own name fits.
std::optional<TOutputFile> TExtraction::StagingFileFor(const TOutputFile& output) {
  for (unsigned n = 0; n < 0x10000; ++n) {
    const TOutputFile candidate = output.Beside(base::Format("~qel%.4x.tmp", {static_cast<std::int32_t>(n)}));
    if (candidate.Attributes() == platform::InvalidFileAttributes) return candidate;
  }
  return std::nullopt;
}

// Makes the entry's folder where it is missing; one that cannot be made shows when its file
// cannot be created. Entries come folder by folder: the folder the previous entry found or
// made is not asked about again. True when the folder was taken as there without a look.
bool TExtraction::ProvideFolder(const std::string& path) {
  if (path.empty()) return false;
  if (path == FKnownFolder) return true;
  if (!platform::DirectoryExists(path)) platform::ForceDirectories(path);
  FKnownFolder = path;
  return false;
}

// An entry named like the archive, or like one of its parts, would overwrite what is being read.
bool TExtraction::IsArchiveVolume(const TOutputFile& output) const {
  return FVolumes.count(base::UpperCase(platform::ExpandFileName(output.Name()))) != 0;
}

// The entry's local header is where the directory says, or, in archives whose writer left its
// data descriptors out of the offsets it recorded, a descriptor's size away; such a header
// counts only when it holds the entry's own name. False when it is in neither place.
bool TExtraction::PositionAtData() {
  if (FZip.EndCentral().ThisDisk != 0 && FWork.DiskNumberStart != FAccess.CurrentDisk()) {
    FZip.LoadDisk(FWork.DiskNumberStart + 1);
  }
  TLFNFileStream& stream = FAccess.ArchiveStream();
  constexpr std::int64_t DescriptorSizes[] = {0, DataDescriptorSize, -DataDescriptorSize, DataDescriptorSize - 4,
                                              -(DataDescriptorSize - 4), DataDescriptorSize + 8, -(DataDescriptorSize + 8)};
  for (const std::int64_t shift : DescriptorSizes) {
    const std::int64_t at = static_cast<std::int64_t>(FWork.LocalHeaderOffset) + shift;
    if (at < 0) continue;
    stream.Seek(at, 0);
    TLocalHeaderBytes header{};
    if (stream.Read(header.data(), LocalHeaderSize) != LocalHeaderSize ||
        ReadLe32(&header[local_header::Signature]) != LocalHeaderSignature) {
      continue;
    }
    const std::int32_t nameLength = ReadLe16(&header[local_header::FileNameLength]);
    const std::int32_t nameAndExtra = nameLength + ReadLe16(&header[local_header::ExtraFieldLength]);
    // The name and extra field are usually in the read-ahead already: reading past them keeps
    // it, where a seek would drop it and cost a seek and a read of the file per entry.
    std::array<std::uint8_t, 512> skipped;
    const bool readAhead = nameAndExtra <= static_cast<std::int32_t>(skipped.size()) &&
                           stream.Read(skipped.data(), nameAndExtra) == nameAndExtra;
    if (shift != 0) {
      const std::string& name = FWork.StoredName();
      if (!readAhead || static_cast<std::size_t>(nameLength) != name.size() ||
          !std::equal(name.begin(), name.end(), skipped.begin())) {
        continue;
      }
      FWork.LocalHeaderOffset = at;
    }
    if (!readAhead) stream.Seek(at + LocalHeaderSize + nameAndExtra, 0);
    return true;
  }
  return false;
}

// The password is UTF-8 text; the archiver that encrypted the entry keyed its cipher with the
// bytes its own system held, which for letters beyond ASCII may have been the ANSI or the OEM
// code page. Each form is tried; the cipher is left keyed with the one that fits.
bool TExtraction::HeaderOpensWithPassword(const codecs::TEncryptionHeader& header, std::uint8_t expected) {
  const std::string& password = FAccess.Password();
  // Decrypting works on the header in place: each try gets the bytes as read.
  const auto opens = [&](std::string_view key) {
    codecs::TEncryptionHeader bytes = header;
    return FCipher.DecryptHeader(key, bytes) == expected;
  };
  if (opens(password)) return true;
  if (std::all_of(password.begin(), password.end(), [](char c) { return (c & 0x80) == 0; })) return false;
  for (const std::string& form : {platform::Utf8ToAnsi(password), platform::Utf8ToOem(password)}) {
    if (!form.empty() && form != password && opens(form)) return true;
  }
  return false;
}

// Skips the entry, and tells why, when its data cannot be opened with the password.
bool TExtraction::Unlocked(std::int32_t index) {
  // Salt, verifier and code are more than some damaged entries hold.
  if (FWork.AesEncrypted() &&
      FWork.CompressedSize < static_cast<TZipSize>(codecs::WinZipAesOverhead(FWork.WinZipAes->Strength))) {
    SkipEntry(TSkipReason::srDamagedData, index);
    return false;
  }
  if (FWork.Encrypted() && !PasswordFits(index)) {
    SkipEntry(TSkipReason::srBadPassword, index);
    return false;
  }
  return true;
}

bool TExtraction::PasswordFits(std::int32_t index) {
  if (FWork.AesEncrypted()) return AesPasswordFits(index);
  const std::uint8_t expected = codecs::ExpectedCheckByte(FWork.Flags, FWork.Crc32, FWork.FileDate);
  TLFNFileStream& stream = FAccess.ArchiveStream();
  for (;;) {
    codecs::TEncryptionHeader header{};
    stream.Read(header.data(), static_cast<std::int32_t>(header.size()));
    FWork.CompressedSize -= static_cast<TZipSize>(header.size());
    if (HeaderOpensWithPassword(header, expected)) return true;
    if (!FZip.OnBadPassword) return false;
    std::string newPassword = FAccess.Password();
    FZip.OnBadPassword(FZip, index, newPassword);
    if (newPassword == FAccess.Password()) return false;
    FAccess.SetPassword(newPassword);
    stream.Seek(-static_cast<std::int64_t>(header.size()), 1);
    FWork.CompressedSize += static_cast<TZipSize>(header.size());
  }
}

// The salt and verifier in front of an AES entry's data. The password is tried as the UTF-8 text
// it is: the AES writers key with UTF-8. The work record's compressed size is left counting
// only the encrypted data, without salt, verifier and the code behind it.
bool TExtraction::AesPasswordFits(std::int32_t index) {
  const codecs::TWinZipAesField& field = *FWork.WinZipAes;
  const std::size_t saltLength = codecs::WinZipAesSaltLength(field.Strength);
  const auto headerSize = static_cast<std::int32_t>(saltLength + codecs::WinZipAesVerifierSize);
  const auto overhead = static_cast<TZipSize>(codecs::WinZipAesOverhead(field.Strength));
  TLFNFileStream& stream = FAccess.ArchiveStream();
  for (;;) {
    std::array<std::uint8_t, codecs::WinZipAesMaxSaltLength + codecs::WinZipAesVerifierSize> header{};
    stream.Read(header.data(), headerSize);
    FWork.CompressedSize -= overhead;
    codecs::TWinZipAesVerifier verifier;
    std::copy_n(header.begin() + static_cast<std::ptrdiff_t>(saltLength), verifier.size(), verifier.begin());
    if (FAes.Begin(FAccess.Password(), field.Strength, header.data(), verifier)) return true;
    if (!FZip.OnBadPassword) return false;
    std::string newPassword = FAccess.Password();
    FZip.OnBadPassword(FZip, index, newPassword);
    if (newPassword == FAccess.Password()) return false;
    FAccess.SetPassword(newPassword);
    stream.Seek(-static_cast<std::int64_t>(headerSize), 1);
    FWork.CompressedSize += overhead;
  }
}

// The code stored behind an AES entry's data against the one over every encrypted byte of it.
bool TExtraction::AuthenticationHolds() {
  codecs::TWinZipAesCode stored{};
  FFrame.ReadPastEntry(stored.data(), stored.size());
  return FAes.CodeMatches(stored);
}

bool TExtraction::MayWrite(std::int32_t index, TOutputFile& output) {
  if (FZip.OverwriteMode() == TUZOverwriteMode::Always || !output.IsFile()) return true;
  if (FZip.OverwriteMode() == TUZOverwriteMode::Never) return false;
  bool overwrite = false;
  if (FZip.OnPromptForOverwrite) {
    std::string outputName = output.Name();
    FZip.OnPromptForOverwrite(FZip, overwrite, index, outputName);
    // A name the handler chose is the program's own text.
    if (outputName != output.Name()) output = TOutputFile(outputName);
  } else {
    overwrite = platform::ShowMessageBox("Replace existing file " + FWork.FileName() + "?", "File Exists Alert",
                                         platform::mbYesNo | platform::mbIconQuestion) == platform::idYes;
  }
  return overwrite;
}

// Creates the entry's file: a new one, or the staging file of a replacement (an existing file,
// read-only or not, is only ever moved over, see TOutputFile::MoveOver). False when the system
// refuses the file.
bool TExtraction::CreateOutput(const TOutputFile& output) {
  try {
    FOutput.Open(output);
  } catch (const base::EFCreateError&) {
    return false;
  }
  return true;
}

// Runs the entry's method into its file. The file is closed on every path; when the method
// raises, it is given up and deleted, so no partial file looks like a finished one.
codecs::TCodecStatus TExtraction::Decode(const TOutputFile* output) {
  try {
    // The method was found supported before the entry was started.
    codecs::TCodecStatus status =
        codecs::DecodeEntry(FFrame, *codecs::SupportedMethod(FWork.ActualMethod()), FWork.Flags);
    // More bytes than the entry declares: the bytes past its size were never written.
    if (FFrame.Overran() && status == codecs::TCodecStatus::Ok) status = codecs::TCodecStatus::DamagedData;
    // Before the file counts as finished: an AES entry whose code differs is damaged (or
    // tampered with), however well it decoded.
    if (status == codecs::TCodecStatus::Ok && FWork.AesEncrypted() && !AuthenticationHolds()) {
      status = codecs::TCodecStatus::DamagedData;
    }
    // A finished file takes its time stamp through the handle that wrote it, before a
    // read-only attribute could keep it from being opened for writing.
    FOutput.Close(status == codecs::TCodecStatus::Ok ? EntryTime() : std::nullopt);
    return status;
  } catch (...) {
    DiscardOutput(output);
    throw;
  }
}

void TExtraction::GiveAttributes(const TOutputFile& output) {
  if (!FZip.RetainAttributes()) return;
  // Where files have Unix permissions, a Unix writer's mode says what the attribute bits say
  // (read-only is a mode without write permission), and more.
  if (const std::optional<std::uint32_t> permissions = EntryPermissions()) {
    platform::FileSetMode(output.Name(), *permissions);
  } else {
    output.SetAttributes(FWork.ExternalAttributes);
  }
}

// The exact time an extra field gives, else the MS-DOS one, which is local time to two seconds.
std::optional<platform::TFileTime> TExtraction::EntryTime() const {
  if (FWork.LastWriteTime) return FWork.LastWriteTime;
  return platform::FileTimeOfDosDate(FWork.FileDate);
}

// The permissions a Unix writer kept, where files here have them and attributes are retained.
// Like other unzips, the mode is given as stored, not narrowed by the user's umask.
std::optional<std::uint32_t> TExtraction::EntryPermissions() const {
  const std::optional<std::uint32_t> mode = FWork.UnixMode();
  if (!mode || !FZip.RetainAttributes() || !platform::HasUnixFiles()) return std::nullopt;
  return *mode & 0777;
}

// The destination itself is the user's folder, not the archive's: it keeps its time and mode.
void TExtraction::NoteFolder(const std::string& path, const std::string& belowDestination) {
  if (belowDestination.empty()) return;
  FFolders.push_back({path.substr(0, path.size() - 1), EntryTime(), EntryPermissions()});
}

// A link entry's data is its target: decoded and checked like any entry's, then kept for the end
// of the run, when the link is made. A target that could lead out of the destination is refused.
void TExtraction::TakeLink(std::int32_t index, const TOutputFile& output, const std::string& folder,
                           const std::string& belowDestination) {
  // No system takes a path this long: whatever the data is, it is no link.
  constexpr TZipSize LongestTarget = 4095;
  if (FWork.UncompressedSize > LongestTarget) {
    SkipEntry(TSkipReason::srDamagedData, index);
    return;
  }
  // The target is measured from the folder the archive puts the link in; an overwrite handler
  // that gave it a name in another folder would move what its ".." lead to.
  if (output.Name().compare(0, folder.size(), folder) != 0 ||
      output.Name().find('\\', folder.size()) != std::string::npos) {
    SkipEntry(TSkipReason::srUnsafeLink, index);
    return;
  }
  BeginEntryData();
  bool skip = false;
  if (FZip.OnStartUnZip) FZip.OnStartUnZip(FZip, index, output.Name(), skip);
  if (skip) return;
  FLinkTarget.clear();
  FOutput.OpenMemory(FLinkTarget);
  if (!DecodeVerified(index, nullptr)) return;
  std::string target(FLinkTarget.begin(), FLinkTarget.end());
  if (!LinkTargetStaysInside(belowDestination, target)) {
    SkipEntry(TSkipReason::srUnsafeLink, index);
    return;
  }
  FLinks.push_back({index, output.Name(), belowDestination, std::move(target), EntryTime()});
}

// Whether a folder on the way from the destination to this one is a link, through which a
// target's ".." would climb from wherever the link leads.
bool TExtraction::LeadsThroughLink(const std::string& belowDestination) const {
  std::string path = FDestination.empty() ? std::string() : WithClosingBackslash(FDestination);
  for (std::size_t start = 0; start < belowDestination.size();) {
    const std::size_t end = belowDestination.find('\\', start);
    path += belowDestination.substr(start, end - start);
    if (platform::IsSymbolicLink(path)) return true;
    path += '\\';
    start = end + 1;
  }
  return false;
}

void TExtraction::MakeLinks() {
  for (const TPendingLink& link : FLinks) {
    if (LeadsThroughLink(link.Folder)) {
      SkipEntry(TSkipReason::srUnsafeLink, link.Index);
    } else if (!platform::CreateSymbolicLink(link.Name, link.Target, link.Time)) {
      SkipEntry(TSkipReason::srCannotCreate, link.Index);
    } else if (FZip.OnEndUnZip) {
      FZip.OnEndUnZip(FZip, link.Index, link.Name);
    }
  }
}

// Deepest first: a folder whose mode keeps others out is closed only after its subfolders are done.
void TExtraction::StampFolders() {
  std::stable_sort(FFolders.begin(), FFolders.end(),
                   [](const TPendingFolder& a, const TPendingFolder& b) { return a.Path.size() > b.Path.size(); });
  for (const TPendingFolder& folder : FFolders) {
    if (folder.Time) platform::DirectorySetTime(folder.Path, *folder.Time);
    if (folder.Permissions) platform::FileSetMode(folder.Path, *folder.Permissions);
  }
}

void TExtraction::RetryOrSkipPassword(std::int32_t index) {
  if (FZip.OnBadPassword) {
    std::string newPassword = FAccess.Password();
    FZip.OnBadPassword(FZip, index, newPassword);
    if (newPassword != FAccess.Password()) {
      FAccess.SetPassword(newPassword);
      FRetry = true;
    }
  }
  if (FRetry) return;
  FFailure = SkipReasonText(TSkipReason::srBadPassword);
  if (FZip.OnSkippingFile) FZip.OnSkippingFile(FZip, TSkipReason::srBadPassword, index);
}

void TExtraction::DiscardOutput(const TOutputFile* output) {
  FOutput.Abandon();
  if (output == nullptr) return;
  // A read-only attribute the file may have had must not keep the damaged file on disk.
  output->SetAttributes(platform::faArchive);
  output->Delete();
}

void TExtraction::SkipEntry(TSkipReason reason, std::int32_t index) {
  FFailure = SkipReasonText(reason);
  if (FZip.OnSkippingFile) FZip.OnSkippingFile(FZip, reason, index);
  --FResult;
}

}  // namespace

std::int32_t RunExtraction(TUnZip& zip, TExtractionAccess& access) {
  TExtraction extraction(zip, access);
  return extraction.Run();
}

TEntryOutcome ExtractEntry(TUnZip& zip, TExtractionAccess& access, std::int32_t index, base::TStream& out) {
  TExtraction extraction(zip, access);
  return extraction.RunEntry(index, [&out](TEntryOutput& output) { output.OpenStream(out); });
}

TEntryOutcome ExtractEntry(TUnZip& zip, TExtractionAccess& access, std::int32_t index,
                           std::vector<std::uint8_t>& out) {
  TExtraction extraction(zip, access);
  return extraction.RunEntry(index, [&out](TEntryOutput& output) { output.OpenMemory(out); });
}

}  // namespace qel::archive
