#include "cli/cli.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/common.h"
#include "convert/convert.h"
#include "scan/scan.h"

namespace {

constexpr char kReleaseDate[] = "2026/12/11";

bool Equals(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Options are matched after this, so "-h" is help while "/h" is a file name.
void UpperCaseOptionLetter(char* argument) {
  if (argument[0] == '-' && argument[1] >= 'a' && argument[1] <= 'z') {
    argument[1] = char(argument[1] - 'a' + 'A');
  }
}

[[noreturn]] void PrintHelpAndExit() {
  std::printf("grizzen version 0.10 %s\n\n", kReleaseDate);
  std::printf("grizzen -[h12] [filename]\n");
  std::exit(0);
}

}  // namespace

int ParseArguments(int argc, char** argv) {
  bool fileNamed = false;
  for (int i = 1; i < argc; ++i) {
    char* argument = argv[i];
    UpperCaseOptionLetter(argument);
    if (Equals(argument, "/?") || Equals(argument, "-H") || Equals(argument, "/H")) {
      PrintHelpAndExit();
    } else if (Equals(argument, "-2") || Equals(argument, "/2")) {
      BackgroundLevel = 2;
    } else if (Equals(argument, "-1") || Equals(argument, "/1")) {
      BackgroundLevel = 1;
    } else {
      // A path too long for a PathBuffer is still printed, then refused.
      ConvertFile(argument);
      fileNamed = true;
    }
  }
  if (fileNamed) return 0;
  return ScanDirectory(".");
}
