// The shipped samples, converted by the real binary at both levels and read
// back by an independent decoder, netpbm's bmptopnm. Every pixel must be
// white where the input's bit is set and the level's grey where it is
// clear. The input's bits are found with the same decoder: it gives each
// pixel's colour, and the input's palette tells which bit value that colour
// stands for (grizzen maps bits, not colours).
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "support/support.h"

namespace {

enum class Outcome {
  kConverted,    // an output every decoder of 2-bit files reads
  kHeadersOnly,  // a top-down input: the output holds the 70-byte prefix only
  kSkipped,      // not two declared colours: no output at all
};

struct Sample {
  const char* name;
  Outcome outcome;
};

const Sample kSamples[] = {
    {"imagemagick-bmp3.bmp", Outcome::kConverted},  // white at palette index 0
    {"imagemagick.bmp", Outcome::kConverted},       // 108-byte info header, rows at 130
    {"pillow.bmp", Outcome::kConverted},
    {"netpbm.bmp", Outcome::kSkipped},              // declares 0 colours
    {"top-down.bmp", Outcome::kHeadersOnly},
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

std::string SamplePath(const std::string& name) { return std::string(GRIZZEN_SAMPLES_DIR) + "/" + name; }

// A decoded picture: one 0xRRGGBB value per pixel, rows top to bottom.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

bool HaveDecoder() { return std::system("command -v bmptopnm >/dev/null 2>&1") == 0; }

// Runs bmptopnm on path and returns its standard output; false when it fails.
bool RunDecoder(const std::string& path, std::string* out) {
  std::string command = "bmptopnm '" + path + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out->append(buffer, got);
  return pclose(pipe) == 0;
}

// Reads a number of a netpbm header, skipping white space and comments.
bool HeaderNumber(const std::string& data, size_t* at, int* value) {
  while (*at < data.size()) {
    char c = data[*at];
    if (c == '#') {
      while (*at < data.size() && data[*at] != '\n') ++*at;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      ++*at;
    } else {
      break;
    }
  }
  size_t start = *at;
  long number = 0;
  while (*at < data.size() && data[*at] >= '0' && data[*at] <= '9' && number < 1000000) {
    number = number * 10 + (data[*at] - '0');
    ++*at;
  }
  *value = int(number);
  return *at > start;
}

// Parses the raw bitmap (P4), grey (P5) or colour (P6) forms bmptopnm writes.
bool ParsePicture(const std::string& data, Picture* picture) {
  if (data.size() < 2 || data[0] != 'P') return false;
  char kind = data[1];
  if (kind != '4' && kind != '5' && kind != '6') return false;
  size_t at = 2;
  int maxval = 1;
  if (!HeaderNumber(data, &at, &picture->width) || !HeaderNumber(data, &at, &picture->height))
    return false;
  if (kind != '4' && (!HeaderNumber(data, &at, &maxval) || maxval < 1 || maxval > 255)) return false;
  ++at;  // the single white-space character that ends the header
  size_t w = size_t(picture->width), h = size_t(picture->height);
  size_t rowBytes = kind == '4' ? (w + 7) / 8 : kind == '5' ? w : 3 * w;
  if (data.size() < at + rowBytes * h) return false;
  auto scale = [maxval](unsigned char v) { return uint32_t(v * 255 / maxval); };
  for (size_t y = 0; y < h; ++y) {
    const unsigned char* row = reinterpret_cast<const unsigned char*>(data.data() + at + y * rowBytes);
    for (size_t x = 0; x < w; ++x) {
      uint32_t rgb;
      if (kind == '4') {
        rgb = (row[x / 8] >> (7 - x % 8) & 1) ? 0x000000 : 0xFFFFFF;  // in PBM, 1 is black
      } else if (kind == '5') {
        rgb = scale(row[x]) * 0x010101;
      } else {
        rgb = scale(row[3 * x]) << 16 | scale(row[3 * x + 1]) << 8 | scale(row[3 * x + 2]);
      }
      picture->pixels.push_back(rgb);
    }
  }
  return true;
}

bool Decode(const std::string& path, Picture* picture) {
  std::string data;
  return RunDecoder(path, &data) && ParsePicture(data, picture);
}

// The colour of palette entry index of a bitmap file, as 0xRRGGBB. The
// palette follows the info header, whatever its size.
uint32_t PaletteColour(const Bytes& file, int index) {
  size_t entry = 14 + Get32(file, 14) + 4 * size_t(index);
  return uint32_t(file.at(entry + 2)) << 16 | uint32_t(file.at(entry + 1)) << 8 | file.at(entry);
}

// The bit value of every pixel of a two-colour input: 1 where the decoder
// shows the colour of palette entry 1, 0 where it shows that of entry 0.
bool InputBits(const std::string& path, Picture* bits) {
  Bytes file = ReadBytes(path);
  uint32_t clear = PaletteColour(file, 0), set = PaletteColour(file, 1);
  EXPECT_NE(clear, set) << path << ": both palette entries show the same colour";
  if (clear == set || !Decode(path, bits)) return false;
  for (uint32_t& pixel : bits->pixels) {
    if (pixel != clear && pixel != set) return false;
    pixel = pixel == set ? 1 : 0;
  }
  return true;
}

class SampleTest : public TempDirTest, public ::testing::WithParamInterface<Sample> {};

TEST_P(SampleTest, DecodesToWhiteAndTheLevelsGrey) {
  const Sample& sample = GetParam();
  std::string name = sample.name;
  std::string output = name.substr(0, name.size() - 3) + "gzn";
  WriteBytes(Path(name), ReadBytes(SamplePath(name)));
  bool decoder = HaveDecoder();

  Picture bits;
  if (sample.outcome == Outcome::kConverted && decoder) {
    ASSERT_TRUE(InputBits(Path(name), &bits)) << "bmptopnm could not read the input " << name;
  }
  for (int level : {1, 2}) {
    SCOPED_TRACE("level " + std::to_string(level));
    RunResult run = RunGrizzen(dir_, {"-" + std::to_string(level), name});
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.out, name + "\n");
    if (sample.outcome == Outcome::kSkipped) {
      EXPECT_FALSE(Exists(Path(output)));
      continue;
    }
    ASSERT_TRUE(Exists(Path(output)));
    if (sample.outcome == Outcome::kHeadersOnly) {
      EXPECT_EQ(ReadBytes(Path(output)).size(), 70u);
      continue;
    }
    if (!decoder) continue;

    Picture grey;
    ASSERT_TRUE(Decode(Path(output), &grey)) << "bmptopnm could not read " << output;
    ASSERT_EQ(grey.width, bits.width);
    ASSERT_EQ(grey.height, bits.height);
    uint32_t clearGrey = (level == 1 ? 0x55 : 0xAA) * 0x010101u;
    size_t wrong = 0, first = 0;
    for (size_t i = 0; i < bits.pixels.size(); ++i) {
      uint32_t expected = bits.pixels[i] ? 0xFFFFFF : clearGrey;
      if (grey.pixels[i] != expected && wrong++ == 0) first = i;
    }
    EXPECT_EQ(wrong, 0u) << "first wrong pixel at x " << first % bits.width << ", y "
                         << first / bits.width << " of " << bits.pixels.size();
  }
  if (!decoder && sample.outcome == Outcome::kConverted)
    GTEST_SKIP() << "bmptopnm not found (Debian package netpbm): outputs not decoded";
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleTest, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c != '.'; ++c)
                             name += (*c == '-') ? '_' : *c;
                           return name;
                         });

// A sample added to the folder without a line above would go unchecked.
TEST(SamplesFolder, EverySampleIsChecked) {
  std::set<std::string> listed;
  for (const Sample& sample : kSamples) listed.insert(sample.name);
  std::set<std::string> found;
  DIR* dir = opendir(GRIZZEN_SAMPLES_DIR);
  ASSERT_NE(dir, nullptr);
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0) found.insert(name);
  }
  closedir(dir);
  EXPECT_EQ(found, listed);
}

}  // namespace
