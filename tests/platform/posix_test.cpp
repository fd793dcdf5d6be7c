// The POSIX layer: exclusive opens, non-blocking refusals, reads at end of
// file, failed writes and how listings class their entries.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/platform.h"
#include "support/support.h"

namespace {

using PlatformTest = TempDirTest;

TEST_F(PlatformTest, AFileHeldOpenCannotBeOpenedAgainUnderAnyName) {
  Bytes content = Hex("42 4D 01 02 03");
  WriteBytes(Path("pic.gzn"), content);
  ASSERT_EQ(link(Path("pic.gzn").c_str(), Path("hard.gzn").c_str()), 0);
  ASSERT_EQ(symlink("pic.gzn", Path("soft.gzn").c_str()), 0);

  PlatformFile* input = PlatformOpenForReading(Path("pic.gzn").c_str());
  ASSERT_NE(input, nullptr);
  for (const char* name : {"pic.gzn", "hard.gzn", "soft.gzn"}) {
    EXPECT_EQ(PlatformCreateForWriting(Path(name).c_str()), nullptr) << name;
    EXPECT_EQ(PlatformOpenForReading(Path(name).c_str()), nullptr) << name;
  }
  EXPECT_TRUE(PlatformClose(input));
  EXPECT_EQ(ReadBytes(Path("pic.gzn")), content);  // nothing truncated

  // Once closed, the file can be opened again.
  PlatformFile* again = PlatformCreateForWriting(Path("soft.gzn").c_str());
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(PlatformClose(again));
  EXPECT_TRUE(ReadBytes(Path("pic.gzn")).empty());  // emptied once claimed
}

TEST_F(PlatformTest, RefusesWhatIsNotARegularFileWithoutBlocking) {
  ASSERT_EQ(mkdir(Path("dir.bmp").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(Path("fifo.bmp").c_str(), 0644), 0);
  for (const std::string& path : {Path("dir.bmp"), Path("fifo.bmp"), std::string("/dev/null")}) {
    EXPECT_EQ(PlatformOpenForReading(path.c_str()), nullptr) << path;
  }
  EXPECT_EQ(PlatformCreateForWriting(Path("fifo.bmp").c_str()), nullptr);
  EXPECT_EQ(PlatformCreateForWriting(Path("dir.bmp").c_str()), nullptr);
  EXPECT_EQ(PlatformOpenForReading(Path("missing.bmp").c_str()), nullptr);
  EXPECT_EQ(PlatformCreateForWriting(Path("no/such/dir.gzn").c_str()), nullptr);
}

TEST_F(PlatformTest, ReadsAtEndOfFileDeliverWhatIsLeftAndKeepTheRest) {
  WriteBytes(Path("f"), Hex("01 02 03"));
  PlatformFile* file = PlatformOpenForReading(Path("f").c_str());
  ASSERT_NE(file, nullptr);
  uint8_t buffer[5] = {9, 9, 9, 9, 9};
  size_t delivered = 99;
  EXPECT_TRUE(PlatformRead(file, buffer, 5, &delivered));
  EXPECT_EQ(delivered, 3u);
  EXPECT_EQ(ToHex(Bytes(buffer, buffer + 5)), "01 02 03 09 09");
  EXPECT_TRUE(PlatformRead(file, buffer, 5, &delivered));
  EXPECT_EQ(delivered, 0u);
  PlatformClose(file);
}

TEST_F(PlatformTest, AWriteThatDoesNotFitFails) {
  // A file size limit stands in for a full disk: the write fails (EFBIG).
  PlatformFile* file = PlatformCreateForWriting(Path("out").c_str());
  ASSERT_NE(file, nullptr);
  Bytes data(64, 0xAB);
  bool first = false;
  bool second = true;
  WithFileSizeLimit(100, [&] {
    first = PlatformWrite(file, data.data(), data.size());
    second = PlatformWrite(file, data.data(), data.size());
  });
  PlatformClose(file);
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_TRUE(PlatformRemove(Path("out").c_str()));
  EXPECT_FALSE(Exists(Path("out")));
}

TEST_F(PlatformTest, ListingsClassEntriesAndNeverFollowDirectoryLinks) {
  ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
  WriteBytes(Path("file.bmp"), Hex("00"));
  ASSERT_EQ(symlink("sub", Path("dirlink.bmp").c_str()), 0);
  ASSERT_EQ(symlink("file.bmp", Path("filelink.bmp").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", Path("dangling.bmp").c_str()), 0);
  ASSERT_EQ(symlink(".", Path("loop").c_str()), 0);

  std::map<std::string, PlatformEntryKind> seen;
  PlatformListing* listing = PlatformOpenListing(dir_.c_str());
  ASSERT_NE(listing, nullptr);
  PlatformEntry entry;
  while (PlatformNextEntry(listing, &entry)) seen[entry.name] = entry.kind;
  PlatformCloseListing(listing);

  std::map<std::string, PlatformEntryKind> expected = {
      {".", kEntryDirectory},           {"..", kEntryDirectory},
      {"sub", kEntryDirectory},         {"file.bmp", kEntryFile},
      {"dirlink.bmp", kEntryDirectoryLink}, {"filelink.bmp", kEntryFile},
      {"dangling.bmp", kEntryFile},     {"loop", kEntryDirectoryLink},
  };
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(PlatformOpenListing(Path("file.bmp").c_str()), nullptr);
  EXPECT_EQ(PlatformOpenListing(Path("missing").c_str()), nullptr);
}

}  // namespace
