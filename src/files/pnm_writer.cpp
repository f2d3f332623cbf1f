#include "files/pnm_writer.h"

#include <array>
#include <charconv>
#include <cstring>

namespace {

enum class TPnmKind { Bitmap, Graymap, Pixmap };

constexpr char AllPrefix[] = "PBM, PGM, PPM: ";

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

void WriteBinaryRow(TBufferedSink& sink, TPnmKind kind, const std::uint8_t* row, int width) {
  switch (kind) {
    case TPnmKind::Bitmap:
      // PBM calls black 1, the black-and-white palette has black at index 0.
      for (int i = 0; i < (width + 7) / 8; ++i) sink.Put(static_cast<char>(~row[i]));
      break;
    case TPnmKind::Graymap:
      for (int x = 0; x < width; ++x) sink.Put(static_cast<char>(row[x]));
      break;
    case TPnmKind::Pixmap:
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = row + 3 * x;
        sink.Put(static_cast<char>(p[2]));
        sink.Put(static_cast<char>(p[1]));
        sink.Put(static_cast<char>(p[0]));
      }
      break;
  }
}

void WriteAsciiRow(TBufferedSink& sink, TPnmKind kind, const std::uint8_t* row, int width) {
  for (int x = 0; x < width; ++x) {
    if (x > 0) sink.Put(' ');
    switch (kind) {
      case TPnmKind::Bitmap:
        sink.Put(((row[x / 8] >> (7 - x % 8)) & 1) == 0 ? '1' : '0');
        break;
      case TPnmKind::Graymap:
        sink.PutNumber(row[x]);
        break;
      case TPnmKind::Pixmap: {
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

TPXMFileFormatWriter::TPXMFileFormatWriter(std::string className, std::string extension, std::string description,
                                           TColorResolutions canWriteResolutions)
    : TFileFormatWriter(std::move(className), std::move(extension), std::move(description), true,
                        canWriteResolutions) {}

TPBMFileFormatWriter::TPBMFileFormatWriter()
    : TPXMFileFormatWriter("TPBMFileFormatWriter", "pbm", "Portable Bitmap",
                           ResolutionBit(TColorResolution::BlackWhite)) {}

TPGMFileFormatWriter::TPGMFileFormatWriter()
    : TPXMFileFormatWriter("TPGMFileFormatWriter", "pgm", "Portable Graymap",
                           ResolutionBit(TColorResolution::Gray256)) {}

TPPMFileFormatWriter::TPPMFileFormatWriter()
    : TPXMFileFormatWriter("TPPMFileFormatWriter", "ppm", "Portable Pixelmap",
                           ResolutionBit(TColorResolution::TrueColor)) {}

void TPXMFileFormatWriter::Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const {
  TPnmKind kind;
  const char* prefix;
  if (Extension() == "pbm") {
    kind = TPnmKind::Bitmap;
    prefix = "PBM: ";
  } else if (Extension() == "pgm") {
    kind = TPnmKind::Graymap;
    prefix = "PGM: ";
  } else if (Extension() == "ppm") {
    kind = TPnmKind::Pixmap;
    prefix = "PPM: ";
  } else {
    throw EPGPxMFileFormatWriter(AllPrefix + UnknownExtensionMessage(Extension()));
  }
  const int width = image.Width();
  const int height = image.Height();
  if (width < 1 || height < 1 || image.Empty()) {
    throw EPGPxMFileFormatWriter(std::string(AllPrefix) + MsgWidthHeightZero);
  }

  const bool binary = context.options.PXMWriteBinary;
  TBufferedSink sink(out);
  sink.Put('P');
  sink.Put(static_cast<char>('1' + static_cast<int>(kind) + (binary ? 3 : 0)));
  sink.Put('\n');
  sink.PutNumber(static_cast<unsigned>(width));
  sink.Put(' ');
  sink.PutNumber(static_cast<unsigned>(height));
  sink.Put('\n');
  if (kind != TPnmKind::Bitmap) sink.Put("255\n", 4);

  bool accepted = false;
  switch (kind) {
    case TPnmKind::Bitmap:
      accepted = HasBlackWhitePalette(image);
      break;
    case TPnmKind::Graymap:
      accepted = HasGray256Palette(image);
      break;
    case TPnmKind::Pixmap:
      accepted = image.ColorRes() == TColorRes::Bits24;
      break;
  }
  if (!accepted) throw EPGPxMFileFormatWriter(std::string(prefix) + MsgInvalidColorRes);

  TProgressScope progress(image);
  const TPixelGraphic& pixels = image;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels.ScanLine(y);
    if (binary) {
      WriteBinaryRow(sink, kind, row, width);
    } else {
      WriteAsciiRow(sink, kind, row, width);
    }
    progress.Progress(y, height);
  }
  progress.End();
  sink.Flush();
}
