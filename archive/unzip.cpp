// Naming and opening an archive, reading its directory, the entry view and the comments.
#include "archive/unzip.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "archive/data_descriptor.h"
#include "archive/file_helpers.h"
#include "archive/stored_name.h"
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

// The order of the main list: by disk, then by local-header offset.
bool ComesFirstInPlace(const TZipHeaderInfo& a, const TZipHeaderInfo& b) {
  if (a.DiskNumberStart != b.DiskNumberStart) return a.DiskNumberStart < b.DiskNumberStart;
  return a.LocalHeaderOffset < b.LocalHeaderOffset;
}

bool SamePlace(const TZipHeaderInfo& a, const TZipHeaderInfo& b) {
  return a.DiskNumberStart == b.DiskNumberStart && a.LocalHeaderOffset == b.LocalHeaderOffset;
}

// Where an entry's local header and data end at the least: its fixed header and its compressed
// data. The local name and extra field may differ from the central header's and a data
// descriptor may follow, so they are left out: entries a writer laid out one after another
// never seem to overlap. Sizes are clamped to INT64_MAX when read, so the sum saturates.
TZipSize LeastEnd(const TZipHeaderInfo& entry) {
  const TZipSize dataStart = entry.LocalHeaderOffset + LocalHeaderSize;
  return entry.CompressedSize > INT64_MAX - dataStart ? INT64_MAX : dataStart + entry.CompressedSize;
}

// Marks every entry whose local header starts inside an entry accepted before it. byPlace is
// in the main list's order, records naming one local header in directory order. The accepted
// entries never share a byte, so no data is decoded twice however many records point into it
// (the zip bomb made of overlapping entries), and the first of them stays extractable.
void MarkOverlappingEntries(const std::vector<TZipHeaderInfo*>& byPlace) {
  std::int32_t disk = -1;
  TZipSize acceptedEnd = 0;
  for (TZipHeaderInfo* entry : byPlace) {
    if (entry->DiskNumberStart != disk) {
      disk = entry->DiskNumberStart;
      acceptedEnd = 0;
    }
    entry->OverlapsEarlierEntry = entry->LocalHeaderOffset < acceptedEnd;
    if (!entry->OverlapsEarlierEntry) acceptedEnd = LeastEnd(*entry);
  }
}

// Puts the directory's entries in the main list and marks those that overlap an earlier one.
void TakeEntries(TSortedZip& files, std::vector<std::unique_ptr<TZipHeaderInfo>> records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const auto& a, const auto& b) { return ComesFirstInPlace(*a, *b); });
  std::vector<TZipHeaderInfo*> byPlace;
  byPlace.reserve(records.size());
  for (const auto& record : records) byPlace.push_back(record.get());
  MarkOverlappingEntries(byPlace);
  // The list puts an entry before those at the same place already in it: each run of records
  // naming one local header goes in back to front, so the list keeps them in directory order.
  for (auto run = records.begin(); run != records.end();) {
    const auto runEnd =
        std::find_if(run, records.end(), [&](const auto& record) { return !SamePlace(**run, *record); });
    for (auto record = runEnd; record != run;) {
      --record;
      files.Add(record->get());
      record->release();
    }
    run = runEnd;
  }
}

// The entries rebuilt from the local headers take the sizes of the directory's view: checked
// again, as those of a directory read whole are.
void MarkOverlapsAfterMerge(const TSortedZip& files) {
  std::vector<TZipHeaderInfo*> byPlace;
  byPlace.reserve(static_cast<std::size_t>(files.Count()));
  for (std::int32_t i = 0; i < files.Count(); ++i) byPlace.push_back(files.Entry(i));
  MarkOverlappingEntries(byPlace);
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
  FScanned = false;
  FDirectoryPrefix = 0;
  if (!FEndCentral.FindEndCentral(*FZipStream)) {
    TreatAsIncomplete("Incomplete Zip File");
    ScanAndMerge();
    return;
  }
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
  if (!FindDirectory()) {
    // No directory where the end record says: the local headers are all there is.
    ScanAndMerge();
    return;
  }
  // Two records may name one local header: the later one is kept and marked, never an error.
  FFiles = std::make_unique<TSortedZip>(TDuplicateMode::dmAccept);
  const TZipSize read = ReadDirectory(false);
  if (read < FEndCentral.TotalEntries) {
    ReleaseLists();  // no half directory is left behind when this raises
    TreatAsIncomplete(base::Format("Incomplete Zip File: its central directory ends after %d of %d entries",
                                   {static_cast<long long>(read), static_cast<long long>(FEndCentral.TotalEntries)}));
    ScanAndMerge();
    return;
  }
  if (FEndCentral.ThisDisk != 0 && FEndCentral.HasComment()) {
    if (FCurrentDisk != FEndCentral.ThisDisk) LoadDisk(FEndCentral.ThisDisk + 1);
    FZipStream->Seek(FEndCentral.ZipCommentPos, 0);
    FEndCentral.ZipComment = ReadCommentHere(FEndCentral.ZipCommentLength);
  }
  FCurrentDisk = FEndCentral.ThisDisk;
  Sort(FSortMode);
}

