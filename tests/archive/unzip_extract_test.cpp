// Extraction: the events and their order, selection, overwrite policy, passwords, hostile
// names, and byte-for-byte results on archives made by real programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <vector>

#include "archive/codecs/zip_cipher.h"
#include "archive/unzip.h"
#include "base/format.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "platform/unix_files.h"
#include "support/exception_message.h"
#include "support/fixture_archives.h"
#include "support/limited_drive.h"
#include "support/scratch.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

using testing::Bytes;
using testing::MessageOf;
using testing::ScratchDir;
using testing::ZipBuilder;
using testing::ZipEntry;

const std::string FixtureDir = testing::FixtureDir();
using testing::FixtureArchives;

// Records every event as one line, so a scenario's whole sequence compares at once.
struct EventLog {
  std::vector<std::string> Lines;
  bool SkipStart = false;
  bool StopNow = false;
  std::vector<std::string> Passwords;  // handed out by OnBadPassword, one per call

  void Attach(TUnZip& zip, const std::string& root) {
    auto shortName = [root](const std::string& name) {
      return name.compare(0, root.size(), root) == 0 ? name.substr(root.size()) : "?" + name;
    };
    zip.OnStartUnZipInfo = [this](base::TObject&, std::int32_t n, std::int64_t total, bool& stop) {
      Lines.push_back(base::Format("info %d %d", {n, total}));
      stop = StopNow;
    };
    zip.OnStartUnZip = [this, shortName](base::TObject&, std::int32_t i, const std::string& name, bool& skip) {
      Lines.push_back(base::Format("start %d %s", {i, shortName(name)}));
      skip = SkipStart;
    };
    zip.OnFilePercentDone = [this](base::TObject&, std::int32_t p) { Lines.push_back(base::Format("file %d", {p})); };
    zip.OnTotalPercentDone = [this](base::TObject&, std::int32_t p) { Lines.push_back(base::Format("total %d", {p})); };
    zip.OnEndUnZip = [this, shortName](base::TObject&, std::int32_t i, const std::string& name) {
      Lines.push_back(base::Format("end %d %s", {i, shortName(name)}));
    };
    zip.OnSkippingFile = [this](base::TObject&, TSkipReason reason, std::int32_t i) {
      const std::string why = reason == TSkipReason::srBadPassword   ? "password"
                              : reason == TSkipReason::srNoOverwrite ? "overwrite"
                                                                     : SkipReasonText(reason);
      Lines.push_back(base::Format("skip %s %d", {why, i}));
    };
    zip.OnBadCRC = [this](base::TObject&, std::int32_t calc, std::int32_t stored, std::int32_t i) {
      Lines.push_back(base::Format("badcrc %x %x %d", {calc, stored, i}));
    };
  }
  void AttachPasswords(TUnZip& zip) {
    zip.OnBadPassword = [this](base::TObject&, std::int32_t i, std::string& password) {
      Lines.push_back(base::Format("password %d %s", {i, password}));
      if (!Passwords.empty()) {
        password = Passwords.front();
        Passwords.erase(Passwords.begin());
      }
    };
  }
};

class Extraction : public ::testing::Test {
 public:
  void SetUp() override {
    Out = Scratch.Path() + "out";
    platform::TDialogScript::Start();
  }
  void TearDown() override { platform::TDialogScript::Stop(); }

  std::string Archive(const ZipBuilder& builder) {
    const std::string path = Scratch.Path() + "in.zip";
    builder.WriteToFile(path);
    return path;
  }
  // A component on the archive, extracting into out\ with every event recorded.
  std::unique_ptr<TUnZip> Component(const ZipBuilder& builder) {
    auto zip = std::make_unique<TUnZip>();
    zip->SetZipName(Archive(builder));
    zip->SetDestDir(Out);
    zip->SetDoAll(true);
    zip->SetRecreateDirs(true);
    Log.Attach(*zip, Out + "\\");
    return zip;
  }
  std::string Output(const std::string& rel) const { return Scratch.Read("out/" + rel); }
  bool Exists(const std::string& rel) const { return platform::FileExists(Out + "\\" + rel); }

  ScratchDir Scratch;
  std::string Out;
  EventLog Log;
};

TEST_F(Extraction, EventsComeInTheirOrder) {
  struct Scenario {
    const char* Name;
    std::function<void(ZipBuilder&)> Build;
    std::function<void(Extraction&, TUnZip&)> Configure;
    std::int32_t Result;
    std::vector<std::string> Events;
  };
  const auto twoFiles = [](ZipBuilder& b) {
    b.AddStored("a.txt", "alpha");
    b.AddStored("docs/b.txt", "beta, longer");
  };
  const std::vector<Scenario> scenarios = {
      {"plain", twoFiles, nullptr, 2,
       {"info 2 17", "start 0 a.txt", "file 100", "total 29", "end 0 a.txt", "start 1 docs\\b.txt", "file 100",
        "total 100", "end 1 docs\\b.txt"}},
      {"stop before the first entry", twoFiles, [](Extraction& t, TUnZip&) { t.Log.StopNow = true; }, 2,
       {"info 2 17"}},
      {"no masks, not all", twoFiles, [](Extraction&, TUnZip& z) { z.SetDoAll(false); }, 0, {"info 0 0"}},
      {"masks select by name alone or by path",
       [&](ZipBuilder& b) {
         twoFiles(b);
         b.AddStored("docs/README.TXT", "r");
         b.AddStored("other/readme.txt", "s");
       },
       [](Extraction&, TUnZip& z) {
         z.SetDoAll(false);
         z.FilesList().Add("b.*");
         z.FilesList().Add("docs\\read*.txt");
       },
       2, {"info 2 13", "start 1 docs\\b.txt", "file 100", "total 92", "end 1 docs\\b.txt",
           "start 2 docs\\README.TXT", "file 100", "total 100", "end 2 docs\\README.TXT"}},
      {"a damaged entry",
       [](ZipBuilder& b) {
         ZipEntry e;
         e.Name = "bad.txt";
         e.Data = testing::ToBytes("payload");
         e.Crc = 0x12345678;
         b.Add(e);
         b.AddStored("good.txt", "fine");
       },
       nullptr, 1,
       {"info 2 11", "start 0 bad.txt", "file 100", "total 64", "badcrc 422C6A15 12345678 0", "start 1 good.txt",
        "file 100", "total 100", "end 1 good.txt"}},
      {"directory entries",
       [](ZipBuilder& b) {
         b.AddStored("tree/", "");
         b.AddStored("tree/leaf.txt", "leaf");
       },
       nullptr, 2,
       {"info 2 4", "start 0 tree\\", "start 1 tree\\leaf.txt", "file 100", "total 100", "end 1 tree\\leaf.txt"}},
      {"directory entries without directories",
       [](ZipBuilder& b) {
         b.AddStored("tree/", "");
         b.AddStored("tree/leaf.txt", "leaf");
       },
       [](Extraction&, TUnZip& z) { z.SetRecreateDirs(false); }, 1,
       {"info 1 4", "start 1 leaf.txt", "file 100", "total 100", "end 1 leaf.txt"}},
      {"an empty entry", [](ZipBuilder& b) { b.AddStored("empty.txt", ""); }, nullptr, 1,
       {"info 1 0", "start 0 empty.txt", "end 0 empty.txt"}},
      {"unknown method",
       [](ZipBuilder& b) {
         ZipEntry e;
         e.Name = "odd.bin";
         e.Data = testing::ToBytes("xyz");
         e.Method = 7;
         b.Add(e);
       },
       nullptr, 0, {"info 1 3", "skip unsupported compression method 0"}},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.Name);
    Log = EventLog();
    ZipBuilder builder;
    s.Build(builder);
    auto zip = Component(builder);
    if (s.Configure) s.Configure(*this, *zip);
    EXPECT_EQ(zip->UnZip(), s.Result);
    EXPECT_EQ(Log.Lines, s.Events);
    std::filesystem::remove_all(Scratch.PosixPath() + "/out");
  }
}

