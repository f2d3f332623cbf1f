#include "files/tiff_writer.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr char Prefix[] = "TIFF: ";

enum : std::uint16_t { TypeShort = 3, TypeLong = 4, TypeRational = 5 };

enum class TTiffKind { Gray, Palette, RGB, CMYK };

// How the picture is laid out in the file.
struct TTiffLayout {
  TTiffKind kind = TTiffKind::RGB;
  int bitsPerSample = 8;
  int samplesPerPixel = 3;
  int photometric = 2;
  bool invert = false;  // WhiteIsZero grey: the index is complemented
  std::int64_t rowBytes = 0;
  int rowsPerStrip = 1;
  int strips = 1;
};

TTiffLayout LayoutOf(const TPixelGraphic& image, const TFileOptions& options) {
  TTiffLayout layout;
  const int width = image.Width();
  switch (image.ColorRes()) {
    case TColorRes::Bits1:
      // The registry never hands this writer a 1-bit image with another palette than black and white.
      layout.kind = TTiffKind::Gray;
      layout.bitsPerSample = 1;
      layout.rowBytes = (static_cast<std::int64_t>(width) + 7) / 8;
      break;
    case TColorRes::Bits4:
      layout.kind = HasGray16Palette(image) ? TTiffKind::Gray : TTiffKind::Palette;
      layout.bitsPerSample = 4;
      layout.rowBytes = (static_cast<std::int64_t>(width) + 1) / 2;
      break;
    case TColorRes::Bits8:
      layout.kind = HasGray256Palette(image) ? TTiffKind::Gray : TTiffKind::Palette;
      layout.bitsPerSample = 8;
      layout.rowBytes = width;
      break;
    case TColorRes::Bits24:
      layout.kind = options.TIFFWriteCMYK ? TTiffKind::CMYK : TTiffKind::RGB;
      layout.rowBytes = static_cast<std::int64_t>(width) * (options.TIFFWriteCMYK ? 4 : 3);
      break;
  }
  switch (layout.kind) {
    case TTiffKind::Gray:
      layout.samplesPerPixel = 1;
      layout.invert = options.TIFFWhiteIsZero;
      layout.photometric = options.TIFFWhiteIsZero ? 0 : 1;
      break;
    case TTiffKind::Palette:
      layout.samplesPerPixel = 1;
      layout.photometric = 3;
      break;
    case TTiffKind::RGB:
      layout.samplesPerPixel = 3;
      layout.photometric = 2;
      break;
    case TTiffKind::CMYK:
      layout.samplesPerPixel = 4;
      layout.photometric = 5;
      break;
  }
  const std::int64_t perStrip = options.TIFFCompression == TIFFCompressionPackBits ? 2 * layout.rowBytes : layout.rowBytes;
  const std::int64_t rows = std::clamp<std::int64_t>(32767 / perStrip, 1, image.Height());
  layout.rowsPerStrip = static_cast<int>(rows);
  layout.strips = static_cast<int>((image.Height() + rows - 1) / rows);
  return layout;
}

// Builds row y's bytes (zero-filled first, so unused low bits stay 0).
void BuildRow(const TPixelGraphic& image, const TTiffLayout& layout, int y, std::uint8_t* dest) {
  const std::uint8_t* src = image.ScanLine(y);
  const int width = image.Width();
  const auto n = static_cast<std::size_t>(layout.rowBytes);
  std::fill(dest, dest + n, 0);
  switch (layout.kind) {
    case TTiffKind::Gray:
    case TTiffKind::Palette:
      // 1-, 4- and 8-bit rows have the file's packing already: leftmost pixel in the high bits.
      std::copy(src, src + n, dest);
      if (layout.invert) {
        for (std::size_t i = 0; i < n; ++i) dest[i] = static_cast<std::uint8_t>(~dest[i]);
      }
      if (layout.bitsPerSample == 1 && width % 8 != 0) {
        dest[n - 1] &= static_cast<std::uint8_t>(0xFF << (8 - width % 8));
      } else if (layout.bitsPerSample == 4 && width % 2 != 0) {
        dest[n - 1] &= 0xF0;
      }
      break;
    case TTiffKind::RGB:
      for (int x = 0; x < width; ++x) {
        dest[3 * x] = src[3 * x + 2];
        dest[3 * x + 1] = src[3 * x + 1];
        dest[3 * x + 2] = src[3 * x];
      }
      break;
    case TTiffKind::CMYK:
      for (int x = 0; x < width; ++x) {
        const int c = 255 - src[3 * x + 2];
        const int m = 255 - src[3 * x + 1];
        const int ye = 255 - src[3 * x];
        const int k = std::min({c, m, ye});
        dest[4 * x] = static_cast<std::uint8_t>(c - k);
        dest[4 * x + 1] = static_cast<std::uint8_t>(m - k);
        dest[4 * x + 2] = static_cast<std::uint8_t>(ye - k);
        dest[4 * x + 3] = static_cast<std::uint8_t>(k);
      }
      break;
  }
}

