// Naming and opening an archive, reading its directory, the entry view and the comments.
#include "archive/unzip.h"

#include <utility>

#include "archive/file_helpers.h"
#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace qel::archive {
namespace {

constexpr const char* OpenZipTitle = "Open a Zip File";
constexpr const char* OpenZipFilter = "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|All Files (*.*)|*.*";
constexpr const char* CreateDirectoryPrompt = "The specified directory does not exist. Create it?";
constexpr std::uint8_t LocalSignatureBytes[] = {'P', 'K', 3, 4};
// The local-header scan lets the window breathe after this many bytes that cannot start a header.
constexpr std::int64_t ScanMessageInterval = 10240;

// Closes the archive when a comment has been read, also when reading it raised.
class TCloseZipOnExit final {
 public:
  explicit TCloseZipOnExit(TUnZip& zip) : FZip(zip) {}
  ~TCloseZipOnExit() { FZip.CloseZip(); }
  TCloseZipOnExit(const TCloseZipOnExit&) = delete;
  TCloseZipOnExit& operator=(const TCloseZipOnExit&) = delete;

 private:
  TUnZip& FZip;
};

// The extension ".zNN" of a part of a split archive other than the last.
bool IsSplitPartName(const std::string& name) {
  const std::string ext = base::ExtractFileExt(name);
  return ext.size() >= 4 && (ext[1] == 'z' || ext[1] == 'Z') && ext[2] >= '0' && ext[2] <= '9' && ext[3] >= '0' &&
         ext[3] <= '9';
}

}  // namespace

TUnZip::TUnZip(base::TObject* owner) : FOwner(owner) {}

TUnZip::~TUnZip() { ClearZip(); }

// --- properties ---

void TUnZip::SetZipName(const std::string& value) {
  if (platform::SameTextLocale(value, FZipName)) return;
  std::string name = value;
  if (!name.empty() && name.back() == '?') {
    const std::string directory = base::ExtractFilePath(name.substr(0, name.size() - 1));
    const std::string start = !directory.empty() && platform::DirectoryExists(directory) ? directory : "C:\\";
    std::string chosen;
    if (!platform::PromptForFileName(chosen, OpenZipFilter, start, OpenZipTitle)) {
      throw EUserCanceled("User canceled setting zip file name.");
    }
    name = chosen;
  }
  FZipName = name;
  ReleaseLists();
  FArchiveDate = 0;
  FArchiveSize = -1;
  FEndCentral.Clear();
  ReleaseArchiveStream();
  FScanned = false;
}

void TUnZip::SetDestDir(const std::string& value) {
  std::string directory = value;
  if (value == "?") {
    directory = !FDestDir.empty() && platform::DirectoryExists(base::IncludeTrailingBackslash(FDestDir)) ? FDestDir
                                                                                             : CurrentDirectory();
    if (!platform::SelectDirectory(directory, CreateDirectoryPrompt)) {
      throw EUserCanceled("User canceled Set Desination Directory");
    }
  }
  if (!directory.empty() && directory.back() == '\\') directory.pop_back();
  FDestDir = directory;
}

void TUnZip::SetRootDir(const std::string& value) {
  FRootDir = value.empty() ? std::string() : base::IncludeTrailingBackslash(value);
}

// --- opening and closing ---

void TUnZip::OpenZip() {
  if (!FZipStream) FZipStream = std::make_unique<TLFNFileStream>(FZipName, ArchiveOpenMode);
  if (!FFiles) {
    ReadZip();
  } else if (ArchiveFileDate() != FArchiveDate || FZipStream->Size() != FArchiveSize) {
    // The file was replaced since its directory was read. The size is compared too, because
    // the date has only a two-second resolution.
    ReadZip();
  }
}

void TUnZip::CloseZip() {
  if (!FKeepZipOpen) ReleaseArchiveStream();
}

void TUnZip::ClearZip() {
  ReleaseArchiveStream();
  ReleaseLists();
  FEndCentral.Clear();
  FScanned = false;
  FArchiveDate = 0;
  FArchiveSize = -1;
  SetMultiMode(TMultiMode::mmNone);
  FZipName.clear();
}

void TUnZip::ReleaseLists() {
  FSortedView.reset();
  FFiles.reset();
}