// The password is typed in UTF-8; Info-ZIP keyed this entry with the Windows-1252 bytes.
TEST_F(Extraction, APasswordFitsInTheCodePageTheArchiverUsed) {
  if (platform::AnsiCodePage() != 1252) GTEST_SKIP() << "the archive's password is Windows-1252";
  TUnZip zip;
  zip.SetZipName(testing::DataPath("cipher/infozip_high_password.zip"));
  zip.SetDestDir(Out);
  zip.SetDoAll(true);
  zip.SetPassword("p\xC3\xA4ss");
  EXPECT_EQ(zip.UnZip(), 1);
  EXPECT_EQ(Output(zip.Filename(0)), "Qel Orvane cipher check\n");
}

TEST_F(Extraction, UnknownMethodIsReportedInABox) {
  ZipBuilder b;
  ZipEntry e;
  e.Name = "odd.bin";
  e.Data = testing::ToBytes("xyz");
  e.Method = 7;
  b.Add(e);
  auto zip = Component(b);
  zip->OnSkippingFile = nullptr;  // without a handler the component tells it in a box
  EXPECT_EQ(zip->UnZip(), 0);
  ASSERT_EQ(platform::TDialogScript::Shown().size(), 1u);
  EXPECT_EQ(platform::TDialogScript::Shown()[0].Text, "Unknown Compression Method");
  EXPECT_EQ(platform::TDialogScript::Shown()[0].Caption, "Zip Error");
  EXPECT_FALSE(Exists("odd.bin")) << "the failed file is deleted";
}

// A stream its decoder cannot read is skipped as damaged, not reported as a CRC error; its
// file goes, and the entries after it come out.
// A final stored deflate block of 20 bytes.
Bytes TooLongStream() {
  Bytes stream(5 + 20, 'z');
  const std::uint8_t header[] = {0x01, 20, 0, 0xEB, 0xFF};
  std::copy(std::begin(header), std::end(header), stream.begin());
  return stream;
}

TEST_F(Extraction, DamagedStreamsAreSkippedAsDamaged) {
  struct Damaged {
    const char* Name;
    std::uint16_t Method;
    Bytes Stream;
    std::vector<std::string> Progress;  // of what the decoder wrote before it stopped
  };
  const Damaged streams[] = {
      {"block-type-3.txt", 8, {0x07}, {}},
      {"bad-code.txt", 8, {0x1B, 0x03}, {}},  // a fixed block naming length code 286
      {"bad-tree.txt", 6, {0x00, 0x00}, {}},  // a length tree of one code instead of 64
      // Codes 300, 301: the first byte is out, then the chain would run without end.
      {"bad-chain.txt", 1, {0x2C, 0x5B, 0x06, 0x01}, {"file 14", "total 3"}},
      // A stored block of 20 bytes under a declared size of 7: what passes the size is never
      // written, and the entry is damaged though its stream is sound.
      {"too-long.txt", 8, TooLongStream(), {"file 100", "total 21"}},
  };
  ZipBuilder b;
  std::vector<std::string> expected = {"info 6 39"};
  std::int32_t index = 0;
  for (const Damaged& d : streams) {
    ZipEntry e;
    e.Name = d.Name;
    e.Data = testing::ToBytes("payload");
    e.Compressed = d.Stream;
    e.Method = d.Method;
    b.Add(e);
    expected.push_back(base::Format("start %d %s", {index, d.Name}));
    expected.insert(expected.end(), d.Progress.begin(), d.Progress.end());
    expected.push_back(base::Format("skip compressed data damaged %d", {index++}));
  }
  b.AddStored("good.txt", "fine");
  for (const char* line : {"start 5 good.txt", "file 100", "total 31", "end 5 good.txt"}) expected.push_back(line);
  auto zip = Component(b);
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Log.Lines, expected);
  for (const Damaged& d : streams) EXPECT_FALSE(Exists(d.Name)) << d.Name;
  EXPECT_EQ(Output("good.txt"), "fine");
}

// Deflate64 entries of 7-Zip: far.bin's copies lie 40 and 52 KB back, beyond deflate's window.
// far.bin is made again here as make_fixtures.py made it; readme.txt is held to its CRC.
Bytes FarBin() {
  std::uint32_t seed = 64;
  Bytes block(4096);
  for (std::uint8_t& b : block) {
    seed = seed * 1103515245u + 12345u;
    b = (seed >> 16) % 2 == 0 ? 'a' : 'b';
  }
  Bytes far = block;
  far.insert(far.end(), 36864, '-');
  far.insert(far.end(), block.begin(), block.end());
  far.insert(far.end(), 49152, '=');
  far.insert(far.end(), block.begin(), block.end());
  return far;
}