// The output stream with the chosen byte order. Positions are counted from where writing began;
// the writer counts them itself, so only the few back-patches seek. They fit the 32-bit offsets: a pixel
// image holds at most 2 GB, which CMYK and PackBits enlarge by less than half.
class TTiffStream {
 public:
  TTiffStream(std::ostream& out, bool bigEndian) : out_(out), base_(out.tellp()), bigEndian_(bigEndian) {}

  std::int64_t Position() const { return position_; }

  void Bytes(const std::uint8_t* data, std::size_t n) {
    WriteBytes(out_, data, n);
    position_ += static_cast<std::int64_t>(n);
  }
  void U16(std::uint32_t v) {
    std::uint8_t b[2];
    Encode16(b, v);
    Bytes(b, 2);
  }
  void U32(std::uint32_t v) {
    std::uint8_t b[4];
    Encode32(b, v);
    Bytes(b, 4);
  }
  // Overwrites a 16- or 32-bit value at an earlier position and returns to the end.
  void Patch16(std::int64_t at, std::uint32_t v) {
    std::uint8_t b[2];
    Encode16(b, v);
    PatchBytes(at, b, 2);
  }
  void Patch32(std::int64_t at, std::uint32_t v) {
    std::uint8_t b[4];
    Encode32(b, v);
    PatchBytes(at, b, 4);
  }
  // One seek for a whole array: a picture may have thousands of strips.
  void Patch32Array(std::int64_t at, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> b(4 * values.size());
    for (std::size_t i = 0; i < values.size(); ++i) Encode32(&b[4 * i], values[i]);
    PatchBytes(at, b.data(), b.size());
  }

 private:
  void Encode16(std::uint8_t* b, std::uint32_t v) const {
    if (bigEndian_) {
      b[0] = static_cast<std::uint8_t>(v >> 8);
      b[1] = static_cast<std::uint8_t>(v);
    } else {
      PutLE16(b, v);
    }
  }
  void Encode32(std::uint8_t* b, std::uint32_t v) const {
    if (bigEndian_) {
      Encode16(b, v >> 16);
      Encode16(b + 2, v);
    } else {
      PutLE32(b, v);
    }
  }
  void PatchBytes(std::int64_t at, const std::uint8_t* b, std::size_t n) {
    out_.seekp(base_ + static_cast<std::streamoff>(at));
    WriteBytes(out_, b, n);
    out_.seekp(base_ + static_cast<std::streamoff>(position_));
  }

  std::ostream& out_;
  std::streampos base_;
  bool bigEndian_;
  std::int64_t position_ = 0;
};

struct TEntry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;
};

}  // namespace

void PackBitsRow(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) {
  if (n == 0) return;
  std::vector<std::size_t> run(n);
  for (std::size_t start = 0; start < n;) {
    std::size_t end = start + 1;
    while (end < n && row[end] == row[start]) ++end;
    std::fill(run.begin() + static_cast<std::ptrdiff_t>(start), run.begin() + static_cast<std::ptrdiff_t>(end),
              end - start);
    start = end;
  }
  for (std::size_t i = 1; i < n; ++i) {
    if (run[i] == 2 && run[i - 1] == 1) run[i] = 1;
  }
  for (std::size_t i = n - 1; i-- > 0;) {
    if (run[i] == 2 && run[i + 1] == 1) run[i] = 1;
  }
  std::size_t i = 0;
  while (i < n) {
    std::size_t j = i;
    if (run[i] == 1) {
      while (j < n && run[j] == 1 && j - i < 128) ++j;
      out.push_back(static_cast<std::uint8_t>(j - i - 1));
      out.insert(out.end(), row + i, row + j);
    } else {
      while (j < n && row[j] == row[i] && j - i < 128) ++j;
      out.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(1 - static_cast<int>(j - i))));
      out.push_back(row[i]);
    }
    i = j;
  }
}

