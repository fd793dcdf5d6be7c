// Named files end to end: an output never overwrites its own input, nothing
// blocks on odd files, and an output that cannot be written in full is
// removed while the run goes on.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/support.h"

namespace {

using FilesTest = TempDirTest;

// What a run prints for these file arguments: each one on its own line.
std::string PathLines(const std::vector<std::string>& args) {
  std::string lines;
  for (const std::string& arg : args) lines += arg + "\n";
  return lines;
}

TEST_F(FilesTest, AnOutputThatIsTheInputLeavesTheInputUntouched) {
  Bytes input = Monochrome(8, 1, "A5 00 00 00");
  WriteBytes(Path("pic.gzn"), input);   // named directly: the output is the input
  WriteBytes(Path("hard.bmp"), input);
  ASSERT_EQ(link(Path("hard.bmp").c_str(), Path("hard.gzn").c_str()), 0);
  WriteBytes(Path("soft.bmp"), input);
  ASSERT_EQ(symlink("soft.bmp", Path("soft.gzn").c_str()), 0);

  RunResult run = RunGrizzen(dir_, {"pic.gzn", "hard.bmp", "soft.bmp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "pic.gzn\nhard.bmp\nsoft.bmp\n");
  for (const char* name : {"pic.gzn", "hard.bmp", "soft.bmp"}) {
    EXPECT_EQ(ReadBytes(Path(name)), input) << name;
  }
}

TEST_F(FilesTest, OnWindowsNamesThatDifferInLetterCaseAreOneFile) {
  if (!TargetIsWindows()) GTEST_SKIP() << "only Windows file names ignore letter case";
  // PIC.GZN and Pic.gzn both name pic.gzn, and so do their outputs: the
  // input is held open, the output refused, the input left as it was. The
  // output of scan.bmp is the existing SCAN.GZN, which is overwritten in
  // full (the longer old content does not survive past the new end).
  Bytes input = Monochrome(8, 1, "A5 00 00 00");
  WriteBytes(Path("pic.gzn"), input);
  WriteBytes(Path("scan.bmp"), input);
  WriteBytes(Path("SCAN.GZN"), Bytes(100, 0xEE));
  RunResult run = RunGrizzen(dir_, {"PIC.GZN", "Pic.gzn", "scan.bmp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "PIC.GZN\nPic.gzn\nscan.bmp\n");
  EXPECT_EQ(ReadBytes(Path("pic.gzn")), input);
  Bytes output = ReadBytes(Path("SCAN.GZN"));
  ASSERT_EQ(output.size(), 74u);
  EXPECT_EQ(ToHex(Bytes(output.begin() + 70, output.end())), "DD 77 55 55");
  EXPECT_EQ(Tree(), (std::vector<std::string>{"SCAN.GZN", "pic.gzn", "scan.bmp"}));
}

TEST_F(FilesTest, ANameTooShortForTheSuffixIsRefused) {
  // The three replaced characters would reach into the folder part: "sub/ab"
  // would give "sugzn". On Windows a drive's colon ends the folder part too:
  // "Z:ab" (ab in the current folder of drive Z:, which is where Wine puts
  // the Linux root) would give "Zgzn".
  ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
  Bytes input = Monochrome(8, 1, "A5 00 00 00");
  WriteBytes(Path("ab"), input);
  WriteBytes(Path("sub/ab"), input);
  std::vector<std::string> args = {"ab", "sub/ab"};
  if (TargetIsWindows()) args.push_back("Z:ab");
  RunResult run = RunGrizzen(dir_, args);
  EXPECT_EQ(run.out, PathLines(args));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"ab", "sub/", "sub/ab"}));
}

TEST_F(FilesTest, NonRegularFilesAreRefusedWithoutBlocking) {
  ASSERT_EQ(mkfifo(Path("f.bmp").c_str(), 0644), 0);
  ASSERT_EQ(mkdir(Path("d.bmp").c_str(), 0755), 0);
  std::vector<std::string> args = {"f.bmp", "d.bmp", "/dev/null"};
  // Windows devices, by their reserved names: none is a file on disk.
  if (TargetIsWindows()) args.insert(args.end(), {"NUL", "CON", "nul.bmp", "COM1"});
  RunResult run = RunGrizzen(dir_, args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, PathLines(args));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"d.bmp/", "f.bmp"}));
}

TEST_F(FilesTest, AnInputThatEndsEarlyIsStillConvertedInFull) {
  // The system's read at end of file succeeds with what is left, or nothing:
  // every claimed row is written, a missing one repeating the last row read.
  WriteBytes(Path("rows.bmp"), Monochrome(8, 3, "A5 00 00 00 0F 00 00 00"));
  WriteBytes(Path("cut.bmp"), Monochrome(8, 2, "A5 00"));
  RunResult run = RunGrizzen(dir_, {"rows.bmp", "cut.bmp"});
  EXPECT_EQ(run.out, "rows.bmp\ncut.bmp\n");
  Bytes rows = ReadBytes(Path("rows.gzn"));
  Bytes cut = ReadBytes(Path("cut.gzn"));
  ASSERT_EQ(rows.size(), 82u);
  ASSERT_EQ(cut.size(), 78u);
  EXPECT_EQ(ToHex(Bytes(rows.begin() + 70, rows.end())), "DD 77 55 55 55 FF 55 55 55 FF 55 55");
  EXPECT_EQ(ToHex(Bytes(cut.begin() + 70, cut.end())), "DD 77 55 55 DD 77 55 55");
}

TEST_F(FilesTest, AnOutputThatCannotBeWrittenInFullIsRemoved) {
  // Files may grow to 4096 bytes only, as on a nearly full disk: the large
  // conversion fails part-way and leaves nothing, the small one after it
  // still succeeds.
  std::string rows;
  for (int i = 0; i < 2000; ++i) rows += "A5 00 00 00 ";
  Bytes large = Monochrome(8, 2000, rows);
  WriteBytes(Path("large.bmp"), large);
  WriteBytes(Path("small.bmp"), Monochrome(8, 1, "A5 00 00 00"));
  WriteBytes(Path("large.gzn"), Hex("01 02 03"));  // an earlier output is no excuse to keep junk

  RunOptions options;
  options.fileSizeLimit = 4096;
  RunResult run = RunGrizzen(dir_, {"large.bmp", "small.bmp"}, options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "large.bmp\nsmall.bmp\n");
  EXPECT_FALSE(Exists(Path("large.gzn")));
  EXPECT_EQ(ReadBytes(Path("large.bmp")), large);
  EXPECT_EQ(ReadBytes(Path("small.gzn")).size(), 74u);
}

}  // namespace