TEST_F(Extraction, Deflate64EntriesExtractToTheirBytes) {
  TUnZip zip;
  zip.SetZipName(testing::DataPath("deflate64/deflate64.zip"));
  zip.SetDestDir(Out);
  zip.SetDoAll(true);
  Log.Attach(zip, Out + "\\");
  EXPECT_EQ(zip.UnZip(), 2);
  for (const std::string& line : Log.Lines) {
    EXPECT_NE(line.rfind("skip", 0) == 0 || line.rfind("badcrc", 0) == 0, true) << line;
  }
  const Bytes far = FarBin();
  EXPECT_TRUE(Output("far.bin") == std::string(far.begin(), far.end()));
  EXPECT_EQ(Output("readme.txt").size(), 4117u);

  // A fixed block of one literal and a match at distance code 31, 49 153 bytes back.
  ZipBuilder b;
  ZipEntry e;
  e.Name = "far-back.txt";
  e.Data = testing::ToBytes("payload");
  e.Compressed = {0x4B, 0x04, 0x7E, 0x00, 0x00, 0x00};
  e.Method = 9;
  b.Add(e);
  Log = EventLog();
  EXPECT_EQ(Component(b)->UnZip(), 0);
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"info 1 7", "start 0 far-back.txt", "skip compressed data damaged 0"}));
}

TEST_F(Extraction, ProgressIsReportedPerBlock) {
  ZipBuilder b;
  b.AddStored("big.bin", std::string(40000, 'x'));
  auto zip = Component(b);
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"info 1 40000", "start 0 big.bin", "file 40", "total 40", "file 80",
                                                  "total 80", "file 100", "total 100", "end 0 big.bin"}));
  EXPECT_EQ(Output("big.bin"), std::string(40000, 'x'));
}

TEST_F(Extraction, OverwriteModesDecideAboutExistingFiles) {
  ZipBuilder b;
  b.AddStored("docs/a.txt", "new");
  struct Case {
    TUZOverwriteMode Mode;
    int Answer;  // for the box, when there is no handler
    bool Handler;
    const char* Expected;
  };
  const Case cases[] = {
      {TUZOverwriteMode::Always, 0, false, "new"},
      {TUZOverwriteMode::Never, 0, false, "old"},
      {TUZOverwriteMode::Prompt, platform::idNo, false, "old"},
      {TUZOverwriteMode::Prompt, platform::idYes, false, "new"},
      {TUZOverwriteMode::Prompt, 0, true, "new"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::Format("mode %d, answer %d, handler %d", {static_cast<int>(c.Mode), c.Answer, c.Handler ? 1 : 0}));
    Scratch.Write("out/docs/a.txt", "old");
    platform::TDialogScript::Start();
    if (c.Answer != 0) platform::TDialogScript::PushAnswer(c.Answer);
    auto zip = Component(b);
    zip->SetOverwriteMode(c.Mode);
    if (c.Handler) {
      zip->OnPromptForOverwrite = [](base::TObject&, bool& overwrite, std::int32_t, std::string&) { overwrite = true; };
    }
    const bool written = std::string(c.Expected) == "new";
    EXPECT_EQ(zip->UnZip(), written ? 1 : 0);
    EXPECT_EQ(Output("docs/a.txt"), c.Expected);
    if (c.Mode == TUZOverwriteMode::Prompt && !c.Handler) {
      ASSERT_EQ(platform::TDialogScript::Shown().size(), 1u);
      EXPECT_EQ(platform::TDialogScript::Shown()[0].Text, "Replace existing file a.txt?");
      EXPECT_EQ(platform::TDialogScript::Shown()[0].Caption, "File Exists Alert");
    }
  }
  // The handler may send the entry elsewhere.
  Scratch.Write("out/docs/a.txt", "old");
  auto zip = Component(b);
  zip->SetOverwriteMode(TUZOverwriteMode::Prompt);
  zip->OnPromptForOverwrite = [&](base::TObject&, bool& overwrite, std::int32_t, std::string& name) {
    overwrite = true;
    name = Out + "\\docs\\renamed.txt";
  };
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Output("docs/a.txt"), "old");
  EXPECT_EQ(Output("docs/renamed.txt"), "new");
}

TEST_F(Extraction, AnEntryLeftAtItsStartKeepsTheExistingFile) {
  ZipBuilder b;
  b.AddStored("a.txt", "new");
  Scratch.Write("out/a.txt", "precious");
  auto zip = Component(b);
  zip->SetOverwriteMode(TUZOverwriteMode::Always);
  Log.SkipStart = true;
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Output("a.txt"), "precious");
}

// An existing file is replaced only by an entry that came out whole and right: a CRC error, a
// damaged stream or an entry longer than it says leaves the old file, read-only as it was, and
// no temporary file behind.
TEST_F(Extraction, AFailedReplacementLeavesTheOldFileAsItWas) {
  ZipBuilder b;
  ZipEntry badCrc;
  badCrc.Name = "crc.txt";
  badCrc.Data = testing::ToBytes("new");
  badCrc.Crc = 1234;
  b.Add(badCrc);
  ZipEntry tooLong;
  tooLong.Name = "long.txt";
  tooLong.Data = testing::ToBytes("payload");
  tooLong.Compressed = TooLongStream();
  tooLong.Method = 8;
  b.Add(tooLong);
  b.AddStored("good.txt", "new");
  for (const char* name : {"crc.txt", "long.txt", "good.txt"}) Scratch.Write(std::string("out/") + name, "old");
  ASSERT_TRUE(platform::FileSetAttr(Out + "\\crc.txt", platform::faReadOnly));
  auto zip = Component(b);
  zip->SetOverwriteMode(TUZOverwriteMode::Always);
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Output("crc.txt"), "old");
  EXPECT_EQ(platform::FileGetAttr(Out + "\\crc.txt") & platform::faReadOnly, platform::faReadOnly);
  EXPECT_EQ(Output("long.txt"), "old");
  EXPECT_EQ(Output("good.txt"), "new");
  EXPECT_EQ(Scratch.Names("out"), (std::vector<std::string>{"crc.txt", "good.txt", "long.txt"}));
  platform::FileSetAttr(Out + "\\crc.txt", platform::faArchive);
}

