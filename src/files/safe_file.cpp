#include "files/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

#include <unistd.h>

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryNameFor(const std::string& path) {
  static std::mt19937_64 generator{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%d.%08llx.tmp", static_cast<int>(getpid()),
                static_cast<unsigned long long>(generator() & 0xFFFFFFFFull));
  return FolderOf(path) + "." + FileNameOf(path) + suffix;
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  const std::string temporary = TemporaryNameFor(path);
  try {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      throw EFileWrite("Cannot create file \"" + path + "\": " + std::strerror(errno));
    }
    write(out);
    out.flush();
    if (!out) throw EFileWrite("Cannot write file \"" + path + "\"");
    out.close();
    if (out.fail()) throw EFileWrite("Cannot write file \"" + path + "\"");
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    throw EFileWrite("Cannot replace file \"" + path + "\": " + std::strerror(error));
  }
}

std::string ReplaceExtension(const std::string& path, const std::string& newExtension) {
  const auto slash = path.find_last_of('/');
  const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return path + "." + newExtension;
  return path.substr(0, dot + 1) + newExtension;
}
