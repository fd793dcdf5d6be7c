// The shipped samples, converted by the real binary at both levels and read
// back by independent decoders: netpbm's bmptopnm and, where it is
// installed, Chromium (an <img> drawn on a canvas and read back). Every
// pixel must be white where the input's bit is set and the level's grey
// where it is clear. The input's bits are found with the same decoder: it
// gives each pixel's colour, and the input's palette tells which bit value
// that colour stands for (grizzen maps bits, not colours).
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/support.h"

namespace {

enum class Outcome {
  kConverted,    // an output that decoders of 2-bit files read
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

std::vector<Sample> SamplesWith(Outcome outcome) {
  std::vector<Sample> found;
  for (const Sample& sample : kSamples) {
    if (sample.outcome == outcome) found.push_back(sample);
  }
  return found;
}

std::string SamplePath(const std::string& name) {
  return std::string(GRIZZEN_SAMPLES_DIR) + "/" + name;
}

std::string OutputName(const std::string& name) { return name.substr(0, name.size() - 3) + "gzn"; }

// Runs a shell command and returns its standard output; false when it fails.
bool Capture(const std::string& command, std::string* out) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out->append(buffer, got);
  return pclose(pipe) == 0;
}

// The first of the programs found on the PATH, or "" when none is.
std::string FindProgram(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    std::string path;
    if (Capture("command -v " + name + " 2>/dev/null", &path) && !path.empty()) {
      return path.substr(0, path.find('\n'));
    }
  }
  return "";
}