// A test decodes every entry and checks its CRC with the usual events, and writes nothing.
TEST_F(Extraction, ATestWritesNothing) {
  ZipBuilder b;
  b.AddStored("dir/a.txt", "alpha");
  ZipEntry bad;
  bad.Name = "b.txt";
  bad.Data = testing::ToBytes("beta");
  bad.Crc = 1;
  b.Add(bad);
  auto zip = Component(b);
  zip->SetTestOnly(true);
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"info 2 9", "start 0 ?dir\\a.txt", "file 100", "total 56",
                                                  "end 0 ?dir\\a.txt", "start 1 ?b.txt", "file 100", "total 100",
                                                  "badcrc 8F910463 1 1"}));
  EXPECT_FALSE(platform::DirectoryExists(Out));
}

// Writers that leave their data descriptors out of the offsets they record put a local header
// a descriptor's size from where the directory says: it is found by its name there. One that
// is nowhere near costs its own entry only.
TEST_F(Extraction, ALocalHeaderADescriptorAwayIsFoundByItsName) {
  ZipBuilder b;
  for (const auto& [name, delta] : {std::pair<const char*, int>{"a.txt", 0}, {"b.txt", -16}, {"c.txt", 5}, {"d.txt", 0}}) {
    ZipEntry e;
    e.Name = name;
    e.Data = testing::ToBytes(std::string("text of ") + name);
    e.DataDescriptor = true;
    e.LocalOffsetDelta = delta;
    b.Add(e);
  }
  auto zip = Component(b);
  EXPECT_EQ(zip->UnZip(), 3);
  EXPECT_EQ(Output("b.txt"), "text of b.txt");
  EXPECT_EQ(Output("d.txt"), "text of d.txt");
  EXPECT_NE(std::find(Log.Lines.begin(), Log.Lines.end(), "skip compressed data damaged 2"), Log.Lines.end());
}

// An entry named like the archive, extracted beside it, would overwrite what is being read.
TEST_F(Extraction, NoEntryReplacesTheArchive) {
  ZipBuilder b;
  b.AddStored("IN.ZIP", "not an archive");
  b.AddStored("other.txt", "fine");
  auto zip = Component(b);
  zip->SetDestDir(Scratch.Path());
  zip->SetOverwriteMode(TUZOverwriteMode::Always);
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_NE(std::find(Log.Lines.begin(), Log.Lines.end(), "skip would replace the archive itself 0"), Log.Lines.end());
  EXPECT_NE(Scratch.Read("in.zip"), "not an archive");
}

TEST_F(Extraction, DirectoriesFollowRecreateDirsAndRootDir) {
  ZipBuilder b;
  b.AddStored("a/b/c.txt", "c");
  b.AddStored("DATA/img/x.txt", "x");
  b.AddStored("Database/y.txt", "y");
  b.AddStored("C:/temp/t.txt", "t");
  b.AddStored("/temp/u.txt", "u");
  auto zip = Component(b);
  zip->SetRootDir("Data");
  EXPECT_EQ(zip->UnZip(), 5);
  EXPECT_EQ(Output("a/b/c.txt"), "c");
  EXPECT_EQ(Output("img/x.txt"), "x");
  EXPECT_EQ(Output("Database/y.txt"), "y");
  EXPECT_EQ(Output("temp/t.txt"), "t");
  EXPECT_EQ(Output("temp/u.txt"), "u");

  auto flat = Component(b);
  flat->SetDestDir(Out + "\\flat");
  flat->SetRecreateDirs(false);
  EXPECT_EQ(flat->UnZip(), 5);
  EXPECT_EQ(Scratch.Names("out/flat"), (std::vector<std::string>{"c.txt", "t.txt", "u.txt", "x.txt", "y.txt"}));
}

TEST_F(Extraction, HostileNamesStayBelowTheDestination) {
  ZipBuilder b;
  b.AddStored("../../escape1.txt", "1");
  b.AddStored("a/../../escape2.txt", "2");
  b.AddStored("a/./../b/escape3.txt", "3");
  b.AddStored("C:/../escape4.txt", "4");
  b.AddStored("dir/..", "5");
  b.AddStored(".", "6");
  auto zip = Component(b);
  EXPECT_EQ(zip->UnZip(), 4);
  EXPECT_EQ(Output("escape1.txt"), "1");
  EXPECT_EQ(Output("a/escape2.txt"), "2");
  EXPECT_EQ(Output("a/b/escape3.txt"), "3");
  EXPECT_EQ(Output("escape4.txt"), "4");
  EXPECT_EQ(Scratch.Names(""), (std::vector<std::string>{"in.zip", "out"})) << "nothing lands beside out";
}

// Drive-relative names land below the destination; names Windows refuses, or that would cut
// the path or open a device, are skipped with their reason and the run goes on.
TEST_F(Extraction, DriveRelativeAndRefusedNames) {
  ZipBuilder b;
  b.AddStored("C:../escape.txt", "1");
  b.AddStored("C:sub/x.txt", "2");
  b.AddStored("a:b/c.txt", "3");
  for (const std::string& name : {std::string("nul\0cut.txt", 11), std::string("tab\tname.txt"), std::string("q?.txt"),
                                 std::string("con.txt"), std::string("dir/LPT1"), std::string("a\"b/x.txt")}) {
    b.AddStored(name, "refused");
  }
  b.AddStored("last.txt", "4");
  auto zip = Component(b);
  EXPECT_EQ(zip->UnZip(), 4);
  EXPECT_EQ(Output("escape.txt"), "1");
  EXPECT_EQ(Output("sub/x.txt"), "2");
  EXPECT_EQ(Output("b/c.txt"), "3");
  EXPECT_EQ(Output("last.txt"), "4");
  EXPECT_EQ(std::count_if(Log.Lines.begin(), Log.Lines.end(),
                          [](const std::string& l) { return l.rfind("skip name not allowed", 0) == 0; }),
            6);
  EXPECT_EQ(Scratch.Names(""), (std::vector<std::string>{"in.zip", "out"})) << "nothing lands beside out";
  EXPECT_EQ(Scratch.Names("out"), (std::vector<std::string>{"b", "escape.txt", "last.txt", "sub"}));
}