void TUnZip::ReleaseArchiveStream() { FZipStream.reset(); }

base::TDateTime TUnZip::ArchiveFileDate() const {
  const std::int64_t dosDateTime = platform::FileGetDate(FZipStream->Handle());
  base::TDateTime value = 0;
  if (dosDateTime < 0 || !base::TryDosDateTimeToDateTime(static_cast<std::uint32_t>(dosDateTime), value)) return 0;
  return value;
}

// --- reading the directory ---

void TUnZip::ReadZip() {
  FArchiveDate = ArchiveFileDate();
  FArchiveSize = FZipStream->Size();
  ReleaseLists();
  bool scan = false;  // no usable central directory: rebuild the entries from the local headers
  if (FEndCentral.FindEndCentral(*FZipStream)) {
    FCurrentDisk = FEndCentral.ThisDisk;
    if (FEndCentral.ThisDisk == 0) {
      SetMultiMode(TMultiMode::mmNone);
    } else {
      // A full name: extraction makes the destination current before it needs other disks.
      if (!IsSplitPartName(FZipName)) FLastDiskName = platform::ExpandFileName(FZipName);
      const std::string root = base::UpperCase(LeftPart(FZipName, 3));
      const bool removable = root.size() == 3 && root[1] == ':' &&
                             platform::GetDriveType(root) == platform::TDriveType::dtRemovable;
      SetMultiMode(removable ? TMultiMode::mmSpan : TMultiMode::mmBlocks);
    }
    if (FEndCentral.CentralStartDisk != FCurrentDisk) LoadDisk(FEndCentral.CentralStartDisk + 1);
    FZipStream->Seek(FEndCentral.CentralDirOffset, 0);
    std::uint8_t signature[4] = {};
    if (FZipStream->Read(signature, 4) == 4 && ReadLe32(signature) == CentralHeaderSignature) {
      FZipStream->Seek(-4, 1);
      FFiles = std::make_unique<TSortedZip>(TDuplicateMode::dmError);
    } else {
      scan = true;
    }
  } else {
    if (OnInCompleteZip) OnInCompleteZip(*this, FIncompleteZipMode);
    if (FIncompleteZipMode == TIncompleteZipMode::izAssumeMulti) throw EIncompleteZip("Incomplete Zip File");
    scan = true;
  }
  if (scan) {
    platform::SetScreenCursor(platform::TCursorKind::crHourGlass);
    const bool found = ScanLocalHeaders();
    platform::SetScreenCursor(platform::TCursorKind::crDefault);
    if (!found) {
      Sort(FSortMode);
      return;
    }
  }

  const bool spansDisks = !FScanned && MultiMode() != TMultiMode::mmNone;
  TNextDiskFunc nextDisk;
  if (spansDisks) nextDisk = [this]() -> base::TStream* { return &LoadDisk(FCurrentDisk + 2); };
  for (std::int32_t i = 0; i < FEndCentral.TotalEntries; ++i) {
    auto header = std::make_unique<TZipHeaderInfo>();
    if (!header->ReadCentral(*FZipStream, nextDisk)) break;
    if (FScanned) {
      // Merge what only the directory knows into the entry the scan found at that offset.
      std::int32_t index = 0;
      if (FFiles->Find(header.get(), index)) {
        TZipHeaderInfo& entry = *FFiles->Entry(index);
        const std::uint32_t scannedOffset = entry.LocalHeaderOffset;
        entry.Assign(*header);
        entry.LocalHeaderOffset = scannedOffset;
      }
      continue;
    }
    TZipHeaderInfo& entry = *header;
    FFiles->Add(header.get());  // raises for a second header of the same entry; header still frees it
    header.release();
    if (FEndCentral.ThisDisk != 0 && entry.HasComment()) LoadEntryCommentHere(entry);
  }
  if (FEndCentral.ThisDisk != 0 && FEndCentral.HasComment()) {
    if (FCurrentDisk != FEndCentral.ThisDisk) LoadDisk(FEndCentral.ThisDisk + 1);
    FZipStream->Seek(FEndCentral.ZipCommentPos, 0);
    FEndCentral.ZipComment = ReadCommentHere(FEndCentral.ZipCommentLength);
  }
  FCurrentDisk = FEndCentral.ThisDisk;
  Sort(FSortMode);
}

