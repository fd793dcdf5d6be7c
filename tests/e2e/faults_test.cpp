// Faults of the system around a run, end to end: a disk that fills up,
// folders the run may not list, and two runs busy with one file. Each set-up
// needs root (a mount namespace, or dropping to another user); where the
// machine does not allow it, the test is skipped with the reason, unless
// GRIZZEN_REQUIRE_FAULT_TESTS is set (as in CI), which makes that a failure.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/support.h"

// Ends the test: skipped with the reason, or failed where it must run.
#define SKIP_OR_FAIL(reason)                                     \
  do {                                                           \
    if (std::getenv("GRIZZEN_REQUIRE_FAULT_TESTS") != nullptr) { \
      FAIL() << reason;                                          \
    }                                                            \
    GTEST_SKIP() << reason;                                      \
  } while (0)

namespace {

const std::vector<std::string> kDropPrivileges = {"setpriv", "--reuid=65534", "--regid=65534",
                                                  "--clear-groups"};

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// A width-by-height bitmap whose every row byte is fill.
Bytes Uniform(int32_t width, int32_t height, uint8_t fill) {
  Bytes bytes = MonochromePrefix(width, height);
  size_t stride = size_t((width + 31) / 32 * 4);
  bytes.resize(bytes.size() + stride * size_t(height), fill);
  return bytes;
}

class FaultsTest : public TempDirTest {
 protected:
  void Folder(const std::string& name, mode_t mode = 0755) {
    ASSERT_EQ(mkdir(Path(name).c_str(), mode), 0) << name;
    ASSERT_EQ(chmod(Path(name).c_str(), mode), 0) << name;  // past the umask
  }
  void Bitmap(const std::string& name) { WriteBytes(Path(name), Monochrome(8, 1, "A5 00 00 00")); }
  // Whether the binary runs, and prints its help, under wrapper.
  bool RunsUnder(const std::vector<std::string>& wrapper) {
    RunOptions options;
    options.wrapper = wrapper;
    RunResult run = RunGrizzen(dir_, {"-h"}, options);
    return run.status == 0 && run.out.rfind("grizzen version", 0) == 0;
  }
};

TEST_F(FaultsTest, AFullDiskLeavesNoOutputAndTheRunGoesOn) {
  if (TargetIsWindows()) {
    GTEST_SKIP() << "under Wine, files are opened by the Wine server, outside the test's mount "
                    "namespace";
  }
  if (geteuid() != 0) SKIP_OR_FAIL("mounting a small tmpfs needs root");
  // The run works on a 64 KiB tmpfs in a mount namespace of its own; what is
  // left on it is copied out to after/ before the namespace ends.
  Folder("disk");
  Folder("seed");
  Folder("after");
  const std::string mount = "mount -t tmpfs -o size=64k tmpfs disk && ";
  if (!RunsUnder({"unshare", "-m", "sh", "-c", mount + "\"$@\"", "sh"})) {
    SKIP_OR_FAIL("this machine does not allow a tmpfs in a new mount namespace");
  }

  // large.bmp takes 28 KiB and its output would take 52 KiB: it cannot fit.
  // small.bmp and its output take a page each.
  Bytes large = Uniform(2048, 96, 0xA5);
  Bytes small = Monochrome(8, 1, "A5 00 00 00");
  WriteBytes(Path("seed/large.bmp"), large);
  WriteBytes(Path("seed/small.bmp"), small);
  const std::string script = mount +
                             "cp seed/* disk/ && cd disk && "
                             "{ \"$@\"; status=$?; cp -a . ../after/; exit $status; }";
  RunOptions options;
  options.wrapper = {"unshare", "-m", "sh", "-c", script, "sh"};
  RunResult run = RunGrizzen(dir_, {"large.bmp", "small.bmp"}, options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "large.bmp\nsmall.bmp\n");
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(Exists(Path("after/large.gzn")));
  EXPECT_EQ(ReadBytes(Path("after/large.bmp")), large);
  EXPECT_EQ(ReadBytes(Path("after/small.bmp")), small);
  Bytes out = ReadBytes(Path("after/small.gzn"));
  ASSERT_EQ(out.size(), 74u);
  EXPECT_EQ(ToHex(Bytes(out.begin() + 70, out.end())), "DD 77 55 55");
}

TEST_F(FaultsTest, FoldersThatCannotBeListedWithPrivilegesDropped) {
  if (TargetIsWindows()) {
    GTEST_SKIP() << "under Wine, the prefix and server belong to the test's user";
  }
  if (geteuid() != 0) SKIP_OR_FAIL("dropping to another user needs root");
  if (!RunsUnder(kDropPrivileges)) {
    SKIP_OR_FAIL(
        "the built binary cannot be run as uid 65534 here (setpriv missing, or "
        "its folder is closed to other users)");
  }
  // Folders of mode 333 may be entered and written by anyone, but not
  // listed. The run starts in its folder as root and drops to nobody.
  Folder("top", 0777);
  Bitmap("top/a.bmp");
  ASSERT_EQ(chmod(Path("top").c_str(), 0333), 0);
  RunOptions options;
  options.wrapper = kDropPrivileges;
  RunResult run = RunGrizzen(Path("top"), {}, options);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(Exists(Path("top/a.gzn")));

  // Below the top, such a folder is passed over and the scan goes on.
  Folder("tree", 0777);
  Bitmap("tree/a.bmp");
  Bitmap("tree/c.bmp");
  Folder("tree/sub", 0777);
  Bitmap("tree/sub/b.bmp");
  ASSERT_EQ(chmod(Path("tree/sub").c_str(), 0333), 0);
  run = RunGrizzen(Path("tree"), {}, options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(SortedLines(run.out), (std::vector<std::string>{"./a.bmp", "./c.bmp"}));
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Exists(Path("tree/a.gzn")));
  EXPECT_TRUE(Exists(Path("tree/c.gzn")));
  EXPECT_FALSE(Exists(Path("tree/sub/b.gzn")));
}

TEST_F(FaultsTest, TwoRunsAtOnceNeverLeaveAMixedOrTruncatedOutput) {
  // Two runs start together, over and over: on the same input, and on two
  // inputs whose outputs share one name. Each input is 1 MiB, so the runs
  // overlap. Afterwards the output is absent or one run's complete output.
  Bytes light = Uniform(8192, 1000, 0xA5);
  Bytes dark = Uniform(8192, 1000, 0x0F);
  WriteBytes(Path("pic.bmp"), light);
  WriteBytes(Path("pic.dib"), dark);
  // The outputs of lone runs, as references.
  ASSERT_EQ(RunGrizzen(dir_, {"pic.dib"}).status, 0);
  Bytes fromDark = ReadBytes(Path("pic.gzn"));
  ASSERT_EQ(RunGrizzen(dir_, {"pic.bmp"}).status, 0);
  Bytes fromLight = ReadBytes(Path("pic.gzn"));
  ASSERT_EQ(fromLight.size(), 70u + 2048u * 1000u);
  ASSERT_EQ(fromLight[70], 0xDD);
  ASSERT_EQ(fromDark[70], 0x55);

  struct Case {
    const char* first;
    const char* second;
  } cases[] = {{"pic.bmp", "pic.bmp"}, {"pic.bmp", "pic.dib"}};
  RunOptions together;
  for (const Case& c : cases) {
    for (int round = 0; round < 10; ++round) {
      unlink(Path("pic.gzn").c_str());
      if (round % 2 == 1) WriteBytes(Path("pic.gzn"), Hex("01 02 03"));  // an earlier output
      // The wrapper starts the binary twice, one in the background.
      std::string script = std::string("\"$@\" ") + c.first + " & \"$@\" " + c.second + "; wait";
      together.wrapper = {"sh", "-c", script, "sh"};
      RunResult run = RunGrizzen(dir_, {}, together);
      EXPECT_EQ(run.status, 0);
      Bytes out = ReadBytes(Path("pic.gzn"));
      bool absent = !Exists(Path("pic.gzn"));
      EXPECT_TRUE(absent || out == fromLight || out == fromDark)
          << c.first << " and " << c.second << ", round " << round << ": " << out.size()
          << " bytes";
    }
  }
  EXPECT_EQ(ReadBytes(Path("pic.bmp")), light);
  EXPECT_EQ(ReadBytes(Path("pic.dib")), dark);
}

}  // namespace