// A record pointing into another entry's data (here a whole entry quoted in it, as zip bombs
// made of overlapping entries do) is skipped: no byte of the archive is extracted twice.
TEST_F(Extraction, AnEntryInsideAnotherEntrysDataIsSkipped) {
  ZipEntry quoted;
  quoted.Name = "copy.txt";
  quoted.Data = testing::ToBytes("payload");
  ZipEntry outer;
  outer.Name = "outer.txt";
  outer.Data = testing::LocalHeaderBytes(quoted);
  outer.Data.insert(outer.Data.end(), quoted.Data.begin(), quoted.Data.end());
  quoted.LocalOffsetDelta = -static_cast<std::int64_t>(outer.Data.size());  // onto outer's data
  ZipBuilder b;
  b.Add(outer).Add(quoted).AddStored("after.txt", "after");
  auto zip = Component(b);
  EXPECT_EQ(zip->UnZip(), 2);
  EXPECT_EQ(Output("outer.txt"), std::string(outer.Data.begin(), outer.Data.end()));
  EXPECT_EQ(Output("after.txt"), "after");
  EXPECT_FALSE(Exists("copy.txt"));
  EXPECT_NE(std::find(Log.Lines.begin(), Log.Lines.end(), "skip data overlaps another entry 1"), Log.Lines.end());
}

// Without a destination an absolute or drive-qualified name is taken relative to the
// current directory, never as a path of its own.
TEST_F(Extraction, WithoutADestinationAbsoluteNamesStayInTheCurrentDirectory) {
  ZipBuilder b;
  b.AddStored("/abs/x.txt", "1");
  b.AddStored("\\abs2\\y.txt", "2");
  b.AddStored("C:/c.txt", "3");
  b.AddStored("Z:/z.txt", "4");
  auto zip = Component(b);
  zip->SetDestDir("");
  platform::ForceDirectories(Out);
  const std::string before = platform::GetCurrentDir();
  ASSERT_TRUE(platform::SetCurrentDir(Out));
  const std::int32_t result = zip->UnZip();
  platform::SetCurrentDir(before);
  EXPECT_EQ(result, 4);
  EXPECT_EQ(Output("abs/x.txt"), "1");
  EXPECT_EQ(Output("abs2/y.txt"), "2");
  EXPECT_EQ(Output("c.txt"), "3");
  EXPECT_EQ(Output("z.txt"), "4");
}

// Extracting again over an earlier extraction replaces its files, read-only ones too; an
// entry whose file cannot be created (a folder in the way) costs that entry alone.
TEST_F(Extraction, ASecondRunReplacesReadOnlyFilesAndAFolderInTheWayCostsOneEntry) {
  ZipBuilder b;
  b.AddStored("a.txt", "alpha");
  b.AddStored("blocked.txt", "beta");
  b.AddStored("z.txt", "zeta");
  Scratch.Write("out/a.txt", "old");
  ASSERT_TRUE(platform::FileSetAttr(Out + "\\a.txt", platform::faReadOnly));
  platform::ForceDirectories(Out + "\\blocked.txt");
  auto zip = Component(b);
  zip->SetOverwriteMode(TUZOverwriteMode::Always);
  EXPECT_EQ(zip->UnZip(), 2);
  EXPECT_EQ(Output("a.txt"), "alpha");
  EXPECT_EQ(Output("z.txt"), "zeta");
  EXPECT_NE(std::find(Log.Lines.begin(), Log.Lines.end(), "skip cannot create file 1"), Log.Lines.end());
  platform::FileSetAttr(Out + "\\a.txt", platform::faArchive);
}

// An entry as a Unix writer stores it: its mode in the high word, its exact time in a UT field.
ZipEntry UnixEntry(std::string name, std::string_view data, std::uint32_t mode, std::uint32_t unixTime = 0) {
  ZipEntry entry;
  entry.Name = std::move(name);
  entry.Data = testing::ToBytes(data);
  entry.VersionMadeBy = 0x031E;
  entry.ExternalAttributes = mode << 16;
  if (unixTime != 0) {
    entry.CentralExtra = {0x55, 0x54, 5, 0, 1};
    testing::PutLe32(entry.CentralExtra, unixTime);
  }
  return entry;
}

// Modes, exact times and links, where the system keeps them. A link is made only when its
// target cannot lead out of the destination, however the archive's other links (or those of
// an earlier run) resolve; elsewhere a link entry is the file that holds its target.
TEST_F(Extraction, UnixModesExactTimesAndLinksThatStayInside) {
  namespace fs = std::filesystem;
  ZipBuilder b;
  b.Add(UnixEntry("sub/", "", 040750, 1600000001));
  b.Add(UnixEntry("sub/run.sh", "#!/bin/sh\n", 0100755, 1700000003));
  b.Add(UnixEntry("sub/inside", "run.sh", 0120777));
  b.Add(UnixEntry("sub/parent", "../sub/run.sh", 0120777));
  b.Add(UnixEntry("self", ".", 0120777));
  b.Add(UnixEntry("up", "sub/../..", 0120777));
  b.Add(UnixEntry("escape", "../outside", 0120777));
  b.Add(UnixEntry("abs", "/etc/passwd", 0120777));
  auto zip = Component(b);
  if (!platform::HasUnixFiles()) {
    EXPECT_EQ(zip->UnZip(), 8);
    EXPECT_EQ(Output("sub/inside"), "run.sh");
    return;
  }
  EXPECT_EQ(zip->UnZip(), 5);
  for (const int refused : {5, 6, 7}) {
    const std::string line = base::Format("skip link would point outside the destination %d", {refused});
    EXPECT_NE(std::find(Log.Lines.begin(), Log.Lines.end(), line), Log.Lines.end()) << line;
  }
  const std::string out = Scratch.PosixPath() + "/out/";
  EXPECT_EQ(fs::status(out + "sub/run.sh").permissions(), static_cast<fs::perms>(0755));
  EXPECT_EQ(fs::status(out + "sub").permissions(), static_cast<fs::perms>(0750));
  const auto seconds = [](const fs::path& path) {
    const auto time = std::chrono::file_clock::to_sys(fs::last_write_time(path));
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
  };
  EXPECT_EQ(seconds(out + "sub/run.sh"), 1700000003);
  EXPECT_EQ(seconds(out + "sub"), 1600000001) << "the folder's time is set after its contents";
  EXPECT_EQ(fs::read_symlink(out + "sub/inside"), "run.sh");
  EXPECT_EQ(Output("sub/parent"), "#!/bin/sh\n");
  EXPECT_EQ(fs::read_symlink(out + "self"), ".");
  for (const char* refused : {"up", "escape", "abs"}) EXPECT_FALSE(fs::exists(fs::symlink_status(out + refused))) << refused;

  // "self" leads to the destination itself: a ".." from a folder reached through it would
  // climb out of the destination.
  ZipBuilder second;
  second.Add(UnixEntry("self/e", "..", 0120777));
  second.Add(UnixEntry("sub/e", "..", 0120777));
  Log.Lines.clear();
  auto again = Component(second);
  EXPECT_EQ(again->UnZip(), 1);
  EXPECT_NE(std::find(Log.Lines.begin(), Log.Lines.end(), "skip link would point outside the destination 0"),
            Log.Lines.end());
  EXPECT_FALSE(fs::exists(fs::symlink_status(out + "e")));
  EXPECT_EQ(fs::read_symlink(out + "sub/e"), "..");

  // Moved by the overwrite handler to a folder its ".." would climb out of.
  Scratch.Write("out/sub/g", "user's file");
  ZipBuilder third;
  third.Add(UnixEntry("sub/g", "..", 0120777));
  auto moved = Component(third);
  moved->OnPromptForOverwrite = [&](base::TObject&, bool& overwrite, std::int32_t, std::string& name) {
    overwrite = true;
    name = Out + "\\g";
  };
  EXPECT_EQ(moved->UnZip(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(out + "g")));
  EXPECT_EQ(Output("sub/g"), "user's file");
}