bool TUnZip::ScanLocalHeaders() {
  FScanned = true;
  ReleaseLists();
  TLFNFileStream& stream = *FZipStream;
  stream.Seek(0, 0);
  std::size_t matched = 0;
  std::int64_t skipped = 0;
  std::uint8_t byte = 0;
  while (matched < sizeof(LocalSignatureBytes) && stream.Read(&byte, 1) == 1) {
    if (byte == LocalSignatureBytes[matched]) {
      ++matched;
      continue;
    }
    // The byte that broke a partial match may itself begin a signature.
    matched = byte == LocalSignatureBytes[0] ? 1 : 0;
    if (matched == 0 && FDoProcessMessages && ++skipped % ScanMessageInterval == 0) platform::ProcessMessages();
  }
  if (matched < sizeof(LocalSignatureBytes)) return false;

  stream.Seek(-4, 1);
  FFiles = std::make_unique<TSortedZip>(TDuplicateMode::dmError);
  for (;;) {
    auto header = std::make_unique<TZipHeaderInfo>();
    if (!header->ReadLocal(stream)) break;
    const std::int64_t headerStart = header->LocalHeaderOffset;
    std::int64_t skip = static_cast<std::int64_t>(header->CompressedSize) + header->ExtraFieldLength;
    if (header->HasDataDescriptor()) skip += DataDescriptorSize;
    FFiles->Add(header.get());
    header.release();
    // A damaged size that would lead back to this header or before it ends the scan instead of
    // finding the same headers again.
    if (stream.Position() + skip <= headerStart) break;
    stream.Seek(skip, 1);
  }
  FEndCentral.ThisDisk = 0;
  FCurrentDisk = 0;
  FEndCentral.CentralDirOffset = static_cast<std::uint32_t>(stream.Position());
  FEndCentral.TotalEntries = static_cast<std::uint16_t>(FFiles->Count());
  return true;
}

void TUnZip::Sort(TZipSortMode mode) {
  FSortedView.reset();
  if (mode != TZipSortMode::ByNone && FFiles) {
    auto view = std::make_unique<TSortedZip>(TDuplicateMode::dmAccept);
    view->SortMode = mode;
    view->OwnsObjects = false;
    for (std::int32_t i = 0; i < FFiles->Count(); ++i) view->Add(FFiles->Get(i));
    FSortedView = std::move(view);
  }
  FSortMode = mode;
}

// --- multi-disk archives ---

std::string TUnZip::DefaultDiskName(std::int32_t disk) const {
  const std::string& lastDisk = FLastDiskName.empty() ? FZipName : FLastDiskName;
  if (disk == FEndCentral.ThisDisk + 1) return lastDisk;
  const std::string ext = base::ExtractFileExt(lastDisk);
  const std::string stem = lastDisk.substr(0, lastDisk.size() - ext.size());
  const bool upper = ext.size() > 1 && ext[1] >= 'A' && ext[1] <= 'Z';
  return stem + base::Format(upper ? ".Z%2.2d" : ".z%2.2d", {disk});
}

bool TUnZip::DiskLabelFits(std::int32_t disk) const {
  if (MultiMode() != TMultiMode::mmSpan) return true;
  const std::string label = LeftPart(VolumeLabel(base::UpperCase(LeftPart(FZipName, 3))), 11);
  const std::string wanted = base::Format("%3.3d", {disk});
  return label.size() >= wanted.size() && label.compare(label.size() - wanted.size(), wanted.size(), wanted) == 0;
}

TLFNFileStream& TUnZip::LoadDisk(std::int32_t n) {
  ReleaseArchiveStream();
  std::string name = FZipName;
  if (OnGetNextDisk) {
    for (;;) {
      OnGetNextDisk(*this, n, name);
      if (CheckDiskLabels() && !name.empty() && !DiskLabelFits(n)) continue;
      if (name.empty()) throw EUserCanceled("User canceled loading new disk.");
      if (platform::FileExists(name)) break;
    }
  } else {
    // Nobody to ask: the parts are named as split archives name them, and a missing part
    // raises the open error that names it.
    name = DefaultDiskName(n);
  }
  FZipStream = std::make_unique<TLFNFileStream>(name, DiskOpenMode);
  FCurrentDisk = n - 1;
  FArchiveDate = ArchiveFileDate();
  FArchiveSize = FZipStream->Size();
  FZipName = name;
  return *FZipStream;
}

