#include "files/file_system.h"

#include <fcntl.h>

int TFileSystem::CreateNewFile(const std::string& path) const {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

const TFileSystem& SystemFileSystem() {
  static const TFileSystem system;
  return system;
}