// The run remembers the folder the previous entry went to; one removed under it is made again.
TEST_F(Extraction, AFolderRemovedDuringTheRunIsMadeAgain) {
  ZipBuilder b;
  b.AddStored("sub/a.txt", "alpha");
  b.AddStored("sub/b.txt", "beta");
  auto zip = Component(b);
  zip->OnEndUnZip = [&](base::TObject&, std::int32_t i, const std::string&) {
    if (i == 0) std::filesystem::remove_all(Scratch.PosixPath() + "/out/sub");
  };
  EXPECT_EQ(zip->UnZip(), 2);
  EXPECT_EQ(Output("sub/b.txt"), "beta");
}

// A local header's name and extra field are passed over however long they are.
TEST_F(Extraction, LongLocalExtraFieldsArePassedOver) {
  ZipBuilder b;
  for (const std::uint16_t extraSize : {0, 500, 4000}) {
    ZipEntry entry;
    entry.Name = "e" + std::to_string(extraSize) + ".txt";
    entry.Data = testing::ToBytes("data after " + std::to_string(extraSize));
    if (extraSize > 0) {
      testing::PutLe16(entry.LocalExtra, 0xCAFE);  // a field nobody knows, over the whole block
      testing::PutLe16(entry.LocalExtra, static_cast<std::uint16_t>(extraSize - 4));
      entry.LocalExtra.resize(extraSize);
    }
    b.Add(entry);
  }
  auto zip = Component(b);
  EXPECT_EQ(zip->UnZip(), 3);
  EXPECT_EQ(Output("e0.txt"), "data after 0");
  EXPECT_EQ(Output("e500.txt"), "data after 500");
  EXPECT_EQ(Output("e4000.txt"), "data after 4000");
}

TEST_F(Extraction, APrematureEndIsAnError) {
  ZipBuilder b;
  b.AddStored("whole.txt", "complete");
  b.AddStored("cut.txt", std::string(5000, 'c'));
  testing::ZipLayout layout;
  b.Build(&layout);
  b.TruncateTo = layout.LocalHeaderOffsets[1] + 100;
  b.OmitEndRecord = true;
  auto zip = Component(b);
  zip->SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
  const std::string before = platform::GetCurrentDir();
  EXPECT_EQ(MessageOf<EFatalUnzipError>([&] { zip->UnZip(); }), "Premature end of file reached");
  EXPECT_EQ(platform::GetCurrentDir(), before) << "the current directory is restored";
  EXPECT_EQ(Output("whole.txt"), "complete");
}

// A disk that refuses a write midway ends the run with an error that names the file and the
// reason; the file cut short is deleted, the entries before it stay whole.
TEST_F(Extraction, AFullDiskIsAnErrorAndLeavesNoPartFile) {
#ifdef _WIN32
  GTEST_SKIP() << "no drive of limited capacity under Windows";
#else
  testing::LimitedDrive drive('q', 20000);
  ZipBuilder b;
  b.AddStored("small.txt", "whole");
  b.AddStored("big.bin", std::string(50000, 'b'));
  b.AddStored("after.txt", "never reached");
  auto zip = Component(b);
  zip->SetDestDir(drive.Root() + "out");
  EXPECT_EQ(MessageOf<base::EWriteError>([&] { zip->UnZip(); }),
            "Cannot write to file \"Q:\\out\\big.bin\". There is not enough space on the disk.");
  EXPECT_TRUE(platform::FileExists("Q:\\out\\small.txt"));
  EXPECT_FALSE(platform::FileExists("Q:\\out\\big.bin"));
  EXPECT_FALSE(platform::FileExists("Q:\\out\\after.txt"));
#endif
}

TEST_F(Extraction, DestinationIsCurrentDuringTheRun) {
  ZipBuilder b;
  b.AddStored("a.txt", "a");
  auto zip = Component(b);
  std::string during;
  zip->OnEndUnZip = [&](base::TObject&, std::int32_t, const std::string&) { during = platform::GetCurrentDir(); };
  zip->UnZip();
  EXPECT_TRUE(platform::SameTextLocale(during, Out)) << during;
}

// --- archives made by real programs ---

