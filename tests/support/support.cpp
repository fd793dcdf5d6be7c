#include "support/support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

Bytes Hex(const std::string& text) {
  Bytes bytes;
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == '\n') continue;
    digits += c;
    if (digits.size() == 2) {
      bytes.push_back(uint8_t(std::stoul(digits, nullptr, 16)));
      digits.clear();
    }
  }
  return bytes;
}

std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

void Put16(Bytes* bytes, size_t offset, uint16_t value) {
  (*bytes)[offset] = uint8_t(value);
  (*bytes)[offset + 1] = uint8_t(value >> 8);
}

void Put32(Bytes* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = uint8_t(value >> (8 * i));
}

uint32_t Get32(const Bytes& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | bytes.at(offset + i);
  return value;
}

Bytes MonochromePrefix(int32_t width, int32_t height) {
  Bytes bytes(62, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  Put32(&bytes, 10, 62);  // bfOffBits
  Put32(&bytes, 14, 40);  // biSize
  Put32(&bytes, 18, uint32_t(width));
  Put32(&bytes, 22, uint32_t(height));
  Put16(&bytes, 26, 1);   // biPlanes
  Put16(&bytes, 28, 1);   // biBitCount
  Put32(&bytes, 46, 2);   // biClrUsed
  Put32(&bytes, 58, 0x00FFFFFF);  // palette: black, then white
  return bytes;
}

Bytes Monochrome(int32_t width, int32_t height, const std::string& rowsHex) {
  Bytes bytes = MonochromePrefix(width, height);
  Bytes rows = Hex(rowsHex);
  bytes.insert(bytes.end(), rows.begin(), rows.end());
  return bytes;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

void TempDirTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "grizzen-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
}

void TempDirTest::TearDown() {
  std::error_code error;
  // Give back any permission a test took away, so the folder can be removed.
  for (auto it = fs::recursive_directory_iterator(dir_, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
  }
  fs::remove_all(dir_, error);
}

std::vector<std::string> TempDirTest::Tree() const {
  std::vector<std::string> names;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(dir_, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    std::string name = fs::relative(it->path(), dir_).string();
    if (it->is_directory(error) && !it->is_symlink(error)) name += '/';
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
  return text;
}

std::string ChosenBinary() {
  const char* chosen = std::getenv("GRIZZEN_BINARY");
  return chosen != nullptr && *chosen != '\0' ? chosen : GRIZZEN_BUILT_BINARY;
}

// A Windows program writes its standard output in text mode: every newline
// goes out as CR LF. Fails the test on a bare newline or a stray CR, and
// gives the text with plain newlines.
std::string FromWindowsLines(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) {
      ADD_FAILURE() << "standard output is not CR LF text at byte " << i << ": " << text;
    }
    lines += text[i];
  }
  return lines;
}

}  // namespace

bool TargetIsWindows() {
  std::string binary = ChosenBinary();
  return binary.size() >= 4 && binary.compare(binary.size() - 4, 4, ".exe") == 0;
}

std::string NativePath(std::string path) {
  if (TargetIsWindows()) std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

RunResult RunGrizzen(const std::string& directory, const std::vector<std::string>& args,
                     const RunOptions& options) {
  RunResult result;
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
  std::string binary = ChosenBinary();
  const char* wrapperSetting = std::getenv("GRIZZEN_WRAPPER");
  std::string wrapper = wrapperSetting != nullptr ? wrapperSetting : "";
  // The test's own wrapper runs the whole command, GRIZZEN_WRAPPER included.
  std::vector<std::string> copies = options.wrapper;
  if (!wrapper.empty()) copies.push_back(wrapper);
  copies.push_back(binary);
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    if (options.fileSizeLimit >= 0) {
      // Writing past the limit then fails with EFBIG, as on a full disk.
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit = {rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (chdir(directory.c_str()) != 0) _exit(127);
    if (options.wrapper.empty()) {
      execv(argv[0], argv.data());
    } else {
      execvp(argv[0], argv.data());
    }
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  // Standard error is expected to stay empty, so reading standard output to
  // its end first cannot dead-lock on a full error pipe in practice.
  result.out = ReadAll(outPipe[0]);
  result.err = ReadAll(errPipe[0]);
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (TargetIsWindows()) result.out = FromWindowsLines(result.out);
  return result;
}

void WithFileSizeLimit(long limit, const std::function<void()>& body) {
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = {rlim_t(limit), saved.rlim_max};
  if (setrlimit(RLIMIT_FSIZE, &small) == 0) {
    body();
    setrlimit(RLIMIT_FSIZE, &saved);
  } else {
    ADD_FAILURE() << "cannot limit the size of files";
  }
  signal(SIGXFSZ, oldHandler);
}