// An archive whose directory cannot be read whole: the handler of OnInCompleteZip may say how
// to take it; assumed to be one disk of several, it is an error, assumed damaged, its entries
// are rebuilt from the local headers.
void TUnZip::TreatAsIncomplete(const std::string& message) {
  if (OnInCompleteZip) OnInCompleteZip(*this, FIncompleteZipMode);
  if (FIncompleteZipMode == TIncompleteZipMode::izAssumeMulti) throw EIncompleteZip(message);
}

// Places the stream on the first central header. A self-extractor puts its program in front of
// the archive without changing the offsets inside: the bytes between where the directory ends
// and where its size and offset say it should end are that program, and every offset moves by
// as much.
bool TUnZip::FindDirectory() {
  const auto startsDirectory = [this](TZipSize at) {
    std::uint8_t signature[4] = {};
    if (at < 0) return false;
    FZipStream->Seek(at, 0);
    return FZipStream->Read(signature, 4) == 4 && ReadLe32(signature) == CentralHeaderSignature;
  };
  if (startsDirectory(FEndCentral.CentralDirOffset)) {
    FZipStream->Seek(FEndCentral.CentralDirOffset, 0);
    return true;
  }
  const TZipSize prefix = FEndCentral.DirectoryEnd() - FEndCentral.CentralDirSize - FEndCentral.CentralDirOffset;
  if (FEndCentral.ThisDisk != 0 || prefix <= 0 || !startsDirectory(FEndCentral.CentralDirOffset + prefix)) return false;
  FDirectoryPrefix = prefix;
  FZipStream->Seek(FEndCentral.CentralDirOffset + prefix, 0);
  return true;
}

// Reads central headers from the stream's position: as many as the end record counts, and on
// a single disk also those that follow up to the directory's end (a writer that counted more
// than 65535 entries in 16 bits). merge: the entries came from the local headers; the
// directory's view of each replaces the scanned one at the same offset; otherwise the entries
// go into the main list, those overlapping an earlier one marked. Returns the number of
// headers read.
TZipSize TUnZip::ReadDirectory(bool merge) {
  const bool spansDisks = !merge && MultiMode() != TMultiMode::mmNone;
  TNextDiskFunc nextDisk;
  if (spansDisks) nextDisk = [this]() -> base::TStream* { return &LoadDisk(FCurrentDisk + 2); };
  const TZipSize directoryEnd = FDirectoryPrefix + FEndCentral.CentralDirOffset + FEndCentral.CentralDirSize;
  std::vector<std::unique_ptr<TZipHeaderInfo>> records;  // in directory order
  TZipSize read = 0;
  for (;;) {
    const bool counted = read < FEndCentral.TotalEntries;
    if (!counted && (spansDisks || FZipStream->Position() >= directoryEnd)) break;
    auto header = std::make_unique<TZipHeaderInfo>();
    if (!header->ReadCentral(*FZipStream, nextDisk)) break;
    ++read;
    header->LocalHeaderOffset += FDirectoryPrefix;
    if (merge) {
      std::int32_t index = 0;
      if (FFiles->Find(header.get(), index)) {
        TZipHeaderInfo& entry = *FFiles->Entry(index);
        const TZipSize scannedOffset = entry.LocalHeaderOffset;
        entry.Assign(*header);
        entry.LocalHeaderOffset = scannedOffset;
      }
      continue;
    }
    if (FEndCentral.ThisDisk != 0 && header->HasComment()) LoadEntryCommentHere(*header);
    records.push_back(std::move(header));
  }
  if (!merge) TakeEntries(*FFiles, std::move(records));
  return read;
}

