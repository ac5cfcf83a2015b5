// The files this process holds open, with the access and sharing each open asked for, so
// the stand-in can refuse what Windows refuses with a sharing violation.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace qel::platform::posix {

struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  friend bool operator==(const TFileIdentity&, const TFileIdentity&) = default;
};

struct TOpenFile {
  TFileIdentity Identity;
  bool CanRead = false, CanWrite = false;      // the access of this open
  bool ShareRead = false, ShareWrite = false;  // what it lets other opens do
  // The size the file may grow to on its drive, -1 for no limit; looked up on the first write,
  // since most opens never write.
  char Drive = 0;
  bool SizeLimitKnown = false;
  std::int64_t SizeLimit = -1;
  // The descriptor's offset, which moves only through this program's calls on it: asking the
  // system for it would cost a call each time a stream wants its position. -1 once unknown.
  std::int64_t Position = 0;
};

// Records the open of descriptor fd unless an open of the same file conflicts with it:
// a new open must ask only for what every existing open shares, and must share
// everything an existing open already does. False (and the last error a sharing
// violation) on conflict.
bool RegisterOpenFile(int fd, const TOpenFile& file);
void UnregisterOpenFile(int fd);
// Replaces what is kept of a registered open (its size limit and position).
void UpdateOpenFile(int fd, const TOpenFile& file);
std::optional<TOpenFile> FindOpenFile(int fd);
// Whether any open of this process holds the file (which Windows will not delete or move).
bool IsFileOpen(const TFileIdentity& identity);

}  // namespace qel::platform::posix
