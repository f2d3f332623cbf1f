#include "files/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace {

constexpr char kCreate[] = "create";
constexpr char kWrite[] = "write";
constexpr char kReplace[] = "replace";

std::string FileWriteMessage(const std::string& action, const std::string& path, int error) {
  std::string message = "Cannot " + action + " file \"" + path + "\"";
  if (error != 0) message += ": " + std::system_category().message(error);
  return message;
}

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

// A hidden name beside path that keeps path's extension: ".pic.png.1234.89abcdef.tmp.png". The name's stem is cut
// short, so that a temporary file of a temporary file (a group write of a picture) still fits the system's limit
// on names wherever the user's own name fits.
std::string TemporaryNameFor(const std::string& path) {
  constexpr std::size_t kStemKept = 48;
  static std::mutex mutex;
  static std::mt19937_64 generator{std::random_device{}()};
  unsigned long long random = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    random = generator() & 0xFFFFFFFFull;
  }
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%d.%08llx.tmp", static_cast<int>(getpid()), random);
  const std::string name = FileNameOf(path);
  const std::string extension = ExtensionOfName(name);
  const std::string stem = name.substr(0, name.size() - extension.size()).substr(0, kStemKept);
  return FolderOf(path) + "." + stem + extension + suffix + extension;
}

void RenameOver(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) throw EFileWrite(kReplace, to, errno);
}

// A stream buffer over an open file that keeps the first error the system reports. Once one is seen it takes
// nothing more, so the stream fails and the writer's later bytes go nowhere. It seeks, for writers that
// back-patch their headers.
class TFileSink final : public std::streambuf {
 public:
  TFileSink() : buffer_(64 * 1024) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
  ~TFileSink() override {
    if (fd_ >= 0) ::close(fd_);
  }
  TFileSink(const TFileSink&) = delete;
  TFileSink& operator=(const TFileSink&) = delete;

  int Error() const { return error_; }

  // Creates the file in files; false (and the system's error kept) when it cannot.
  bool Open(const TFileSystem& files, const std::string& path) {
    fd_ = files.CreateNewFile(path);
    return fd_ >= 0 || Fail(errno);
  }

  // Writes what is buffered, makes it durable and closes the file; false when the system reported an error
  // at any point. The full disk of a file system that allocates late shows only here.
  bool Finish() {
    if (Drain() && ::fsync(fd_) != 0) Fail(errno);
    if (::close(std::exchange(fd_, -1)) != 0) Fail(errno);
    return error_ == 0;
  }

 protected:
  int_type overflow(int_type c) override {
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }

  int sync() override { return Drain() ? 0 : -1; }

  pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override {
    const pos_type failed(off_type(-1));
    if ((which & std::ios_base::out) == 0 || !Drain()) return failed;
    const int whence = direction == std::ios_base::beg ? SEEK_SET : direction == std::ios_base::cur ? SEEK_CUR : SEEK_END;
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (at < 0) {
      Fail(errno);
      return failed;
    }
    return pos_type(static_cast<off_type>(at));
  }

  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type(position), std::ios_base::beg, which);
  }

 private:
  bool Fail(int error) {
    if (error_ == 0) error_ = error != 0 ? error : EIO;
    return false;
  }

  bool Drain() {
    if (error_ != 0 || fd_ < 0) return Fail(EBADF);
    const char* next = pbase();
    std::size_t left = static_cast<std::size_t>(pptr() - pbase());
    while (left > 0) {
      const ssize_t written = ::write(fd_, next, left);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return Fail(written < 0 ? errno : EIO);
      next += written;
      left -= static_cast<std::size_t>(written);
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  int fd_ = -1;
  std::vector<char> buffer_;
  int error_ = 0;
};

}  // namespace

EFileWrite::EFileWrite(const std::string& action, const std::string& path, int error)
    : std::runtime_error(FileWriteMessage(action, path, error)),
      detail_(std::make_shared<const TDetail>(TDetail{action, path, error})) {}

const std::string& EFileWrite::Action() const {
  static const std::string none;
  return detail_ ? detail_->action : none;
}

const std::string& EFileWrite::Path() const {
  static const std::string none;
  return detail_ ? detail_->path : none;
}

int EFileWrite::Error() const { return detail_ ? detail_->error : 0; }

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write,
                         const TFileSystem& files) {
  const std::string temporary = TemporaryNameFor(path);
  TFileSink sink;
  if (!sink.Open(files, temporary)) throw EFileWrite(kCreate, path, sink.Error());
  try {
    std::ostream out(&sink);
    try {
      write(out);
    } catch (...) {
      // A writer that checks its stream reports a refused write in its own words ("out of disk space?");
      // the system's account names the cause.
      if (sink.Error() != 0) throw EFileWrite(kWrite, path, sink.Error());
      throw;
    }
    const bool streamFailed = !out;
    if (!sink.Finish() || streamFailed) throw EFileWrite(kWrite, path, sink.Error());
    RenameOver(temporary, path);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

void WriteFilesTogether(const std::vector<TGroupWrite>& group) {
  for (const TGroupWrite& file : group) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file.path, ignored)) throw EFileWrite(kReplace, file.path, EISDIR);
  }
  std::vector<std::string> temporaries;
  std::size_t renamed = 0;
  try {
    for (const TGroupWrite& file : group) {
      temporaries.push_back(TemporaryNameFor(file.path));
      try {
        file.write(temporaries.back());
      } catch (const EFileWrite& error) {
        // The user chose file.path; the temporary name would tell them nothing.
        if (!error.Action().empty() && error.Path() == temporaries.back())
          throw EFileWrite(error.Action(), file.path, error.Error());
        throw;
      }
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
