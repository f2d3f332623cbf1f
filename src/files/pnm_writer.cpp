#include "files/pnm_writer.h"

#include <array>
#include <charconv>
#include <cstring>

namespace {

constexpr char AllPrefix[] = "PBM, PGM, PPM: ";

// Every sample is 8 bits; PBM has no such line.
constexpr char MaxValueLine[] = "255\n";

// What sets the three formats apart, one row per TPnmFormat in its order.
struct TPnmTraits {
  TPnmFormat format;
  char asciiDigit;   // of the magic number "P1" .. "P3"
  char binaryDigit;  // "P4" .. "P6"
  bool maxValueLine;
  const char* prefix;  // of the format's own errors
};
constexpr TPnmTraits PnmTraits[] = {
    {TPnmFormat::Bitmap, '1', '4', false, "PBM: "},
    {TPnmFormat::Graymap, '2', '5', true, "PGM: "},
    {TPnmFormat::Pixmap, '3', '6', true, "PPM: "},
};
static_assert(PnmTraits[static_cast<int>(TPnmFormat::Bitmap)].format == TPnmFormat::Bitmap &&
              PnmTraits[static_cast<int>(TPnmFormat::Graymap)].format == TPnmFormat::Graymap &&
              PnmTraits[static_cast<int>(TPnmFormat::Pixmap)].format == TPnmFormat::Pixmap);

const TPnmTraits& TraitsOf(TPnmFormat format) { return PnmTraits[static_cast<std::size_t>(format)]; }

bool Accepts(TPnmFormat format, const TPixelGraphic& image) {
  switch (format) {
    case TPnmFormat::Bitmap:
      return HasBlackWhitePalette(image);
    case TPnmFormat::Graymap:
      return HasGray256Palette(image);
    case TPnmFormat::Pixmap:
      return image.ColorRes() == TColorRes::Bits24;
  }
  return false;
}

// Output goes through a 1024-byte buffer that reaches the stream when full and once at the end, so a
// header that fails its checks never reaches the file.
class TBufferedSink {
 public:
  explicit TBufferedSink(std::ostream& out) : out_(out) {}
  void Put(char c) {
    if (used_ == buffer_.size()) Flush();
    buffer_[used_++] = c;
  }
  void Put(const char* text, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) Put(text[i]);
  }
  void Put(const std::string& text) { Put(text.data(), text.size()); }
  void PutNumber(unsigned value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Put(digits, static_cast<std::size_t>(end - digits));
  }
  void Flush() {
    WriteBytes(out_, buffer_.data(), used_);
    used_ = 0;
  }

 private:
  std::ostream& out_;
  std::array<char, 1024> buffer_{};
  std::size_t used_ = 0;
};

void WriteBinaryRow(TBufferedSink& sink, TPnmFormat format, const std::uint8_t* row, int width) {
  switch (format) {
    case TPnmFormat::Bitmap:
      // PBM calls black 1, the black-and-white palette has black at index 0.
      for (int i = 0; i < (width + 7) / 8; ++i) sink.Put(static_cast<char>(~row[i]));
      break;
    case TPnmFormat::Graymap:
      for (int x = 0; x < width; ++x) sink.Put(static_cast<char>(row[x]));
      break;
    case TPnmFormat::Pixmap:
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = row + 3 * x;
        sink.Put(static_cast<char>(p[2]));
        sink.Put(static_cast<char>(p[1]));
        sink.Put(static_cast<char>(p[0]));
      }
      break;
  }
}

void WriteAsciiRow(TBufferedSink& sink, TPnmFormat format, const std::uint8_t* row, int width) {
  for (int x = 0; x < width; ++x) {
    if (x > 0) sink.Put(' ');
    switch (format) {
      case TPnmFormat::Bitmap:
        sink.Put(((row[x / 8] >> (7 - x % 8)) & 1) == 0 ? '1' : '0');
        break;
      case TPnmFormat::Graymap:
        sink.PutNumber(row[x]);
        break;
      case TPnmFormat::Pixmap: {
        const std::uint8_t* p = row + 3 * x;
        sink.PutNumber(p[2]);
        sink.Put(' ');
        sink.PutNumber(p[1]);
        sink.Put(' ');
        sink.PutNumber(p[0]);
        break;
      }
    }
  }
  sink.Put('\n');
}

}  // namespace

TPXMFileFormatWriter::TPXMFileFormatWriter(TPnmFormat format, std::string className, std::string extension,
                                           std::string description, TColorResolutions canWriteResolutions)
    : TFileFormatWriter(std::move(className), std::move(extension), std::move(description), true,
                        canWriteResolutions),
      format_(format) {}

TPBMFileFormatWriter::TPBMFileFormatWriter()
    : TPXMFileFormatWriter(TPnmFormat::Bitmap, "TPBMFileFormatWriter", "pbm", "Portable Bitmap",
                           ResolutionBit(TColorResolution::BlackWhite)) {}

TPGMFileFormatWriter::TPGMFileFormatWriter()
    : TPXMFileFormatWriter(TPnmFormat::Graymap, "TPGMFileFormatWriter", "pgm", "Portable Graymap",
                           ResolutionBit(TColorResolution::Gray256)) {}

TPPMFileFormatWriter::TPPMFileFormatWriter()
    : TPXMFileFormatWriter(TPnmFormat::Pixmap, "TPPMFileFormatWriter", "ppm", "Portable Pixelmap",
                           ResolutionBit(TColorResolution::TrueColor)) {}

void TPXMFileFormatWriter::Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const {
  const TPnmTraits& traits = TraitsOf(format_);
  const int width = image.Width();
  const int height = image.Height();
  if (width < 1 || height < 1 || image.Empty()) {
    throw EPGPxMFileFormatWriter(std::string(AllPrefix) + MsgWidthHeightZero);
  }

  const bool binary = context.options.PXMWriteBinary;
  TBufferedSink sink(out);
  sink.Put('P');
  sink.Put(binary ? traits.binaryDigit : traits.asciiDigit);
  sink.Put('\n');
  sink.PutNumber(static_cast<unsigned>(width));
  sink.Put(' ');
  sink.PutNumber(static_cast<unsigned>(height));
  sink.Put('\n');
  if (traits.maxValueLine) sink.Put(MaxValueLine, sizeof MaxValueLine - 1);
  // Checked after the header on purpose: the header is still in the buffer, so a refused picture leaves
  // the file empty.
  if (!Accepts(format_, image)) throw EPGPxMFileFormatWriter(std::string(traits.prefix) + MsgInvalidColorRes);

  TProgressScope progress(image);
  const TPixelGraphic& pixels = image;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels.ScanLine(y);
    if (binary) {
      WriteBinaryRow(sink, format_, row, width);
    } else {
      WriteAsciiRow(sink, format_, row, width);
    }
    progress.Progress(y, height);
  }
  progress.End();
  sink.Flush();
}
