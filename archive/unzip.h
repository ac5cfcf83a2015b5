// The archive-reading component: names an archive, reads its directory lazily into a sorted
// list of entries, and extracts the selected entries below a destination directory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/end_central.h"
#include "archive/extraction.h"
#include "archive/lfn_file_stream.h"
#include "archive/sorted_zip.h"
#include "archive/unzip_errors.h"
#include "archive/unzip_types.h"
#include "archive/zip_header_info.h"
#include "base/date_time.h"
#include "base/object.h"
#include "base/stream.h"
#include "base/string_list.h"

namespace qel::archive {

class TUnZip : public base::TObject, private TExtractionAccess {
 public:
  // The archive file is opened with these modes: the archive itself may be read by others
  // meanwhile, a further disk of a multi-disk archive is held exclusively.
  static constexpr std::uint32_t ArchiveOpenMode = 0x20;
  static constexpr std::uint32_t DiskOpenMode = 0x00;
  static constexpr std::int32_t ComponentVersion = 210;

  explicit TUnZip(base::TObject* owner = nullptr);
  ~TUnZip() override;
  TUnZip(const TUnZip&) = delete;
  TUnZip& operator=(const TUnZip&) = delete;
  const char* ClassName() const noexcept override { return "TUnZip"; }

  // --- published properties, in their published order ---
  std::int32_t ThisVersion() const { return ComponentVersion; }
  void SetThisVersion(std::int32_t) {}
  const std::string& ZipName() const { return FZipName; }
  virtual void SetZipName(const std::string& value);
  const std::string& DestDir() const { return FDestDir; }
  void SetDestDir(const std::string& value);
  const std::string& RootDir() const { return FRootDir; }
  void SetRootDir(const std::string& value);
  TZipSortMode SortMode() const { return FSortMode; }
  void SetSortMode(TZipSortMode value) { FSortMode = value; }  // applied when the directory is next read
  bool RecreateDirs() const { return FRecreateDirs; }
  void SetRecreateDirs(bool value) { FRecreateDirs = value; }
  TUZOverwriteMode OverwriteMode() const { return FOverwriteMode; }
  void SetOverwriteMode(TUZOverwriteMode value) { FOverwriteMode = value; }
  base::TStringList& FilesList() { return FFilesList; }
  const base::TStringList& FilesList() const { return FFilesList; }
  void SetFilesList(const base::TStringList& value) { FFilesList.Assign(value); }
  bool DoAll() const { return FDoAll; }
  void SetDoAll(bool value) { FDoAll = value; }
  TIncompleteZipMode IncompleteZipMode() const { return FIncompleteZipMode; }
  void SetIncompleteZipMode(TIncompleteZipMode value) { FIncompleteZipMode = value; }
  bool KeepZipOpen() const { return FKeepZipOpen; }
  void SetKeepZipOpen(bool value) { FKeepZipOpen = value; }
  bool DoProcessMessages() const { return FDoProcessMessages; }
  void SetDoProcessMessages(bool value) { FDoProcessMessages = value; }
  bool RetainAttributes() const { return FRetainAttributes; }
  void SetRetainAttributes(bool value) { FRetainAttributes = value; }
  // UnZip tests the selected entries instead of extracting them: every entry is decoded and
  // its CRC checked with the same events, but no file or folder is created and nothing is
  // written anywhere (OnStartUnZip and OnEndUnZip name the entry as stored).
  bool TestOnly() const { return FTestOnly; }
  void SetTestOnly(bool value) { FTestOnly = value; }
  // The one password tried on every encrypted entry, kept between runs and archives. A program
  // that knows it sets it before extracting; OnBadPassword is asked only when it does not fit,
  // and a password that handler gives replaces it.
  const std::string& Password() const override { return FPassword; }
  void SetPassword(const std::string& value) override { FPassword = value; }

  // --- published events (empty when no handler is assigned) ---
  TStartUnzipInfo OnStartUnZipInfo;
  TFilePercentDone OnFilePercentDone;
  TTotalPercentDone OnTotalPercentDone;
  TStartUnZipEvent OnStartUnZip;
  TEndUnZipEvent OnEndUnZip;
  TPromptForOverwrite OnPromptForOverwrite;
  TSkippingFile OnSkippingFile;
  TBadPassword OnBadPassword;
  TBadCRC OnBadCRC;
  TIncompleteZip OnInCompleteZip;
  TGetNextDisk OnGetNextDisk;

  // --- multi-disk settings (the writing component keeps them in its own settings object) ---
  virtual bool CheckDiskLabels() const { return FCheckDiskLabels; }
  virtual void SetCheckDiskLabels(bool value) { FCheckDiskLabels = value; }
  virtual TMultiMode MultiMode() const { return FMultiMode; }
  virtual void SetMultiMode(TMultiMode value) { FMultiMode = value; }

  // --- operations ---
  // Opens the archive when it is not open and reads its directory unless it is current.
  void OpenZip();
  // Closes the archive unless KeepZipOpen.
  void CloseZip();
  // Forgets the archive: closes it, drops the entries and the name.
  void ClearZip();
  // Rebuilds the entry view in the given order and keeps the mode in SortMode.
  void Sort(TZipSortMode mode);
  // Switches the archive stream to disk n (counted from 1) of a multi-disk archive. Without an
  // OnGetNextDisk handler the disks are named as split archives name them: "name.z01",
  // "name.z02", ..., and the last disk is "name.zip" itself.
  TLFNFileStream& LoadDisk(std::int32_t n);

