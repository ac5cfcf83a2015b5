// File handles: reading and writing, the sharing rules of Windows, file times.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/scratch.h"

namespace qel::platform {
namespace {

using qel::testing::ScratchDir;

// A handle that is closed at the end of the test, whatever happens.
class TOpenHandle final {
 public:
  explicit TOpenHandle(FileHandle handle) : FHandle(handle) {}
  ~TOpenHandle() {
    if (FHandle != InvalidFileHandle) FileClose(FHandle);
  }
  TOpenHandle(const TOpenHandle&) = delete;
  TOpenHandle& operator=(const TOpenHandle&) = delete;
  FileHandle Get() const { return FHandle; }
  bool Valid() const { return FHandle != InvalidFileHandle; }

 private:
  FileHandle FHandle;
};

std::string ReadAll(FileHandle handle) {
  std::string bytes;
  char buffer[64];
  for (std::int32_t got; (got = FileRead(handle, buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
  return bytes;
}

constexpr std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<std::uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) |
                                    (second / 2));
}

TEST(Files, WriteSeekReadAndTruncateKeepTheBytesInPlace) {
  ScratchDir dir;
  {
    TOpenHandle file(FileCreate(dir.Path() + "data.bin"));
    ASSERT_TRUE(file.Valid()) << LastErrorText();
    EXPECT_EQ(FileWrite(file.Get(), "0123456789", 10), 10);
    EXPECT_EQ(FileSeek(file.Get(), -4, 2), 6);
    EXPECT_EQ(ReadAll(file.Get()), "6789");
    EXPECT_EQ(FileSeek(file.Get(), 3, 0), 3);
    EXPECT_EQ(FileSeek(file.Get(), 2, 1), 5);
    EXPECT_EQ(FileSeek(file.Get(), -10, 1), -1) << "a seek before the start fails";
    EXPECT_EQ(FileSeek(file.Get(), 0, 3), -1) << "origin 3 does not exist";
    EXPECT_EQ(FileSeek(file.Get(), 3, 0), 3);
    EXPECT_TRUE(FileTruncate(file.Get()));
    EXPECT_EQ(FileSeek(file.Get(), 0, 2), 3);
  }
  EXPECT_EQ(dir.Read("data.bin"), "012");
}

// The stand-in keeps the offset itself; asking for it must give what the calls made of it.
TEST(Files, TheCurrentPositionFollowsEveryReadWriteAndSeek) {
  ScratchDir dir;
  TOpenHandle file(FileCreate(dir.Path() + "data.bin"));
  ASSERT_TRUE(file.Valid()) << LastErrorText();
  EXPECT_EQ(FileSeek(file.Get(), 0, 1), 0);
  EXPECT_EQ(FileWrite(file.Get(), "0123456789", 10), 10);
  EXPECT_EQ(FileSeek(file.Get(), 0, 1), 10);
  EXPECT_EQ(FileSeek(file.Get(), 4, 0), 4);
  char bytes[3] = {};
  EXPECT_EQ(FileRead(file.Get(), bytes, 3), 3);
  EXPECT_EQ(FileSeek(file.Get(), 0, 1), 7);
  EXPECT_EQ(FileRead(file.Get(), bytes, 3), 3);
  EXPECT_EQ(FileRead(file.Get(), bytes, 3), 0) << "at the end";
  EXPECT_EQ(FileSeek(file.Get(), 0, 1), 10);
  EXPECT_EQ(FileSeek(file.Get(), -11, 1), -1);
  EXPECT_EQ(FileSeek(file.Get(), 0, 1), 10) << "a failed seek leaves the position";
}

TEST(Files, CreateEmptiesAnExistingFile) {
  ScratchDir dir;
  dir.Write("old.txt", "old contents");
  { TOpenHandle file(FileCreate(dir.Path() + "old.txt")); ASSERT_TRUE(file.Valid()) << LastErrorText(); }
  EXPECT_EQ(dir.Read("old.txt"), "");
}

TEST(Files, FailuresReportTheSystemsErrors) {
  ScratchDir dir;
  dir.Write("present.txt", "x");
  const std::string present = dir.Path() + "present.txt";
  struct TCase {
    const char* What;
    std::function<FileHandle()> Call;
    std::uint32_t Error;
  };
  const TCase cases[] = {
      {"missing file", [&] { return FileOpen(dir.Path() + "missing.txt", fmOpenRead); }, ErrorFileNotFound},
      {"missing folder", [&] { return FileOpen(dir.Path() + "none\\present.txt", fmOpenRead); }, ErrorPathNotFound},
      {"create in a missing folder", [&] { return FileCreate(dir.Path() + "none\\new.txt"); }, ErrorPathNotFound},
      {"access bits 3", [&] { return FileOpen(present, 0x03); }, ErrorInvalidParameter},
      {"sharing bits 0x50", [&] { return FileOpen(present, 0x50); }, ErrorInvalidParameter},
      {"a folder is no file", [&] { return FileOpen(dir.Path(), fmOpenRead); }, ErrorAccessDenied},
      {"a wildcard in a name", [&] { return FileCreate(dir.Path() + "a?b.txt"); }, ErrorInvalidName},
  };
  for (const TCase& c : cases) {
    TOpenHandle file(c.Call());
    EXPECT_FALSE(file.Valid()) << c.What;
    EXPECT_EQ(LastErrorCode(), c.Error) << c.What;
  }
  EXPECT_EQ(FileOpen(dir.Path() + "missing.txt", fmOpenRead), InvalidFileHandle);
#ifdef _WIN32
  EXPECT_FALSE(LastErrorText().empty());  // the system's own words, which differ between versions
#else
  EXPECT_EQ(LastErrorText(), "The system cannot find the file specified.");
#endif
  EXPECT_EQ(FileRead(InvalidFileHandle, nullptr, 0), -1) << "no handle, no read";
}

TEST(Files, SharingRulesDecideWhoMayOpenAFileThatIsOpen) {
  ScratchDir dir;
  dir.Write("shared.txt", "keep me");
  const std::string name = dir.Path() + "shared.txt";
  struct TCase {
    std::uint32_t First, Second;
    bool SecondOpens;
  };
  const TCase cases[] = {
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},   // two readers
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},    // a reader letting others write
      {fmOpenRead | fmShareDenyWrite, fmOpenWrite | fmShareDenyNone, false},  // writing is denied
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareExclusive, false},  // would deny the first its reading
      {fmOpenRead, fmOpenRead | fmShareDenyNone, false},                      // compatibility mode shares nothing
      {fmOpenReadWrite | fmShareDenyNone, fmOpenWrite | fmShareDenyNone, true},
      {fmOpenWrite | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
      {fmOpenWrite | fmShareDenyRead, fmOpenWrite | fmShareDenyNone, true},
  };
  for (const TCase& c : cases) {
    TOpenHandle first(FileOpen(name, c.First));
    ASSERT_TRUE(first.Valid()) << std::hex << c.First << " " << LastErrorText();
    TOpenHandle second(FileOpen(name, c.Second));
    EXPECT_EQ(second.Valid(), c.SecondOpens) << std::hex << c.First << " then " << c.Second;
    if (!c.SecondOpens) {
      EXPECT_EQ(LastErrorCode(), ErrorSharingViolation);
    }
  }
}