// A decoded picture: one 0xRRGGBB value per pixel, rows top to bottom.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

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
bool ParseNetpbm(const std::string& data, Picture* picture) {
  if (data.size() < 2 || data[0] != 'P') return false;
  char kind = data[1];
  if (kind != '4' && kind != '5' && kind != '6') return false;
  size_t at = 2;
  int maxval = 1;
  if (!HeaderNumber(data, &at, &picture->width) || !HeaderNumber(data, &at, &picture->height))
    return false;
  if (kind != '4' && (!HeaderNumber(data, &at, &maxval) || maxval < 1 || maxval > 255)) {
    return false;
  }
  ++at;  // the single white-space character that ends the header
  size_t w = size_t(picture->width), h = size_t(picture->height);
  size_t rowBytes = kind == '4' ? (w + 7) / 8 : kind == '5' ? w : 3 * w;
  if (data.size() < at + rowBytes * h) return false;
  auto scale = [maxval](unsigned char v) { return uint32_t(v * 255 / maxval); };
  for (size_t y = 0; y < h; ++y) {
    const unsigned char* row =
        reinterpret_cast<const unsigned char*>(data.data() + at + y * rowBytes);
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

std::string Bmptopnm() { return FindProgram({"bmptopnm"}); }

bool DecodeWithBmptopnm(const std::string& path, Picture* picture) {
  std::string data;
  return Capture(Bmptopnm() + " '" + path + "' 2>/dev/null", &data) && ParseNetpbm(data, picture);
}

std::string Chromium() { return FindProgram({"chromium-headless-shell", "chromium"}); }

std::string Base64(const Bytes& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = uint32_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= uint32_t(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= bytes[i + 2];
    for (size_t k = 0; k < 4; ++k) {
      text += i + k <= bytes.size() ? kDigits[group >> (18 - 6 * k) & 63] : '=';
    }
  }
  return text;
}

// The page shows the file as an image, draws it on a canvas and writes the
// width, the height and every pixel as hex RGB into the document, which the
// browser prints. A data: URL keeps the canvas readable (same origin).
bool DecodeWithChromium(const std::string& path, Picture* picture) {
  std::string folder = path.substr(0, path.rfind('/'));
  std::string page = path + ".html";
  std::string html =
      "<!doctype html><pre id=out>pending</pre><script>\n"
      "const img = new Image(), out = document.getElementById('out');\n"
      "img.onload = () => {\n"
      "  const c = document.createElement('canvas'); c.width = img.width; c.height = img.height;\n"
      "  const g = c.getContext('2d'); g.drawImage(img, 0, 0);\n"
      "  const d = g.getImageData(0, 0, img.width, img.height).data;\n"
      "  let s = img.width + ' ' + img.height + ' ';\n"
      "  for (let i = 0; i < d.length; i += 4)\n"
      "    for (let k = 0; k < 3; ++k) s += d[i + k].toString(16).padStart(2, '0');\n"
      "  out.textContent = s;\n"
      "};\n"
      "img.onerror = () => { out.textContent = 'error'; };\n"
      "img.src = 'data:image/bmp;base64," +
      Base64(ReadBytes(path)) + "';\n</script>\n";
  WriteBytes(page, Bytes(html.begin(), html.end()));
  std::string dom;
  // A browser that hangs is stopped, and its test fails, after two minutes.
  std::string command = "timeout 120 " + Chromium() +
                        " --headless --no-sandbox --disable-gpu --virtual-time-budget=10000" +
                        " --user-data-dir='" + folder + "/chromium-profile'" +
                        " --dump-dom 'file://" + page + "' 2>/dev/null";
  if (!Capture(command, &dom)) return false;
  size_t start = dom.find("<pre id=\"out\">");
  if (start == std::string::npos) return false;
  std::string text = dom.substr(start + 14, dom.find("</pre>", start) - start - 14);
  size_t at = 0;
  if (!HeaderNumber(text, &at, &picture->width) || !HeaderNumber(text, &at, &picture->height)) {
    return false;
  }
  ++at;
  size_t count = size_t(picture->width) * size_t(picture->height);
  if (text.size() != at + 6 * count) return false;
  for (size_t i = 0; i < count; ++i) {
    picture->pixels.push_back(uint32_t(std::stoul(text.substr(at + 6 * i, 6), nullptr, 16)));
  }
  return true;
}

struct Decoder {
  const char* name;
  const char* package;  // the Debian package that brings it
  std::string (*program)();
  bool (*decode)(const std::string& path, Picture* picture);
};

void PrintTo(const Decoder& decoder, std::ostream* out) { *out << decoder.name; }

const Decoder kDecoders[] = {
    {"bmptopnm", "netpbm", Bmptopnm, DecodeWithBmptopnm},
    {"chromium", "chromium-headless-shell", Chromium, DecodeWithChromium},
};

// The colour of palette entry index of a bitmap file, as 0xRRGGBB. The
// palette follows the info header, whatever its size.
uint32_t PaletteColour(const Bytes& file, int index) {
  size_t entry = 14 + Get32(file, 14) + 4 * size_t(index);
  return uint32_t(file.at(entry + 2)) << 16 | uint32_t(file.at(entry + 1)) << 8 | file.at(entry);
}

// The bit value of every pixel of a two-colour input: 1 where the decoder
// shows the colour of palette entry 1, 0 where it shows that of entry 0.
bool InputBits(const Decoder& decoder, const std::string& path, Picture* bits) {
  Bytes file = ReadBytes(path);
  uint32_t clear = PaletteColour(file, 0), set = PaletteColour(file, 1);
  EXPECT_NE(clear, set) << path << ": both palette entries show the same colour";
  if (clear == set || !decoder.decode(path, bits)) return false;
  for (uint32_t& pixel : bits->pixels) {
    if (pixel != clear && pixel != set) return false;
    pixel = pixel == set ? 1 : 0;
  }
  return true;
}

class DecodedSampleTest : public TempDirTest,
                          public ::testing::WithParamInterface<std::tuple<Sample, Decoder>> {};

TEST_P(DecodedSampleTest, ShowsWhiteForSetBitsAndTheLevelsGreyForClearOnes) {
  const Sample& sample = std::get<0>(GetParam());
  const Decoder& decoder = std::get<1>(GetParam());
  if (decoder.program().empty()) {
    GTEST_SKIP() << decoder.name << " not found (Debian package " << decoder.package
                 << "): the outputs are not decoded with it";
  }
  std::string name = sample.name, output = OutputName(name);
  WriteBytes(Path(name), ReadBytes(SamplePath(name)));
  Picture bits;
  ASSERT_TRUE(InputBits(decoder, Path(name), &bits)) << decoder.name << " could not read " << name;

  for (int level : {1, 2}) {
    SCOPED_TRACE("level " + std::to_string(level));
    RunResult run = RunGrizzen(dir_, {"-" + std::to_string(level), name});
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.out, name + "\n");
    Picture grey;
    ASSERT_TRUE(decoder.decode(Path(output), &grey))
        << decoder.name << " could not read " << output;
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
}

std::string TestName(const char* sample, const char* suffix) {
  std::string name;
  for (const char* c = sample; *c != '.'; ++c) name += (*c == '-') ? '_' : *c;
  return name + "_" + suffix;
}

INSTANTIATE_TEST_SUITE_P(Samples, DecodedSampleTest,
                         ::testing::Combine(::testing::ValuesIn(SamplesWith(Outcome::kConverted)),
                                            ::testing::ValuesIn(kDecoders)),
                         [](const ::testing::TestParamInfo<std::tuple<Sample, Decoder>>& info) {
                           return TestName(std::get<0>(info.param).name,
                                           std::get<1>(info.param).name);
                         });

using SamplesTest = TempDirTest;

// The samples the README lists as skipped or giving headers only do so at
// both levels.
TEST_F(SamplesTest, SkippedAndTopDownSamplesGiveNoPicture) {
  for (const Sample& sample : kSamples) {
    if (sample.outcome == Outcome::kConverted) continue;
    std::string name = sample.name, output = OutputName(name);
    WriteBytes(Path(name), ReadBytes(SamplePath(name)));
    for (const char* level : {"-1", "-2"}) {
      RunResult run = RunGrizzen(dir_, {level, name});
      EXPECT_EQ(run.out, name + "\n");
      if (sample.outcome == Outcome::kSkipped) {
        EXPECT_FALSE(Exists(Path(output))) << name << " " << level;
      } else {
        EXPECT_EQ(ReadBytes(Path(output)).size(), 70u) << name << " " << level;
      }
    }
  }
}

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
