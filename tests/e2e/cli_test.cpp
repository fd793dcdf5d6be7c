// The command line, end to end: help, levels and file names in order.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/support.h"

namespace {

const char kHelp[] =
    "grizzen version 0.10 2026/12/11\n"
    "\n"
    "grizzen -[h12] [filename]\n";

using CliTest = TempDirTest;

TEST_F(CliTest, PrintsHelpForEachHelpSpellingAndStopsThere) {
  WriteBytes(Path("a.bmp"), Monochrome(8, 1, "A5 00 00 00"));
  for (const char* help : {"/?", "-H", "-h", "/H"}) {
    RunResult run = RunGrizzen(dir_, {help, "a.bmp"});
    EXPECT_EQ(run.status, 0) << help;
    EXPECT_EQ(run.out, kHelp) << help;
    EXPECT_EQ(run.err, "") << help;
  }
  EXPECT_FALSE(Exists(Path("a.gzn")));  // arguments after help are not looked at
}

TEST_F(CliTest, FilesBeforeHelpAreConvertedFirst) {
  WriteBytes(Path("a.bmp"), Monochrome(8, 1, "A5 00 00 00"));
  RunResult run = RunGrizzen(dir_, {"a.bmp", "/?", "missing.bmp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("a.bmp\n") + kHelp);
  EXPECT_TRUE(Exists(Path("a.gzn")));
}

TEST_F(CliTest, ALevelAppliesToTheFilesAfterIt) {
  Bytes input = Monochrome(8, 1, "00 00 00 00");
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"}) {
    WriteBytes(Path(name), input);
  }
  RunResult run =
      RunGrizzen(dir_, {"a.bmp", "-2", "b.bmp", "/1", "c.bmp", "/2", "-1", "-2", "d.bmp", "-1",
                        "e.bmp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "a.bmp\nb.bmp\nc.bmp\nd.bmp\ne.bmp\n");
  struct Expect {
    const char* name;
    uint8_t grey;
  } expects[] = {{"a.gzn", 0x55}, {"b.gzn", 0xAA}, {"c.gzn", 0x55}, {"d.gzn", 0xAA}, {"e.gzn", 0x55}};
  for (const Expect& e : expects) {
    Bytes out = ReadBytes(Path(e.name));
    ASSERT_EQ(out.size(), 74u) << e.name;
    EXPECT_EQ(ToHex(Bytes(out.begin() + 70, out.end())), ToHex(Bytes(4, e.grey))) << e.name;
  }
}

TEST_F(CliTest, AnythingElseIsAFileName) {
  // Only the second character of a '-' argument is upper-cased; "/h", "-?",
  // "/1x", an empty argument and an unexpanded wildcard are all file names.
  WriteBytes(Path("-Abc.bmp"), Monochrome(8, 1, "FF 00 00 00"));
  RunResult run = RunGrizzen(dir_, {"-abc.bmp", "/h", "-?", "/1x", "", "*.bmp", "-"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "-Abc.bmp\n/h\n-?\n/1x\n\n*.bmp\n-\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Tree(), (std::vector<std::string>{"-Abc.bmp", "-Abc.gzn"}));
}

TEST_F(CliTest, APathTooLongForAPathBufferIsPrintedButNotTouched) {
  // 259 characters fit; 260 do not, and are never cut down to a shorter
  // name that could be another file.
  std::string folder(200, 'd');
  std::string fits = folder + "/" + std::string(54, 'f') + ".bmp";      // 259 characters
  std::string tooLong = folder + "/" + std::string(55, 'l') + ".bmp";   // 260 characters
  std::string shortened = tooLong.substr(0, 259);
  ASSERT_EQ(fits.size(), 259u);
  ASSERT_EQ(tooLong.size(), 260u);
  ASSERT_EQ(mkdir(Path(folder).c_str(), 0755), 0);
  Bytes input = Monochrome(8, 1, "A5 00 00 00");
  WriteBytes(Path(fits), input);
  WriteBytes(Path(tooLong), input);
  WriteBytes(Path(shortened), input);

  RunResult run = RunGrizzen(dir_, {tooLong, fits});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, tooLong + "\n" + fits + "\n");
  EXPECT_EQ(Tree(), (std::vector<std::string>{
                        folder + "/", fits, fits.substr(0, 256) + "gzn", shortened, tooLong}));
}

TEST_F(CliTest, MissingAndUnsuitableFilesArePrintedAndPassedOver) {
  WriteBytes(Path("bad.bmp"), Hex("42 4D 00"));
  WriteBytes(Path("good.bmp"), Monochrome(8, 1, "A5 00 00 00"));
  RunResult run = RunGrizzen(dir_, {"missing.bmp", "bad.bmp", "good.bmp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "missing.bmp\nbad.bmp\ngood.bmp\n");
  EXPECT_EQ(Tree(), (std::vector<std::string>{"bad.bmp", "good.bmp", "good.gzn"}));
}

}  // namespace
