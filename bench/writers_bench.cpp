// Encoding a 1024 x 768 picture in every format into a discarding stream, so that only the writers are
// measured; one case adds conversion and the safe file replacement of the whole save path.
// The target is well under a second per format.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "files/image_export.h"

namespace {

constexpr int Width = 1024;
constexpr int Height = 768;

// A picture like a rendered attractor: smooth colour gradients with dark background, which is what
// the writers mostly see.
const TPixelGraphic& Picture() {
  static const std::unique_ptr<TPixelGraphic> picture = [] {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(Width, Height, TColorRes::Bits24);
    for (int y = 0; y < Height; ++y) {
      for (int x = 0; x < Width; ++x) {
        const double r = std::hypot(x - Width / 2.0, y - Height / 2.0);
        const double wave = 0.5 + 0.5 * std::sin(r / 9.0 + x / 40.0);
        const int level = r < 360 ? static_cast<int>(255 * wave) : 0;
        image->SetPixel(x, y, RGBColor(level, (level * x) / Width, (level * y) / Height));
      }
    }
    return image;
  }();
  return *picture;
}

// The picture at the resolution the writer of extension stores, as the save path would convert it.
std::unique_ptr<TPixelGraphic> PictureFor(const TFileFormatWriter& writer) {
  auto copy = std::make_unique<TPixelGraphic>();
  copy->Assign(&Picture());
  const TColorResolution current = CurrentColorResolution(*copy);
  const auto chosen = ChooseColorResolution(current, writer.CanWriteResolutions());
  if (chosen && *chosen != current) return ConvertColorResolution(*copy, *chosen);
  return copy;
}

// A stream buffer that counts and discards, so the benchmark measures the encoders and not the growth
// of an in-memory string. Seeking is allowed (the TIFF writer patches its directory) and only moves the
// position.
class TCountingBuffer : public std::streambuf {
 public:
  std::streamsize Size() const { return size_; }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) Advance(1);
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    Advance(n);
    return n;
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    position_ = dir == std::ios_base::beg ? off : dir == std::ios_base::cur ? position_ + off : size_ + off;
    return position_;
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }

 private:
  void Advance(std::streamsize n) {
    position_ += n;
    if (position_ > size_) size_ = position_;
  }
  std::streamsize position_ = 0;
  std::streamsize size_ = 0;
};

void Encode(benchmark::State& state, const std::string& extension, const TFileOptions& options) {
  const TFileFormatWriter* writer = FileFormatWriters().FindByExtension(extension);
  auto image = PictureFor(*writer);
  const TWriteContext context{options, {}};
  std::size_t bytes = 0;
  for (auto _ : state) {
    TCountingBuffer sink;
    std::ostream out(&sink);
    writer->Write(out, *image, context);
    bytes = static_cast<std::size_t>(sink.Size());
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * Width * Height * 3);
}

TFileOptions Options(void (*change)(TFileOptions&)) {
  TFileOptions options;
  change(options);
  return options;
}

void BM_Bmp(benchmark::State& s) { Encode(s, "bmp", {}); }
void BM_Tga(benchmark::State& s) { Encode(s, "tga", {}); }
void BM_PpmBinary(benchmark::State& s) { Encode(s, "ppm", Options([](TFileOptions& o) { o.PXMWriteBinary = true; })); }
void BM_PpmAscii(benchmark::State& s) { Encode(s, "ppm", {}); }
void BM_PgmAscii(benchmark::State& s) { Encode(s, "pgm", {}); }
void BM_PbmBinary(benchmark::State& s) { Encode(s, "pbm", Options([](TFileOptions& o) { o.PXMWriteBinary = true; })); }
void BM_TiffNone(benchmark::State& s) { Encode(s, "tif", {}); }
void BM_TiffPackBits(benchmark::State& s) {
  Encode(s, "tif", Options([](TFileOptions& o) { o.TIFFCompression = TIFFCompressionPackBits; }));
}
void BM_TiffCmykBigEndian(benchmark::State& s) {
  Encode(s, "tif", Options([](TFileOptions& o) {
           o.TIFFWriteCMYK = true;
           o.TIFFByteOrderM = true;
         }));
}
void BM_JpegDefault(benchmark::State& s) { Encode(s, "jpg", {}); }
void BM_JpegProgressive(benchmark::State& s) {
  Encode(s, "jpg", Options([](TFileOptions& o) { o.JPEGProgressive = true; }));
}
void BM_Png(benchmark::State& s) { Encode(s, "png", {}); }

// The whole save path of a format that converts first: conversion, writer and the safe file replacement.
void BM_SavePgmToFile(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "ovel-writers-bench.pgm").string();
  TPixelGraphic image;
  image.Assign(&Picture());
  image.SaveColorResWarningAction = TPGWarningAction::pgwaIgnore;
  for (auto _ : state) SavePixelGraphicToFile(image, path, TFileOptions{}, {});
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PpmBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PpmAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PgmAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PbmBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffNone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffPackBits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffCmykBigEndian)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDefault)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegProgressive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePgmToFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