// --- extraction ---

std::int32_t TUnZip::UnZip() {
  OpenZip();
  const std::int32_t result = RunExtraction(*this, *this);
  CloseZip();
  return result;
}

// --- the entries ---

std::int32_t TUnZip::Count() const { return FFiles ? FFiles->Count() : 0; }

TSortedZip& TUnZip::View() const { return FSortedView ? *FSortedView : *FFiles; }

void TUnZip::CheckIndex(std::int32_t index) const {
  if (index < 0 || index >= Count()) throw base::EListError(base::Format("Index %d is out of range", {index}));
}

TZipHeaderInfo& TUnZip::ViewEntry(std::int32_t index) const {
  CheckIndex(index);
  return *View().Entry(index);
}

const TZipHeaderInfo& TUnZip::Entry(std::int32_t index) const { return ViewEntry(index); }
std::string TUnZip::Filename(std::int32_t index) const { return ViewEntry(index).FileName(); }
std::string TUnZip::Pathname(std::int32_t index) const { return ViewEntry(index).Directory(); }

base::TDateTime TUnZip::DateTime(std::int32_t index) const {
  base::TDateTime value = 0;
  if (!base::TryDosDateTimeToDateTime(ViewEntry(index).FileDate, value)) return base::Now();
  return value;
}

// --- comments ---

std::string TUnZip::ReadCommentHere(std::uint16_t length) {
  std::string text(length, '\0');
  const std::int32_t got = FZipStream->Read(text.data(), length);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

void TUnZip::LoadEntryCommentHere(TZipHeaderInfo& entry) {
  FZipStream->Seek(entry.CentralHeaderOffset, 0);
  TCentralHeaderBytes header{};
  FZipStream->Read(header.data(), CentralHeaderSize);
  FZipStream->Seek(static_cast<std::int64_t>(ReadLe16(&header[central_header::FileNameLength])) +
                       ReadLe16(&header[central_header::ExtraFieldLength]),
                   1);
  const bool modified = FEndCentral.Modified;
  entry.SetFileComment(ReadCommentHere(entry.FileCommentLength));
  FEndCentral.Modified = modified;
}

std::string TUnZip::FileComment(std::int32_t index) {
  {
    const TZipHeaderInfo& entry = ViewEntry(index);
    if (entry.FileCommentLength == 0) return std::string();
    if (entry.FileComment()) return *entry.FileComment();
  }
  TCloseZipOnExit closer(*this);
  OpenZip();
  // Opening may have read the directory again; the entry is looked up afresh.
  TZipHeaderInfo& entry = ViewEntry(index);
  if (!entry.FileComment()) LoadEntryCommentHere(entry);
  return entry.FileComment().value_or(std::string());
}

void TUnZip::SetFileComment(std::int32_t index, const std::string& text) {
  TZipHeaderInfo& entry = ViewEntry(index);
  if (entry.FileComment().value_or(std::string()) == text) return;
  entry.SetFileComment(text);
  FEndCentral.Modified = true;
}

std::string TUnZip::ZipComment() {
  // An archive whose directory has not been read yet has not told its comment's length.
  if (!FFiles && !FZipName.empty()) {
    TCloseZipOnExit closer(*this);
    OpenZip();
  }
  if (FEndCentral.ZipCommentLength == 0) return std::string();
  if (FEndCentral.ZipComment) return *FEndCentral.ZipComment;
  TCloseZipOnExit closer(*this);
  OpenZip();
  FZipStream->Seek(FEndCentral.ZipCommentPos, 0);
  const bool modified = FEndCentral.Modified;
  FEndCentral.ZipComment = ReadCommentHere(FEndCentral.ZipCommentLength);
  FEndCentral.Modified = modified;
  return *FEndCentral.ZipComment;
}

void TUnZip::SetZipComment(const std::string& text) {
  if (FEndCentral.ZipComment.value_or(std::string()) == text) return;
  FEndCentral.ZipComment = text;
  FEndCentral.ZipCommentLength = static_cast<std::uint16_t>(text.size());
  FEndCentral.Modified = true;
}

}  // namespace qel::archive
