// Helpers of the ovel-ifs-render tests: a scratch folder, files, and small decoders for the uncompressed formats.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/fractal_params.h"
#include "files/param_file.h"

namespace cli_test {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("ovel_cli_test_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline void WriteParams(const std::string& path, const TFractalParams& v) {
  std::ofstream out(path, std::ios::binary);
  WriteParameterFile(out, v, '.');
}

// A decoded 24-bit picture, rows top-down, pixels as red, green, blue.
struct TRgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  const std::uint8_t* At(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  bool Lit(int x, int y) const {
    const auto* p = At(x, y);
    return p[0] != 0 || p[1] != 0 || p[2] != 0;
  }
  int LitCount() const {
    int count = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) count += Lit(x, y) ? 1 : 0;
    }
    return count;
  }
};

inline std::uint32_t LE(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
  return v;
}

// An uncompressed 24-bit BMP as our writer makes it: bottom-up rows padded to four bytes, blue-green-red.
inline TRgbPicture DecodeBmp24(const std::string& b) {
  TRgbPicture picture;
  if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || LE(b, 28, 2) != 24 || LE(b, 30, 4) != 0) {
    ADD_FAILURE() << "not an uncompressed 24-bit BMP";
    return picture;
  }
  picture.width = static_cast<int>(LE(b, 18, 4));
  picture.height = static_cast<int>(LE(b, 22, 4));
  const std::size_t offset = LE(b, 10, 4);
  const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) / 4 * 4;
  if (b.size() < offset + stride * picture.height) {
    ADD_FAILURE() << "BMP pixel data cut short";
    return {};
  }
  picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  for (int y = 0; y < picture.height; ++y) {
    const std::size_t row = offset + stride * (picture.height - 1 - y);
    for (int x = 0; x < picture.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        picture.rgb[(static_cast<std::size_t>(y) * picture.width + x) * 3 + c] =
            static_cast<std::uint8_t>(b[row + x * 3 + 2 - c]);
      }
    }
  }
  return picture;
}

// A binary PPM (P6) with maxval 255; header fields separated by any white space, comments allowed.
inline TRgbPicture DecodePpm(const std::string& b) {
  TRgbPicture picture;
  std::size_t at = 2;
  const auto field = [&]() {
    for (;;) {
      while (at < b.size() && std::isspace(static_cast<unsigned char>(b[at]))) ++at;
      if (at < b.size() && b[at] == '#') {
        while (at < b.size() && b[at] != '\n') ++at;
        continue;
      }
      break;
    }
    int value = 0;
    while (at < b.size() && std::isdigit(static_cast<unsigned char>(b[at]))) value = value * 10 + (b[at++] - '0');
    return value;
  };
  if (b.compare(0, 2, "P6") != 0) {
    ADD_FAILURE() << "not a binary PPM";
    return picture;
  }
  picture.width = field();
  picture.height = field();
  if (field() != 255) ADD_FAILURE() << "PPM maxval is not 255";
  ++at;  // the single white-space character before the raster
  const std::size_t size = static_cast<std::size_t>(picture.width) * picture.height * 3;
  if (b.size() < at + size) {
    ADD_FAILURE() << "PPM raster cut short";
    return {};
  }
  picture.rgb.assign(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + size));
  return picture;
}

// Width and height from a PNG's IHDR chunk, which always comes first.
inline std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& b) {
  const auto be = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
  };
  if (b.size() < 24 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || b.compare(12, 4, "IHDR") != 0) return {0, 0};
  return {be(16), be(20)};
}

}  // namespace cli_test
