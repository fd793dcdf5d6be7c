#include "common/common.h"

#include <cstring>

int BackgroundLevel = 1;

bool CopyPath(PathBuffer* buffer, const char* path) {
  size_t length = std::strlen(path);
  if (length >= kMaxPath) {
    buffer->text[0] = '\0';
    return false;
  }
  std::memcpy(buffer->text, path, length + 1);
  return true;
}

bool JoinPath(PathBuffer* buffer, const char* directory, char separator, const char* name) {
  size_t directoryLength = std::strlen(directory);
  size_t nameLength = std::strlen(name);
  if (directoryLength + 1 + nameLength >= kMaxPath) {
    buffer->text[0] = '\0';
    return false;
  }
  std::memcpy(buffer->text, directory, directoryLength);
  buffer->text[directoryLength] = separator;
  std::memcpy(buffer->text + directoryLength + 1, name, nameLength + 1);
  return true;
}
