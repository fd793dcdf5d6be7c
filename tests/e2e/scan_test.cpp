// Runs that name no file: the scan of the current directory tree.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/support.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines = Lines(text);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The path lines the binary prints for these paths, sorted.
std::vector<std::string> SortedNative(std::vector<std::string> paths) {
  for (std::string& path : paths) path = NativePath(path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

class ScanTest : public TempDirTest {
 protected:
  void Folder(const std::string& name) { ASSERT_EQ(mkdir(Path(name).c_str(), 0755), 0); }
  void Bitmap(const std::string& name) { WriteBytes(Path(name), Monochrome(8, 1, "A5 00 00 00")); }
};

TEST_F(ScanTest, ConvertsEveryBmpFileOfTheTreeDepthFirst) {
  Folder("sub");
  Folder("sub/deeper");
  Folder("x.bmp");  // a folder is descended into, whatever its name
  Bitmap("a.bmp");
  Bitmap("sub/b.bmp");
  Bitmap("sub/deeper/e.bmp");
  Bitmap("x.bmp/f.bmp");
  Bitmap(".bmp");  // exactly the suffix: matches, and becomes .gzn
  WriteBytes(Path("sub/c.txt"), Hex("00"));
  Bitmap("d.BMP");  // the match is case-sensitive
  Bitmap("a.Bmp");

  for (const char* level : {"-2", "/1"}) {  // a level alone still scans
    RunResult run = RunGrizzen(dir_, {level});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(SortedLines(run.out), SortedNative({"./.bmp", "./a.bmp", "./sub/b.bmp",
                                                  "./sub/deeper/e.bmp", "./x.bmp/f.bmp"}));
    // Depth first: a folder's whole subtree is printed where the folder is met.
    std::vector<std::string> lines = Lines(run.out);
    auto b = std::find(lines.begin(), lines.end(), NativePath("./sub/b.bmp"));
    auto e = std::find(lines.begin(), lines.end(), NativePath("./sub/deeper/e.bmp"));
    ASSERT_TRUE(b != lines.end() && e != lines.end());
    EXPECT_EQ(std::abs(int(b - e)), 1) << run.out;
  }
  EXPECT_EQ(Tree(), (std::vector<std::string>{".bmp", ".gzn", "a.Bmp", "a.bmp", "a.gzn", "d.BMP",
                                              "sub/", "sub/b.bmp", "sub/b.gzn", "sub/c.txt",
                                              "sub/deeper/", "sub/deeper/e.bmp",
                                              "sub/deeper/e.gzn", "x.bmp/", "x.bmp/f.bmp",
                                              "x.bmp/f.gzn"}));
  Bytes out = ReadBytes(Path("sub/deeper/e.gzn"));
  EXPECT_EQ(ToHex(Bytes(out.begin() + 70, out.end())), "DD 77 55 55");  // the last run was /1
}

TEST_F(ScanTest, AnEmptyTreePrintsNothing) {
  RunResult run = RunGrizzen(dir_, {});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Tree().empty());
}

TEST_F(ScanTest, LinksToFoldersAreNotFollowedAndOddEntriesDoNotStopTheRun) {
  Folder("sub");
  Bitmap("sub/b.bmp");
  ASSERT_EQ(symlink(".", Path("sub/loop").c_str()), 0);      // a cycle
  ASSERT_EQ(symlink("sub", Path("link.bmp").c_str()), 0);    // a folder link named *.bmp
  ASSERT_EQ(symlink("sub/b.bmp", Path("alias.bmp").c_str()), 0);  // a link to a file is that file
  ASSERT_EQ(mkfifo(Path("f.bmp").c_str(), 0644), 0);         // must not block the run
  RunResult run = RunGrizzen(dir_, {});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(SortedLines(run.out), SortedNative({"./alias.bmp", "./f.bmp", "./sub/b.bmp"}));
  EXPECT_TRUE(Exists(Path("alias.gzn")));
  EXPECT_TRUE(Exists(Path("sub/b.gzn")));
  EXPECT_FALSE(Exists(Path("f.gzn")));
}

TEST_F(ScanTest, PathsTooLongForAPathBufferArePassedOverSilently) {
  // A file path may have 259 characters, and a folder path 255 (listing it
  // takes four more on some systems).
  std::string folder(251, 'd');                // "./" + 251 = 253 characters
  Folder(folder);
  Bitmap(folder + "/a.bmp");                   // 259: converted
  Bitmap(folder + "/ab.bmp");                  // 260: passed over
  std::string deep(250, 'e');                  // 252
  Folder(deep);
  Folder(deep + "/x");                         // 254: listed
  Bitmap(deep + "/x/b.bmp");                   // 260: passed over
  Folder(deep + "/yyy");                       // 256: too long to list
  Bitmap(deep + "/yyy/c.bmp");
  RunResult run = RunGrizzen(dir_, {});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, NativePath("./" + folder + "/a.bmp\n"));
  EXPECT_TRUE(Exists(Path(folder + "/a.gzn")));
  EXPECT_FALSE(Exists(Path(folder + "/ab.gzn")));
}

TEST_F(ScanTest, ARunOverItsOwnOutputsConvertsTheSameFilesAgain) {
  Bitmap("a.bmp");
  RunResult first = RunGrizzen(dir_, {});
  WriteBytes(Path("a.gzn"), Hex("00"));
  RunResult second = RunGrizzen(dir_, {});
  EXPECT_EQ(first.out, NativePath("./a.bmp\n"));
  EXPECT_EQ(second.out, NativePath("./a.bmp\n"));
  EXPECT_EQ(ReadBytes(Path("a.gzn")).size(), 74u);
}

}  // namespace