TEST_F(Extraction, RealArchivesExtractToTheirOriginalFiles) {
  const std::vector<std::string> archives = FixtureArchives();
  if (archives.empty()) GTEST_SKIP() << "no fixtures";
  for (const std::string& name : archives) {
    SCOPED_TRACE(name);
    const bool big = name == "split.zip" || name == "big.zip";
    if (name == "python_utf8.zip") continue;  // not made from the tree: its own test below
    const std::string tree = FixtureDir + (big ? "/bigtree/" : "/tree/");
    TUnZip zip;
    zip.SetZipName(testing::HostPath(FixtureDir + "/" + name));
    zip.SetDestDir(Out);
    zip.SetDoAll(true);
    zip.SetRecreateDirs(true);
    zip.SetOverwriteMode(TUZOverwriteMode::Always);
    std::int32_t failures = 0;
    zip.OnBadCRC = [&](base::TObject&, std::int32_t, std::int32_t, std::int32_t) { ++failures; };
    zip.OnBadPassword = [](base::TObject&, std::int32_t, std::string& password) { password = "secret"; };
    zip.OnSkippingFile = [&](base::TObject&, TSkipReason, std::int32_t) { ++failures; };
    std::int32_t result = -1;
    try {
      result = zip.UnZip();
    } catch (const std::exception& error) {
      ADD_FAILURE() << error.what();
      continue;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(result, zip.Count());
    for (std::int32_t i = 0; i < zip.Count(); ++i) {
      const TZipHeaderInfo& entry = zip.Entry(i);
      if (entry.FileName().empty()) continue;
      std::string rel = entry.Directory() + entry.FileName();
      for (char& c : rel) {
        if (c == '\\') c = '/';
      }
      EXPECT_EQ(Scratch.Read("out/" + rel), testing::ReadHostFile(tree + rel)) << rel;
      const platform::FileHandle h = platform::FileOpen(Out + "\\" + entry.Directory() + entry.FileName(), 0);
      ASSERT_NE(h, platform::InvalidFileHandle) << rel;
      EXPECT_EQ(platform::FileGetDate(h), static_cast<std::int64_t>(entry.FileDate)) << rel;
      platform::FileClose(h);
    }
    std::filesystem::remove_all(Scratch.PosixPath() + "/out");
  }
}

// The contents of the bzip2 fixtures, by the formulas tests/data/bzip2/make_fixtures.py uses.
Bytes Bzip2Content(const std::string& name) {
  std::string text;
  if (name == "text.txt") {
    for (int i = 0; i < 200; ++i) text += base::Format("Qel Orvane setup, line %d of the bzip2 check.\n", {i});
  } else if (name == "runs.bin") {
    text = std::string(300, 'a') + "bbbbc" + std::string(5000, 'd') + "end\n";
  } else if (name == "periodic.bin") {
    for (int i = 0; i < 250000; ++i) text += static_cast<char>((i % 997) * 31 % 256);
  }
  return testing::ToBytes(text);
}

// Info-ZIP, 7-Zip and Python write method 12 each with their own encoder; Python's at level 1
// splits the periodic file into three blocks.
TEST_F(Extraction, BZip2EntriesOfThreeArchiversComeOutByteForByte) {
  for (const char* name : {"infozip.zip", "sevenzip.zip", "python_level1.zip"}) {
    SCOPED_TRACE(name);
    TUnZip zip;
    zip.SetZipName(testing::DataPath(std::string("bzip2/") + name));
    zip.OpenZip();
    ASSERT_EQ(zip.Count(), 2);
    for (std::int32_t i = 0; i < zip.Count(); ++i) {
      EXPECT_EQ(zip.UnZipToMemory(i), Bzip2Content(zip.Filename(i))) << zip.Filename(i);
    }
  }
}

// Names in UTF-8 (flag bit 11, or an Info-ZIP Unicode path whose check matches) land on disk
// as the archive spells them, and are reported so; names that differ only in letters outside
// any one code page stay two files.
TEST_F(Extraction, UnicodeNamesKeepTheirSpelling) {
  if (FixtureArchives().empty()) GTEST_SKIP() << "no fixtures";
  const std::string base = platform::ExpandFileName(Out) + "\\";
  const auto content = [&](const std::string& utf8Name) {
    base::TFileStream file(base + utf8Name, platform::fmOpenRead);
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    file.ReadBuffer(text.data(), static_cast<std::int32_t>(text.size()));
    return text;
  };
  const auto extract = [&](const std::string& archive) {
    TUnZip zip;
    zip.SetZipName(testing::HostPath(FixtureDir + "/" + archive));
    zip.SetDestDir(Out);
    zip.SetDoAll(true);
    zip.SetRecreateDirs(true);
    Log.Attach(zip, Out + "\\");
    return zip.UnZip();
  };
  EXPECT_EQ(extract("python_utf8.zip"), 4);
  EXPECT_EQ(content("caf\xC3\xA9.txt"), "text of caf\xC3\xA9.txt");
  EXPECT_EQ(content("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\\\xD0\xBC\xD0\xB8\xD1\x80.txt"),
            "text of \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82/\xD0\xBC\xD0\xB8\xD1\x80.txt");
  EXPECT_EQ(Output("plain.txt"), "text of plain.txt");

  Log = EventLog();
  EXPECT_EQ(extract("utf8_clash.zip"), 2);
  EXPECT_EQ(Log.Lines.back().find("skip"), std::string::npos) << Log.Lines.back();

  EXPECT_EQ(extract("unicode_path.zip"), 2);
  EXPECT_EQ(content("\xC3\xBC" "ber.txt"), "unicode");
  EXPECT_EQ(Output("stale.txt"), "stale") << "a Unicode path whose check fails is not used";
}

// The bytes of an entry encrypted with password whose header also passes the one-byte check
// under decoy, while the data under decoy starts with the reserved block type 3 of inflate.
Bytes EncryptedForDecoy(const Bytes& plainData, std::uint32_t crc, const std::string& password, const std::string& decoy) {
  for (std::uint32_t seed = 0;; ++seed) {
    Bytes plain(codecs::EncryptionHeaderSize);
    for (std::size_t i = 0; i + 1 < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>((seed >> (i % 4 * 8)) * 31 + i);
    plain.back() = static_cast<std::uint8_t>(crc >> 24);
    plain.insert(plain.end(), plainData.begin(), plainData.end());
    codecs::TZipCipher writer;
    writer.SetupKeys(password);
    Bytes sealed;
    for (const std::uint8_t p : plain) {
      sealed.push_back(static_cast<std::uint8_t>(p ^ writer.KeyStreamByte()));
      writer.UpdateKeys(p);
    }
    codecs::TZipCipher reader;
    reader.SetupKeys(decoy);
    Bytes opened = sealed;
    reader.DecryptBlock(opened.data(), opened.size());
    codecs::TZipCipher empty;
    Bytes unopened = sealed;
    empty.DecryptBlock(unopened.data(), unopened.size());
    if (opened[11] == plain[11] && ((opened[12] >> 1) & 3) == 3 && unopened[11] != plain[11]) return sealed;
  }
}

// A wrong password that passes the one-byte check shows as garbage, whatever the decoder calls
// it: the password is asked for again, not the entry given up as damaged.
TEST_F(Extraction, AWrongPasswordCaughtByTheDecoderIsAskedAgain) {
  const Bytes text = testing::ToBytes("hello");
  Bytes deflated = {0x01, 5, 0, 0xFA, 0xFF};
  deflated.insert(deflated.end(), text.begin(), text.end());
  ZipEntry e;
  e.Name = "secret.txt";
  e.Data = text;
  e.Method = 8;
  e.Flags = 1;
  e.Compressed = EncryptedForDecoy(deflated, testing::Crc32(text), "right", "decoy");
  ZipBuilder b;
  b.Add(e);
  auto zip = Component(b);
  Log.AttachPasswords(*zip);
  Log.Passwords = {"decoy", "right"};
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Output("secret.txt"), "hello");
  EXPECT_EQ(std::count_if(Log.Lines.begin(), Log.Lines.end(), [](const std::string& l) { return l.rfind("password", 0) == 0; }), 2);
}

TEST_F(Extraction, APasswordGivenBeforehandOpensTheEntryWithoutAsking) {
  const Bytes text = testing::ToBytes("hello");
  ZipEntry e;
  e.Name = "secret.txt";
  e.Data = text;
  e.Flags = 1;
  e.Compressed = EncryptedForDecoy(text, testing::Crc32(text), "right", "decoy");
  ZipBuilder b;
  b.Add(e);
  auto zip = Component(b);
  Log.AttachPasswords(*zip);
  zip->SetPassword("right");
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(Output("secret.txt"), "hello");
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"info 1 5", "start 0 secret.txt", "file 100", "total 100",
                                                  "end 0 secret.txt"}));
}