  // Extracts the selected entries; returns their number less those skipped or failed.
  std::int32_t UnZip();

  // Extracts the one entry of the view into the caller's stream, from its position on, as
  // TestOnly tests an entry: the same method, password dialogue, size bound and CRC check, the
  // same events in their order, the entry named as stored, and nothing on disk; the selection,
  // DestDir and the overwrite rules play no part. Opens the archive as UnZip does.
  // True when the entry came out right (a folder entry writes nothing and is true). False when
  // it was skipped or failed, as OnSkippingFile or OnBadCRC tell, or when OnStartUnZipInfo or
  // OnStartUnZip left it: the stream is then back where it stood and, when the entry was
  // added at its end, cut there. Raises what UnZip raises (a damaged archive, a missing disk),
  // what the stream raises when it refuses bytes, and EListError for an index out of range.
  bool UnZipToStream(std::int32_t index, base::TStream& out);
  // The entry's bytes, checked in the same way. Where UnZipToStream would return false this
  // raises EUnzipEntryError, naming the entry and why. The memory grows with the bytes decoded,
  // never past the size the entry declares; for entries larger than memory use UnZipToStream.
  std::vector<std::uint8_t> UnZipToMemory(std::int32_t index);

  // --- the entries, by index into the entry view ---
  // 0 until an operation has read the directory; it never opens the archive itself.
  std::int32_t Count() const;
  // The name as the program holds it: UTF-8 text, "\" separators, Pathname the directory
  // (with its closing "\", or empty) and Filename the rest.
  std::string Filename(std::int32_t index) const;
  std::string Pathname(std::int32_t index) const;
  // The same two parts: the program's text is UTF-8, so these are Pathname and Filename
  // themselves, kept for programs written when the names were held in an ANSI code page.
  std::string Utf8Filename(std::int32_t index) const;
  std::string Utf8Pathname(std::int32_t index) const;
  // The entry's date and time; the current date and time when the stored one is not valid.
  base::TDateTime DateTime(std::int32_t index) const;
  // Comments are read from the archive on first request and then kept.
  std::string FileComment(std::int32_t index);
  void SetFileComment(std::int32_t index, const std::string& text);
  std::string ZipComment();
  void SetZipComment(const std::string& text);
  // The entry itself (for listings: sizes, CRC, method).
  const TZipHeaderInfo& Entry(std::int32_t index) const;

  // The end record of the archive read last.
  const TEndCentral& EndCentral() const { return FEndCentral; }
  // True when the entries were found by scanning local headers rather than from the directory.
  bool ScannedLocalHeaders() const { return FScanned; }

 protected:
  // Reads the directory of the open archive.
  void ReadZip();
  // Rebuilds the entries from the local headers; false when none was found.
  bool ScanLocalHeaders();
  void TreatAsIncomplete(const std::string& message);
  bool FindDirectory();
  TZipSize ReadDirectory(bool merge);
  void ScanAndMerge();
  // The archive file's last-write time as the component compares it.
  base::TDateTime ArchiveFileDate() const;
  TZipHeaderInfo& ViewEntry(std::int32_t index) const;
  void CheckIndex(std::int32_t index) const;
  void ReleaseLists();
  void ReleaseArchiveStream();
  bool DiskLabelFits(std::int32_t disk) const;
  std::string DefaultDiskName(std::int32_t disk) const;
  // Reads a comment of length bytes at the current position of the archive stream.
  std::string ReadCommentHere(std::uint16_t length);
  void LoadEntryCommentHere(TZipHeaderInfo& entry);

  base::TObject* FOwner;
  std::string FZipName;
  std::string FDestDir;
  std::string FRootDir;
  TZipSortMode FSortMode = TZipSortMode::ByNone;
  bool FRecreateDirs = false;
  TUZOverwriteMode FOverwriteMode = TUZOverwriteMode::Prompt;
  base::TStringList FFilesList;
  bool FDoAll = false;
  TIncompleteZipMode FIncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
  bool FKeepZipOpen = false;
  bool FDoProcessMessages = true;
  bool FRetainAttributes = true;
  bool FTestOnly = false;

  std::unique_ptr<TLFNFileStream> FZipStream;
  std::unique_ptr<TSortedZip> FFiles;       // the main list; owns the entries
  std::unique_ptr<TSortedZip> FSortedView;  // a separate view, or none when the view is the main list
  TEndCentral FEndCentral;
  base::TDateTime FArchiveDate = 0;
  std::int64_t FArchiveSize = -1;  // with the date, tells a replaced archive file
  bool FScanned = false;
  TZipSize FDirectoryPrefix = 0;  // bytes of a self-extractor in front of the archive
  std::int32_t FCurrentDisk = 0;
  TMultiMode FMultiMode = TMultiMode::mmNone;
  bool FCheckDiskLabels = true;
  std::string FLastDiskName;  // the name of a split archive's last disk, for the default disk names
  std::string FPassword;      // tried on encrypted entries; set by the program or through OnBadPassword

 private:
  TSortedZip& View() const;

  // What an extraction run may do beyond the published surface.
  TLFNFileStream& ArchiveStream() override { return *FZipStream; }
  std::int32_t CurrentDisk() const override { return FCurrentDisk; }
  void SetSelected(std::int32_t index, bool selected) override { ViewEntry(index).Selected = selected; }
  std::vector<std::string> VolumeNames() const override;
};

}  // namespace qel::archive
