#include "installer/install_journal.h"

#include <utility>

#include "base/text.h"
#include "installer/registration.h"
#include "installer/setup_log.h"
#include "platform/process.h"

namespace qel::installer {

namespace {

// Set-aside files wait in a folder of the journal's own beside them: a move within one folder
// tree needs no room on the disk, and names the journal numbers itself cannot be the name of
// an archive entry that the same run writes.
constexpr const char* SetAsideFolderName = "~qel-setup-old";
constexpr const char* LineEnd = "\r\n";

// Deletes a file, read-only or not; true when it is gone.
bool Remove(const std::string& file) {
  const std::uint32_t attributes = platform::FileGetAttr(file);
  if (attributes == platform::InvalidFileAttributes) return true;
  if ((attributes & platform::faDirectory) != 0) return false;
  if ((attributes & platform::faReadOnly) != 0) platform::FileSetAttr(file, attributes & ~platform::faReadOnly);
  return platform::DeleteFile(file) || !platform::FileExists(file);
}

bool RemoveEmptyFolder(const std::string& folder) {
  return platform::RemoveDir(folder) || !platform::DirectoryExists(folder);
}

// The registry's saved state may hold any byte: it is written as hex digits.
std::string ToHex(const std::string& bytes) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    hex += Digits[b >> 4];
    hex += Digits[b & 15];
  }
  return hex;
}

