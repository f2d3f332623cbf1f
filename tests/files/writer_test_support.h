// Pictures and helpers shared by the writer tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "files/file_format_writer.h"
#include "files/safe_file.h"
#include "image/pixel_graphic.h"

namespace writer_test {

constexpr TColor Red = RGBColor(255, 0, 0);
constexpr TColor Blue = RGBColor(0, 0, 255);

// An "F", 6 x 5, red on blue: asymmetric in both directions, and red/blue catch swapped channels.
//   RRRR..
//   R.....
//   RRR...
//   R.....
//   R.....
inline const char* const FRows[5] = {"RRRR..", "R.....", "RRR...", "R.....", "R....."};

inline std::unique_ptr<TPixelGraphic> MakeF() {
  auto image = std::make_unique<TPixelGraphic>();
  image->SetSize(6, 5, TColorRes::Bits24);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) image->SetPixel(x, y, FRows[y][x] == 'R' ? Red : Blue);
  }
  return image;
}

inline bool IsF(int x, int y) { return FRows[y][x] == 'R'; }

// A 24-bit picture of any size filled with a repeatable pattern.
inline std::unique_ptr<TPixelGraphic> MakePattern(int width, int height, unsigned seed = 1) {
  auto image = std::make_unique<TPixelGraphic>();
  image->SetSize(width, height, TColorRes::Bits24);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Runs of equal pixels as well as noise, so PackBits meets both kinds of packet.
      const TColor c = (x / 7 + y / 5) % 3 == 0 ? static_cast<TColor>(random() & 0xFFFFFF) : RGBColor(x, y, x ^ y);
      image->SetPixel(x, y, c);
    }
  }
  return image;
}

inline std::string WriteToString(const TFileFormatWriter& writer, TPixelGraphic& image,
                                 const TFileOptions& options = TFileOptions{}) {
  std::ostringstream out(std::ios::binary);
  writer.Write(out, image, TWriteContext{options, {}});
  return out.str();
}

inline std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

inline std::uint32_t LE16(const std::string& s, std::size_t at) {
  return static_cast<std::uint8_t>(s.at(at)) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s.at(at + 1))) << 8;
}
inline std::uint32_t LE32(const std::string& s, std::size_t at) { return LE16(s, at) | LE16(s, at + 2) << 16; }
inline std::uint32_t BE16(const std::string& s, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s.at(at))) << 8 | static_cast<std::uint8_t>(s.at(at + 1));
}
inline std::uint32_t BE32(const std::string& s, std::size_t at) { return BE16(s, at) << 16 | BE16(s, at + 2); }

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder under the system's temporary folder, removed with its content at the end of the test.
class TTempFolder {
 public:
  TTempFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() / ("ovel-writers-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

struct TBoxCall {
  std::string caption, text;
  TWarningButtons buttons;
  bool fromInsideLibrary;  // what *insideLibrary said at the call
};

// A warning box that records what it was shown, and whether a codec library's call was running then, and
// answers as told.
struct TLibraryWarningBox {
  explicit TLibraryWarningBox(const bool& insideLibrary) : insideLibrary(insideLibrary) {}
  const bool& insideLibrary;
  std::vector<bool> answers;  // one per call; OK once they run out
  std::vector<TBoxCall> calls;
  TWarningBox Box() {
    return [this](const std::string& caption, const std::string& text, TWarningButtons buttons) {
      const bool answer = calls.size() < answers.size() ? answers[calls.size()] : true;
      calls.push_back({caption, text, buttons, insideLibrary});
      return answer;
    };
  }
};

// Takes no byte: a stream over it fails (and raises, when asked to) on the first write.
class TRefusingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// A full disk: every file a save creates in it is real (so a file left behind would show), but the bytes written
// to it go to /dev/full, which refuses them as a full disk does.
class TFullDisk : public TFileSystem {
 public:
  int CreateNewFile(const std::string& path) const override {
    const int file = TFileSystem::CreateNewFile(path);
    if (file < 0) return -1;
    ::close(file);
    return ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  }
};

}  // namespace writer_test