TTIFFileFormatWriter::TTIFFileFormatWriter() : TTIFFileFormatWriter("TTIFFileFormatWriter", "tif", true) {}

TTIFFileFormatWriter::TTIFFileFormatWriter(std::string className, std::string extension, bool listed)
    : TFileFormatWriter(std::move(className), std::move(extension), "Tagged Image File Format", listed,
                        static_cast<TColorResolutions>(AllResolutions & ~ResolutionBit(TColorResolution::TwoColors))) {}

TTIFFFileFormatWriter::TTIFFFileFormatWriter() : TTIFFileFormatWriter("TTIFFFileFormatWriter", "tiff", false) {}

void TTIFFileFormatWriter::Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const {
  const TFileOptions& options = context.options;
  if (options.TIFFCompression != TIFFCompressionNone && options.TIFFCompression != TIFFCompressionPackBits) {
    throw EPGTIFFileFormatWriter(std::string(Prefix) + "Internal Error");
  }
  // A TIFF image has at least one strip of at least one row; an empty picture has no valid file.
  if (image.Width() < 1 || image.Height() < 1 || image.Empty()) {
    throw EPGTIFFileFormatWriter(std::string(Prefix) + MsgWidthHeightZero);
  }
  const TTiffLayout layout = LayoutOf(image, options);
  const bool packBits = options.TIFFCompression == TIFFCompressionPackBits;
  const bool hasColorMap = layout.kind == TTiffKind::Palette;
  const bool trueColor = layout.kind == TTiffKind::RGB || layout.kind == TTiffKind::CMYK;
  const std::uint32_t colorMapCount = hasColorMap ? 3u << layout.bitsPerSample : 0;

  TTiffStream tiff(out, options.TIFFByteOrderM);
  // Header step.
  const std::uint8_t order = options.TIFFByteOrderM ? 'M' : 'I';
  const std::uint8_t mark[2] = {order, order};
  tiff.Bytes(mark, 2);
  tiff.U16(42);
  const std::int64_t firstLink = tiff.Position();
  tiff.U32(0);

  // Image step: the directory with placeholders for what is known only later.
  tiff.Patch32(firstLink, static_cast<std::uint32_t>(tiff.Position()));
  std::vector<TEntry> entries = {
      {254, TypeLong, 1, 0},
      {256, TypeLong, 1, static_cast<std::uint32_t>(image.Width())},
      {257, TypeLong, 1, static_cast<std::uint32_t>(image.Height())},
      {258, TypeShort, trueColor ? static_cast<std::uint32_t>(layout.samplesPerPixel) : 1u,
       trueColor ? 0u : static_cast<std::uint32_t>(layout.bitsPerSample)},
      {259, TypeShort, 1, static_cast<std::uint32_t>(options.TIFFCompression)},
      {262, TypeShort, 1, static_cast<std::uint32_t>(layout.photometric)},
      {273, TypeLong, static_cast<std::uint32_t>(layout.strips), 0},
      {277, TypeShort, 1, static_cast<std::uint32_t>(layout.samplesPerPixel)},
      {278, TypeLong, 1, static_cast<std::uint32_t>(layout.rowsPerStrip)},
      {279, TypeLong, static_cast<std::uint32_t>(layout.strips), 0},
      {282, TypeRational, 1, 0},
      {283, TypeRational, 1, 0},
      {296, TypeShort, 1, static_cast<std::uint32_t>(options.TIFFResUnit) + 1},
  };
  if (hasColorMap) entries.push_back({320, TypeShort, colorMapCount, 0});
  enum { BitsPerSampleEntry = 3, StripOffsetsEntry = 6, StripByteCountsEntry = 9, XResEntry = 10, YResEntry = 11,
         ColorMapEntry = 13 };

  const std::int64_t countAt = tiff.Position();
  tiff.U16(0);
  const std::int64_t entriesAt = tiff.Position();
  for (const TEntry& e : entries) {
    tiff.U16(e.tag);
    tiff.U16(e.type);
    tiff.U32(e.count);
    if (e.type == TypeShort && e.count == 1) {
      tiff.U16(e.value);
      tiff.U16(0);
    } else {
      tiff.U32(e.value);
    }
  }
  const auto valueAt = [&](int entry) { return entriesAt + 12 * entry + 8; };
  tiff.U32(0);  // no next directory

  std::int64_t colorMapAt = 0;
  if (hasColorMap) {
    colorMapAt = tiff.Position();
    const int entriesPerChannel = 1 << layout.bitsPerSample;
    for (int channel = 0; channel < 3; ++channel) {
      for (int i = 0; i < entriesPerChannel; ++i) {
        int component = 0;
        if (i < image.PaletteLength()) {
          const TColor c = image.GetPaletteEntry(i);
          component = channel == 0 ? RedOf(c) : channel == 1 ? GreenOf(c) : BlueOf(c);
        }
        tiff.U16(static_cast<std::uint32_t>(component) << 8);
      }
    }
  }
  std::int64_t bitsPerSampleAt = 0;
  if (trueColor) {
    bitsPerSampleAt = tiff.Position();
    for (int s = 0; s < layout.samplesPerPixel; ++s) tiff.U16(8);
  }
  const std::int64_t xResAt = tiff.Position();
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResXNum));
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResXDen));
  const std::int64_t yResAt = tiff.Position();
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResYNum));
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResYDen));
  std::int64_t stripOffsetsAt = 0;
  std::int64_t stripByteCountsAt = 0;
  if (layout.strips > 1) {
    stripOffsetsAt = tiff.Position();
    for (int s = 0; s < layout.strips; ++s) tiff.U32(0);
    stripByteCountsAt = tiff.Position();
    for (int s = 0; s < layout.strips; ++s) tiff.U32(0);
  }

  tiff.Patch16(countAt, static_cast<std::uint32_t>(entries.size()));
  if (trueColor) tiff.Patch32(valueAt(BitsPerSampleEntry), static_cast<std::uint32_t>(bitsPerSampleAt));
  tiff.Patch32(valueAt(XResEntry), static_cast<std::uint32_t>(xResAt));
  tiff.Patch32(valueAt(YResEntry), static_cast<std::uint32_t>(yResAt));
  if (hasColorMap) tiff.Patch32(valueAt(ColorMapEntry), static_cast<std::uint32_t>(colorMapAt));

  std::vector<std::uint32_t> stripOffsets(static_cast<std::size_t>(layout.strips));
  std::vector<std::uint32_t> stripByteCounts(static_cast<std::size_t>(layout.strips));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(layout.rowBytes));
  std::vector<std::uint8_t> packed;
  {
    TProgressScope progress(image);
    const TPixelGraphic& pixels = image;
    const int height = image.Height();
    for (int y = 0; y < height; ++y) {
      const auto strip = static_cast<std::size_t>(y / layout.rowsPerStrip);
      if (y % layout.rowsPerStrip == 0) {
        // Readers may expect strips at word boundaries.
        if (tiff.Position() % 2 != 0) {
          const std::uint8_t zero = 0;
          tiff.Bytes(&zero, 1);
        }
        stripOffsets[strip] = static_cast<std::uint32_t>(tiff.Position());
      }
      BuildRow(pixels, layout, y, row.data());
      if (packBits) {
        packed.clear();
        PackBitsRow(row.data(), row.size(), packed);
        tiff.Bytes(packed.data(), packed.size());
      } else {
        tiff.Bytes(row.data(), row.size());
      }
      if (y % layout.rowsPerStrip == layout.rowsPerStrip - 1 || y == height - 1) {
        stripByteCounts[strip] = static_cast<std::uint32_t>(tiff.Position() - stripOffsets[strip]);
      }
      progress.Progress(y, height - 1);
    }
    progress.End();
  }

  if (layout.strips == 1) {
    tiff.Patch32(valueAt(StripOffsetsEntry), stripOffsets[0]);
    tiff.Patch32(valueAt(StripByteCountsEntry), stripByteCounts[0]);
  } else {
    tiff.Patch32Array(stripOffsetsAt, stripOffsets);
    tiff.Patch32Array(stripByteCountsAt, stripByteCounts);
    tiff.Patch32(valueAt(StripOffsetsEntry), static_cast<std::uint32_t>(stripOffsetsAt));
    tiff.Patch32(valueAt(StripByteCountsEntry), static_cast<std::uint32_t>(stripByteCountsAt));
  }
  // Trailer step: nothing.
}
