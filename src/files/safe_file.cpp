#include "files/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <filesystem>
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

std::string ExtensionOfName(const std::string& name) {
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

// A hidden name beside path that keeps path's extension: ".pic.png.1234.89abcdef.tmp.png".
std::string TemporaryNameFor(const std::string& path) {
  static std::mt19937_64 generator{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%d.%08llx.tmp", static_cast<int>(getpid()),
                static_cast<unsigned long long>(generator() & 0xFFFFFFFFull));
  const std::string name = FileNameOf(path);
  return FolderOf(path) + "." + name + suffix + ExtensionOfName(name);
}

void RenameOver(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    const int error = errno;
    throw EFileWrite("Cannot replace file \"" + to + "\": " + std::strerror(error));
  }
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
  try {
    RenameOver(temporary, path);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
}

void WriteFilesTogether(const std::vector<TGroupWrite>& group) {
  for (const TGroupWrite& file : group) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file.path, ignored))
      throw EFileWrite("Cannot replace file \"" + file.path + "\": " + std::strerror(EISDIR));
  }
  std::vector<std::string> temporaries;
  std::size_t renamed = 0;
  try {
    for (const TGroupWrite& file : group) {
      temporaries.push_back(TemporaryNameFor(file.path));
      file.write(temporaries.back());
    }
    for (; renamed < group.size(); ++renamed) RenameOver(temporaries[renamed], group[renamed].path);
  } catch (...) {
    for (std::size_t i = renamed; i < temporaries.size(); ++i) std::remove(temporaries[i].c_str());
    throw;
  }
}

std::string ReplaceExtension(const std::string& path, const std::string& newExtension) {
  const auto slash = path.find_last_of('/');
  const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return path + "." + newExtension;
  return path.substr(0, dot + 1) + newExtension;
}