// Rebuilds the entries from the local headers, then takes what the directory still knows.
void TUnZip::ScanAndMerge() {
  platform::SetScreenCursor(platform::TCursorKind::crHourGlass);
  const bool found = ScanLocalHeaders();
  platform::SetScreenCursor(platform::TCursorKind::crDefault);
  if (found) {
    ReadDirectory(true);
    MarkOverlapsAfterMerge(*FFiles);
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
  const std::function<void()> breathe = [this] {
    if (FDoProcessMessages) platform::ProcessMessages();
  };
  for (;;) {
    auto header = std::make_unique<TZipHeaderInfo>();
    if (!header->ReadLocal(stream)) break;
    const TZipSize headerStart = header->LocalHeaderOffset;
    std::string extra(header->ExtraFieldLength, '\0');
    if (stream.Read(extra.data(), header->ExtraFieldLength) != header->ExtraFieldLength) break;
    const bool zip64 = header->CompressedSize == Zip64Marker32 || header->UncompressedSize == Zip64Marker32;
    header->ApplyExtraField(reinterpret_cast<const std::uint8_t*>(extra.data()), extra.size());
    const TZipSize dataStart = stream.Position();
    TZipSize next = dataStart + header->CompressedSize;
    if (header->HasDataDescriptor()) {
      // A streaming writer knew neither sizes nor CRC when it wrote the header: they follow the
      // data, whose end has to be found. Where the header has them, the descriptor is stepped over.
      const std::optional<TDataDescriptor> descriptor =
          header->CompressedSize == 0 ? FindDataDescriptor(stream, dataStart, breathe)
                                      : ReadDataDescriptorAt(stream, next, zip64);
      if (descriptor && header->CompressedSize == 0) {
        header->Crc32 = descriptor->Crc32;
        header->CompressedSize = descriptor->CompressedSize;
        header->UncompressedSize = descriptor->UncompressedSize;
      }
      if (descriptor) next = descriptor->End;
    }
    FFiles->Add(header.get());
    header.release();
    // A damaged size that would lead back to this header or before it ends the scan instead of
    // finding the same headers again.
    if (next <= headerStart) break;
    stream.Seek(next, 0);
  }
  FEndCentral.ThisDisk = 0;
  FCurrentDisk = 0;
  // The directory, if any survives, follows the last entry; its size is unknown.
  FEndCentral.CentralDirOffset = stream.Position() - FDirectoryPrefix;
  FEndCentral.CentralDirSize = 0;
  FEndCentral.TotalEntries = FFiles->Count();
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

std::vector<std::string> TUnZip::VolumeNames() const {
  std::vector<std::string> names = {FZipName};
  if (!OnGetNextDisk) {
    for (std::int32_t disk = 1; disk <= FEndCentral.ThisDisk + 1; ++disk) names.push_back(DefaultDiskName(disk));
  }
  return names;
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

bool TUnZip::UnZipToStream(std::int32_t index, base::TStream& out) {
  TCloseZipOnExit closer(*this);
  OpenZip();
  return ExtractEntry(*this, *this, index, out).Extracted;
}

std::vector<std::uint8_t> TUnZip::UnZipToMemory(std::int32_t index) {
  TCloseZipOnExit closer(*this);
  OpenZip();
  std::vector<std::uint8_t> bytes;
  const TEntryOutcome outcome = ExtractEntry(*this, *this, index, bytes);
  if (!outcome.Extracted) {
    const TZipHeaderInfo& entry = ViewEntry(index);
    throw EUnzipEntryError(
        base::Format("Cannot extract \"%s\": %s", {entry.Directory() + entry.FileName(), outcome.Failure}));
  }
  return bytes;
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

std::string TUnZip::Utf8Filename(std::int32_t index) const { return Filename(index); }
std::string TUnZip::Utf8Pathname(std::int32_t index) const { return Pathname(index); }

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