bool FromHex(const std::string& hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  const auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = value(hex[i]);
    const int low = value(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

// The whole journal file; false when it cannot be read (or is held by a running install).
bool ReadJournal(const std::string& file, std::string& text, bool& inUse) {
  inUse = false;
  const platform::FileHandle handle = platform::FileOpen(file, platform::fmOpenRead | platform::fmShareDenyWrite);
  if (handle == platform::InvalidFileHandle) {
    inUse = platform::LastErrorCode() == platform::ErrorSharingViolation;
    return false;
  }
  char buffer[16384];
  for (;;) {
    const std::int32_t got = platform::FileRead(handle, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  platform::FileClose(handle);
  return true;
}

}  // namespace

TInstallJournal::TInstallJournal(std::string journalFile) : FJournalFile(std::move(journalFile)) {}

TInstallJournal::~TInstallJournal() {
  try {
    RollBack();
  } catch (...) {
    // Undoing is a best effort once nobody is left to hear about it.
  }
}

std::string TInstallJournal::Line(const TRecord& record) {
  const std::string aside = record.Step == TStep::Registry ? ToHex(record.Aside) : record.Aside;
  return std::string(1, static_cast<char>(record.Step)) + "\t" + record.Path + "\t" + aside + LineEnd;
}

// A line the run did not finish writing (its end is missing) is no record: its step was not
// taken, since every step waits for its record.
bool TInstallJournal::Parse(const std::string& line, TRecord& record) {
  const std::size_t first = line.find('\t');
  const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
  if (first != 1 || second == std::string::npos) return false;
  const char kind = line[0];
  record.Path = line.substr(2, second - 2);
  record.Aside = line.substr(second + 1);
  switch (kind) {
    case static_cast<char>(TStep::Folder): record.Step = TStep::Folder; break;
    case static_cast<char>(TStep::Created): record.Step = TStep::Created; break;
    case static_cast<char>(TStep::Replaced): record.Step = TStep::Replaced; break;
    case static_cast<char>(TStep::AsideFolder): record.Step = TStep::AsideFolder; break;
    case static_cast<char>(TStep::Registry): {
      record.Step = TStep::Registry;
      std::string state;
      if (!FromHex(record.Aside, state)) return false;
      record.Aside = std::move(state);
      break;
    }
    default: return false;
  }
  return !record.Path.empty();
}

void TInstallJournal::WriteLine(const std::string& line, bool forceToDisk) {
  if (FJournalFile.empty()) return;
  if (FFile == platform::InvalidFileHandle) {
    // No sharing: a second install cannot take this journal for one that was cut short.
    FFile = platform::FileCreate(FJournalFile);
    if (FFile == platform::InvalidFileHandle) return;  // the run goes on; only a kill would need it
  }
  platform::FileWrite(FFile, line.data(), static_cast<std::int32_t>(line.size()));
  if (forceToDisk) platform::FileFlushToDisk(FFile);
  platform::StopPointForTests();
}

void TInstallJournal::Record(TRecord record, bool forceToDisk) {
  WriteLine(Line(record), forceToDisk);
  FRecords.push_back(std::move(record));
}

void TInstallJournal::CloseFile(bool remove) {
  if (FFile != platform::InvalidFileHandle) {
    platform::FileClose(FFile);
    FFile = platform::InvalidFileHandle;
  }
  if (remove && !FJournalFile.empty()) platform::DeleteFile(FJournalFile);
}

void TInstallJournal::BeforeFolder(const std::string& folder) {
  std::vector<std::string> missing;
  for (std::string level = base::ExcludeTrailingBackslash(platform::ExpandFileName(folder));
       !level.empty() && !FFoldersToMake.count(base::UpperCase(level)) && !platform::DirectoryExists(level);
       level = base::ExtractFileDir(level)) {
    missing.push_back(level);
    if (base::ExtractFileDir(level) == level) break;  // a root that does not exist
  }
  // The outermost first, so that undo, which goes backwards, empties the deepest first.
  for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
    // Recorded once: a folder still to be made is as good as there for the folders below it.
    FFoldersToMake.insert(base::UpperCase(*level));
    Record({TStep::Folder, *level, {}});
  }
}

std::string TInstallJournal::SetAsideFolder(const std::string& folder) {
  for (const auto& [known, aside] : FSetAsideFolders) {
    if (base::SameText(known, folder)) return aside;
  }
  // A folder that exists already belongs to someone else (or to a run that was stopped).
  std::string aside = folder + "\\" + SetAsideFolderName;
  for (int number = 2; platform::FileGetAttr(aside) != platform::InvalidFileAttributes; ++number) {
    aside = folder + "\\" + SetAsideFolderName + "." + std::to_string(number);
  }
  // Recorded before it is made, and before the files that go into it, so an undo empties it
  // first and then removes it.
  Record({TStep::AsideFolder, aside, {}});
  if (!platform::CreateDir(aside)) return std::string();
  FSetAsideFolders.emplace_back(folder, aside);
  return aside;
}

bool TInstallJournal::BeforeFile(const std::string& file) {
  const std::uint32_t attributes = platform::FileGetAttr(file);
  if (attributes == platform::InvalidFileAttributes) {
    Created(file);
    return true;
  }
  if ((attributes & platform::faDirectory) != 0) return true;  // the write will fail on its own
  const std::string folder = SetAsideFolder(base::ExtractFileDir(platform::ExpandFileName(file)));
  if (folder.empty()) return false;
  const std::string aside = folder + "\\" + std::to_string(++FSetAsideCount);
  // A user's file is about to move: its record must outlast a power cut.
  Record({TStep::Replaced, file, aside}, true);
  if (platform::RenameFile(file, aside)) return true;
  FRecords.pop_back();  // the record stays in the file; its undo finds nothing set aside
  return false;
}

bool TInstallJournal::PutBack(const std::string& file) {
  for (auto record = FRecords.rbegin(); record != FRecords.rend(); ++record) {
    if (record->Step != TStep::Replaced || !base::SameText(record->Path, file)) continue;
    if (!Undo(*record)) return false;
    FRecords.erase(std::next(record).base());
    return true;
  }
  return true;
}

void TInstallJournal::Created(const std::string& file) { Record({TStep::Created, file, {}}); }

void TInstallJournal::BeforeRegistryChange(const std::string& what, const std::string& savedState) {
  Record({TStep::Registry, what, savedState}, true);
}

// Each undo may run again after a rollback that was cut short, and must then change nothing
// that the first one already put right.
bool TInstallJournal::Undo(const TRecord& record) {
  switch (record.Step) {
    case TStep::Folder:
    case TStep::AsideFolder: return RemoveEmptyFolder(record.Path);
    case TStep::Created: return Remove(record.Path);
    case TStep::Replaced:
      // Nothing set aside any more: the old file is back already (or never moved).
      if (platform::FileGetAttr(record.Aside) == platform::InvalidFileAttributes) return true;
      return Remove(record.Path) && platform::RenameFile(record.Aside, record.Path);
    case TStep::Registry: return RestoreRegistrationState(record.Aside);
  }
  return false;
}

// The log's line for an undo that changed something; the journal's own folder is no news.
void TInstallJournal::LogUndo(const TRecord& record) {
  switch (record.Step) {
    case TStep::Folder: LogChange(TLogChange::lcRemoved, TLogObject::loFolder, record.Path); return;
    case TStep::AsideFolder: return;
    case TStep::Created: LogChange(TLogChange::lcRemoved, TLogObject::loFile, record.Path); return;
    case TStep::Replaced: LogChange(TLogChange::lcRestored, TLogObject::loFile, record.Path); return;
    case TStep::Registry: SetupLog().Line("restored registry values as they were before: " + record.Path); return;
  }
}

// After an undo failed: whether its change is still there to see. A replaced file counts as
// long as the old one waits where it was set aside.
bool TInstallJournal::Stayed(const TRecord& record) {
  switch (record.Step) {
    case TStep::Folder:
    case TStep::AsideFolder:
    case TStep::Created: return platform::FileGetAttr(record.Path) != platform::InvalidFileAttributes;
    case TStep::Replaced: return platform::FileGetAttr(record.Aside) != platform::InvalidFileAttributes;
    case TStep::Registry: return true;
  }
  return true;
}

// What a commit leaves to do: the set-aside copies and their folders go. False when one stays
// (a program still running from the old file): the next start tries again.
bool TInstallJournal::Finish(const TRecord& record) {
  if (record.Step == TStep::Replaced) return Remove(record.Aside);
  if (record.Step == TStep::AsideFolder) return RemoveEmptyFolder(record.Path);
  return true;
}

void TInstallJournal::Commit() {
  WriteLine(std::string(1, CommitMark) + LineEnd, true);
  // The last first: the set-aside files go before the folder that holds them. A copy that
  // cannot go now keeps the journal, whose commit mark has the next start finish the job.
  bool finished = true;
  for (auto record = FRecords.rbegin(); record != FRecords.rend(); ++record) finished = Finish(*record) && finished;
  CloseFile(finished);
  FRecords.clear();
  FSetAsideFolders.clear();
  FFoldersToMake.clear();
}

std::vector<std::string> TInstallJournal::RollBack() {
  std::vector<std::string> left;
  // Nothing recorded and no file of this run open: nothing to undo, and a journal kept for
  // the next start (a commit still to finish) stays.
  if (FRecords.empty() && FFile == platform::InvalidFileHandle) return left;
  const auto undo = [](const TRecord& record) {
    try {
      return Undo(record);
    } catch (...) {
      return false;
    }
  };
  std::vector<const TRecord*> failed;
  for (auto record = FRecords.rbegin(); record != FRecords.rend(); ++record) {
    // Logged only when the undo had something to do: a step that never happened is no news.
    const bool there = record->Step == TStep::Registry ||
                       platform::FileGetAttr(record->Step == TStep::Replaced ? record->Aside : record->Path) !=
                           platform::InvalidFileAttributes;
    if (undo(*record)) {
      if (there) LogUndo(*record);
    } else {
      failed.push_back(&*record);
    }
    platform::StopPointForTests();
  }
  // A folder can refuse while something in it is still on its way out (a file that another
  // program held a moment longer): each is tried once more, deepest first as they failed, and
  // only what is really still there is reported.
  for (const TRecord* record : failed) {
    if (record->Step == TStep::Folder || record->Step == TStep::AsideFolder) undo(*record);
  }
  for (const TRecord* record : failed) {
    if (!Stayed(*record)) continue;
    left.push_back(record->Step == TStep::Folder || record->Step == TStep::AsideFolder ? record->Path + "\\"
                                                                                       : record->Path);
  }
  // A journal whose rollback left something stays for the next start to try again.
  CloseFile(left.empty());
  FRecords.clear();
  FSetAsideFolders.clear();
  FFoldersToMake.clear();
  return left;
}

TInstallJournal::TRecovery TInstallJournal::Recover(const std::string& journalFile) {
  TRecovery recovery;
  if (journalFile.empty() || !platform::FileExists(journalFile)) return recovery;
  std::string text;
  if (!ReadJournal(journalFile, text, recovery.InUse)) {
    recovery.Found = !recovery.InUse;
    return recovery;
  }
  recovery.Found = true;
  std::vector<TRecord> records;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find(LineEnd, start);
    if (end == std::string::npos) break;  // a record the run did not finish writing
    const std::string line = text.substr(start, end - start);
    start = end + 2;
    if (line.size() == 1 && line[0] == CommitMark) {
      recovery.Committed = true;
      continue;
    }
    TRecord record;
    if (Parse(line, record)) records.push_back(std::move(record));
  }
  TInstallJournal journal(journalFile);
  if (recovery.Committed) {
    bool finished = true;
    for (auto record = records.rbegin(); record != records.rend(); ++record) finished = Finish(*record) && finished;
    journal.CloseFile(finished);
    return recovery;
  }
  if (records.empty()) {
    platform::DeleteFile(journalFile);  // cut short before its first step
    return recovery;
  }
  journal.FRecords = std::move(records);
  recovery.Left = journal.RollBack();
  return recovery;
}

}  // namespace qel::installer