TEST(Files, AFileBeingReadIsNeitherEmptiedNorDeleted) {
  ScratchDir dir;
  dir.Write("archive.zip", "PK contents");
  const std::string name = dir.Path() + "archive.zip";
  {
    TOpenHandle reader(FileOpen(name, fmOpenRead | fmShareDenyWrite));
    ASSERT_TRUE(reader.Valid()) << LastErrorText();
    TOpenHandle writer(FileCreate(name));
    EXPECT_FALSE(writer.Valid());
    EXPECT_EQ(LastErrorCode(), ErrorSharingViolation);
#ifndef _WIN32
    EXPECT_EQ(LastErrorText(), "The process cannot access the file because it is being used by another process.");
#endif
    EXPECT_FALSE(DeleteFile(name));
    EXPECT_EQ(LastErrorCode(), ErrorSharingViolation);
    EXPECT_EQ(ReadAll(reader.Get()), "PK contents");
  }
  EXPECT_EQ(dir.Read("archive.zip"), "PK contents");
  TOpenHandle writer(FileCreate(name));
  EXPECT_TRUE(writer.Valid()) << "once the reader has gone, the file can be created again";
}

TEST(Files, LastWriteTimeRoundTripsAsMsDosDateAndTime) {
  ScratchDir dir;
  const std::string name = dir.Path() + "dated.txt";
  const std::uint32_t stamps[] = {
      DosDateTime(1980, 1, 1, 0, 0, 0),    // the first moment an MS-DOS date can hold
      DosDateTime(2001, 2, 3, 4, 5, 6),
      DosDateTime(2024, 2, 29, 23, 59, 58),  // a leap day, the last even second
      DosDateTime(2038, 7, 1, 12, 0, 0),   // beyond 32-bit time_t
  };
  for (const std::uint32_t stamp : stamps) {
    {
      TOpenHandle file(FileCreate(name));
      ASSERT_TRUE(file.Valid()) << LastErrorText();
      EXPECT_TRUE(FileSetDate(file.Get(), stamp)) << std::hex << stamp << " " << LastErrorText();
    }
    TOpenHandle file(FileOpen(name, fmOpenRead | fmShareDenyWrite));
    EXPECT_EQ(FileGetDate(file.Get()), static_cast<std::int64_t>(stamp)) << std::hex << stamp;
#ifndef _WIN32
    // Windows asks for write access to set a time; Wine does not check, so only the stand-in is held to it.
    EXPECT_FALSE(FileSetDate(file.Get(), stamp)) << "a handle open for reading cannot set the time";
#endif
  }
}

#ifndef _WIN32
// The stand-in's own checks, which Windows makes in DosDateTimeToFileTime.
TEST(Files, ImpossibleDatesAreRefused) {
  ScratchDir dir;
  TOpenHandle file(FileCreate(dir.Path() + "dated.txt"));
  ASSERT_TRUE(file.Valid());
  for (const std::uint32_t stamp : {DosDateTime(2001, 0, 1, 0, 0, 0), DosDateTime(2001, 13, 1, 0, 0, 0),
                                    DosDateTime(2001, 2, 29, 0, 0, 0), DosDateTime(2001, 1, 0, 0, 0, 0),
                                    DosDateTime(2001, 1, 1, 24, 0, 0), DosDateTime(2001, 1, 1, 0, 60, 0)}) {
    EXPECT_FALSE(FileSetDate(file.Get(), stamp)) << std::hex << stamp;
    EXPECT_EQ(LastErrorCode(), ErrorInvalidParameter);
  }
}
#endif

}  // namespace
}  // namespace qel::platform