// An entry into memory or a caller's stream goes through the events of a file, named as stored,
// and writes nothing on disk; what fails leaves no bytes behind, not even those a wrong
// password decoded before it was asked again.
TEST_F(Extraction, AnEntryComesOutInMemoryOrAStreamOnlyWhenItIsRight) {
  const Bytes text = testing::ToBytes("hello");
  ZipBuilder b;
  b.AddStored("dir/a.txt", "alpha");
  ZipEntry bad;
  bad.Name = "b.txt";
  bad.Data = testing::ToBytes("beta");
  bad.Crc = 1;
  b.Add(bad);
  ZipEntry secret;
  secret.Name = "secret.txt";
  secret.Data = text;
  secret.Flags = 1;
  secret.Compressed = EncryptedForDecoy(text, testing::Crc32(text), "right", "decoy");
  b.Add(secret);
  auto zip = Component(b);
  Log.AttachPasswords(*zip);

  EXPECT_EQ(zip->UnZipToMemory(0), testing::ToBytes("alpha"));
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"info 1 5", "start 0 ?dir\\a.txt", "file 100", "total 100",
                                                  "end 0 ?dir\\a.txt"}));
  EXPECT_FALSE(platform::DirectoryExists(Out));

  EXPECT_EQ(MessageOf<EUnzipEntryError>([&] { zip->UnZipToMemory(1); }), "Cannot extract \"b.txt\": CRC error");
  base::TMemoryStream stream(testing::ToBytes("head"));
  stream.Seek(0, 2);
  EXPECT_FALSE(zip->UnZipToStream(1, stream));
  EXPECT_EQ(stream.Bytes(), testing::ToBytes("head"));

  // The decoy passes the header's check and decodes five wrong bytes before the CRC tells.
  zip->SetPassword("decoy");
  Log.Passwords = {"right"};
  EXPECT_TRUE(zip->UnZipToStream(2, stream));
  EXPECT_EQ(stream.Bytes(), testing::ToBytes("headhello"));
  EXPECT_EQ(zip->Password(), "right");
}

TEST_F(Extraction, PasswordsAreAskedForAndKept) {
  if (FixtureArchives().empty()) GTEST_SKIP() << "no fixtures";
  TUnZip zip;
  zip.SetZipName(testing::HostPath(FixtureDir + "/encrypted_stored.zip"));
  zip.SetDestDir(Out);
  zip.SetDoAll(true);
  zip.SetRecreateDirs(true);
  Log.Attach(zip, Out + "\\");
  Log.AttachPasswords(zip);
  // Two wrong guesses, then the right one: the header is checked afresh each time, and the
  // password that fitted serves every later entry without asking.
  Log.Passwords = {"wrong", "also wrong", "secret"};
  zip.FilesList().Add("readme.txt");
  zip.FilesList().Add("guide.txt");
  zip.SetDoAll(false);
  EXPECT_EQ(zip.UnZip(), 2);
  std::vector<std::string> asked;
  for (const std::string& line : Log.Lines) {
    if (line.rfind("password", 0) == 0) asked.push_back(line);
  }
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].substr(asked[0].find(' ', 9) + 1), "") << asked[0];
  EXPECT_EQ(testing::ReadHostFile(Scratch.PosixPath() + "/out/readme.txt"), testing::ReadHostFile(FixtureDir + "/tree/readme.txt"));
  EXPECT_EQ(testing::ReadHostFile(Scratch.PosixPath() + "/out/docs/guide.txt"), testing::ReadHostFile(FixtureDir + "/tree/docs/guide.txt"));

  // Without a handler a wrong password skips every encrypted entry, and nothing is created.
  TUnZip plain;
  plain.SetZipName(testing::HostPath(FixtureDir + "/encrypted_stored.zip"));
  plain.SetDestDir(Out + "\\none");
  plain.SetDoAll(true);
  plain.SetRecreateDirs(true);
  std::int32_t skipped = 0;
  plain.OnSkippingFile = [&](base::TObject&, TSkipReason reason, std::int32_t) {
    EXPECT_EQ(reason, TSkipReason::srBadPassword);
    ++skipped;
  };
  const std::int32_t directories = 3;  // emptydir/, bin/, bin/data/, docs/ hold no data
  (void)directories;
  const std::int32_t result = plain.UnZip();
  EXPECT_GT(skipped, 0);
  EXPECT_EQ(result + skipped, plain.Count());
}

}  // namespace
}  // namespace qel::archive
