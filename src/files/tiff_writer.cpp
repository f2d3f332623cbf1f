#include "files/tiff_writer.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

constexpr char Prefix[] = "TIFF: ";

constexpr std::uint16_t TiffMagic = 42;
constexpr std::uint32_t NoNextDirectory = 0;
// Strips stay below 32 KB, for readers that hold a strip in a 16-bit sized buffer. PackBits may grow a
// row, so it is budgeted at twice the row.
constexpr std::int64_t MaxStripBytes = 32767;
constexpr std::uint32_t TrueColorBitsPerSample = 8;

// The tags this writer stores, in the ascending order the directory must have.
enum class TTiffTag : std::uint16_t {
  NewSubfileType = 254,
  ImageWidth = 256,
  ImageLength = 257,
  BitsPerSample = 258,
  Compression = 259,
  PhotometricInterpretation = 262,
  StripOffsets = 273,
  SamplesPerPixel = 277,
  RowsPerStrip = 278,
  StripByteCounts = 279,
  XResolution = 282,
  YResolution = 283,
  ResolutionUnit = 296,
  ColorMap = 320
};

enum class TTiffType : std::uint16_t { Short = 3, Long = 4, Rational = 5 };

enum class TPhotometric : std::uint16_t { WhiteIsZero = 0, BlackIsZero = 1, RGB = 2, Palette = 3, Separated = 5 };

enum class TTiffKind { Gray, Palette, RGB, CMYK };

// How the picture is laid out in the file.
struct TTiffLayout {
  TTiffKind kind = TTiffKind::RGB;
  int bitsPerSample = 8;
  int samplesPerPixel = 3;
  TPhotometric photometric = TPhotometric::RGB;
  bool invert = false;  // WhiteIsZero grey: the index is complemented
  bool packBits = false;
  std::int64_t rowBytes = 0;
  int rowsPerStrip = 1;
  int strips = 1;

  bool TrueColor() const { return kind == TTiffKind::RGB || kind == TTiffKind::CMYK; }
  bool HasColorMap() const { return kind == TTiffKind::Palette; }
  int ColorMapEntriesPerChannel() const { return 1 << bitsPerSample; }
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
      layout.photometric = options.TIFFWhiteIsZero ? TPhotometric::WhiteIsZero : TPhotometric::BlackIsZero;
      break;
    case TTiffKind::Palette:
      layout.samplesPerPixel = 1;
      layout.photometric = TPhotometric::Palette;
      break;
    case TTiffKind::RGB:
      layout.samplesPerPixel = 3;
      layout.photometric = TPhotometric::RGB;
      break;
    case TTiffKind::CMYK:
      layout.samplesPerPixel = 4;
      layout.photometric = TPhotometric::Separated;
      break;
  }
  layout.packBits = options.TIFFCompression == TIFFCompressionPackBits;
  const std::int64_t perStrip = layout.packBits ? 2 * layout.rowBytes : layout.rowBytes;
  const std::int64_t rows = std::clamp<std::int64_t>(MaxStripBytes / perStrip, 1, image.Height());
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
  TTiffTag tag;
  TTiffType type;
  std::uint32_t count;
  std::uint32_t value;

  // A single SHORT stands in the first two bytes of the value field, whatever the byte order.
  bool ShortInField() const { return type == TTiffType::Short && count == 1; }
};

// The image file directory as one table in tag order. Values that are known only once the directory is
// in the file (where the value blocks and the strips land) are put into their entries by tag.
class TTiffDirectory {
 public:
  explicit TTiffDirectory(std::vector<TEntry> entries) : entries_(std::move(entries)) {}

  // Writes the entry count, the entries and the link to the next directory at the current position.
  void Write(TTiffStream& tiff) {
    tiff.U16(static_cast<std::uint32_t>(entries_.size()));
    entriesAt_ = tiff.Position();
    for (const TEntry& e : entries_) {
      tiff.U16(static_cast<std::uint32_t>(e.tag));
      tiff.U16(static_cast<std::uint32_t>(e.type));
      tiff.U32(e.count);
      if (e.ShortInField()) {
        tiff.U16(e.value);
        tiff.U16(0);
      } else {
        tiff.U32(e.value);
      }
    }
    tiff.U32(NoNextDirectory);
  }

  // Overwrites the value field of the written entry with this tag.
  void Patch(TTiffStream& tiff, TTiffTag tag, std::uint32_t value) const {
    const auto entry =
        std::find_if(entries_.begin(), entries_.end(), [tag](const TEntry& e) { return e.tag == tag; });
    if (entry == entries_.end() || entriesAt_ < 0) {
      throw std::logic_error("TIFF directory has no written entry for tag " + std::to_string(static_cast<int>(tag)));
    }
    constexpr std::int64_t EntryBytes = 12;
    constexpr std::int64_t ValueFieldOffset = 8;
    const std::int64_t at = entriesAt_ + EntryBytes * (entry - entries_.begin()) + ValueFieldOffset;
    if (entry->ShortInField()) {
      tiff.Patch16(at, value);
    } else {
      tiff.Patch32(at, value);
    }
  }

 private:
  std::vector<TEntry> entries_;
  std::int64_t entriesAt_ = -1;
};

// Where each strip begins and how many bytes it has, relative to the start of the file.
struct TStrips {
  std::vector<std::uint32_t> offsets;
  std::vector<std::uint32_t> byteCounts;
};

// Where the two strip arrays stand; only a picture of several strips has them.
struct TStripArrays {
  std::int64_t offsetsAt = 0;
  std::int64_t byteCountsAt = 0;
};

// Writes the byte-order mark and the magic number; answers where the link to the first directory is.
std::int64_t WriteHeader(TTiffStream& tiff, bool bigEndian) {
  const std::uint8_t order = bigEndian ? 'M' : 'I';
  const std::uint8_t mark[2] = {order, order};
  tiff.Bytes(mark, 2);
  tiff.U16(TiffMagic);
  const std::int64_t link = tiff.Position();
  tiff.U32(0);
  return link;
}

// The entries, in tag order. Values that follow the directory get 0 here and are patched in by tag.
TTiffDirectory DirectoryTable(const TPixelGraphic& image, const TTiffLayout& layout, const TFileOptions& options) {
  using T = TTiffTag;
  const auto u32 = [](auto v) { return static_cast<std::uint32_t>(v); };
  const auto strips = u32(layout.strips);
  std::vector<TEntry> entries = {
      {T::NewSubfileType, TTiffType::Long, 1, 0},
      {T::ImageWidth, TTiffType::Long, 1, u32(image.Width())},
      {T::ImageLength, TTiffType::Long, 1, u32(image.Height())},
      layout.TrueColor() ? TEntry{T::BitsPerSample, TTiffType::Short, u32(layout.samplesPerPixel), 0}
                         : TEntry{T::BitsPerSample, TTiffType::Short, 1, u32(layout.bitsPerSample)},
      {T::Compression, TTiffType::Short, 1, u32(options.TIFFCompression)},
      {T::PhotometricInterpretation, TTiffType::Short, 1, u32(layout.photometric)},
      {T::StripOffsets, TTiffType::Long, strips, 0},
      {T::SamplesPerPixel, TTiffType::Short, 1, u32(layout.samplesPerPixel)},
      {T::RowsPerStrip, TTiffType::Long, 1, u32(layout.rowsPerStrip)},
      {T::StripByteCounts, TTiffType::Long, strips, 0},
      {T::XResolution, TTiffType::Rational, 1, 0},
      {T::YResolution, TTiffType::Rational, 1, 0},
      // The options count units from 0 (none); the tag counts them from 1.
      {T::ResolutionUnit, TTiffType::Short, 1, u32(options.TIFFResUnit) + 1},
  };
  if (layout.HasColorMap()) {
    entries.push_back({T::ColorMap, TTiffType::Short, u32(3 * layout.ColorMapEntriesPerChannel()), 0});
  }
  return TTiffDirectory(std::move(entries));
}

// Writes the directory and the values that follow it, with zeros for the strip arrays, and patches the
// values' offsets into their entries.
TStripArrays WriteDirectory(TTiffStream& tiff, TTiffDirectory& directory, std::int64_t link,
                            const TPixelGraphic& image, const TTiffLayout& layout, const TFileOptions& options) {
  tiff.Patch32(link, static_cast<std::uint32_t>(tiff.Position()));
  directory.Write(tiff);
  const auto here = [&tiff] { return static_cast<std::uint32_t>(tiff.Position()); };

  if (layout.HasColorMap()) {
    directory.Patch(tiff, TTiffTag::ColorMap, here());
    // All reds, then all greens, then all blues; entries past the palette are black.
    for (int channel = 0; channel < 3; ++channel) {
      for (int i = 0; i < layout.ColorMapEntriesPerChannel(); ++i) {
        int component = 0;
        if (i < image.PaletteLength()) {
          const TColor c = image.GetPaletteEntry(i);
          component = channel == 0 ? RedOf(c) : channel == 1 ? GreenOf(c) : BlueOf(c);
        }
        tiff.U16(static_cast<std::uint32_t>(component) << 8);
      }
    }
  }
  if (layout.TrueColor()) {
    directory.Patch(tiff, TTiffTag::BitsPerSample, here());
    for (int s = 0; s < layout.samplesPerPixel; ++s) tiff.U16(TrueColorBitsPerSample);
  }
  directory.Patch(tiff, TTiffTag::XResolution, here());
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResXNum));
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResXDen));
  directory.Patch(tiff, TTiffTag::YResolution, here());
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResYNum));
  tiff.U32(static_cast<std::uint32_t>(options.TIFFResYDen));

  TStripArrays arrays;
  if (layout.strips > 1) {
    arrays.offsetsAt = tiff.Position();
    for (int s = 0; s < layout.strips; ++s) tiff.U32(0);
    arrays.byteCountsAt = tiff.Position();
    for (int s = 0; s < layout.strips; ++s) tiff.U32(0);
  }
  return arrays;
}

// Writes the rows top to bottom, in strips that begin at even positions.
TStrips WriteStrips(TTiffStream& tiff, TPixelGraphic& image, const TTiffLayout& layout) {
  TStrips strips;
  strips.offsets.resize(static_cast<std::size_t>(layout.strips));
  strips.byteCounts.resize(static_cast<std::size_t>(layout.strips));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(layout.rowBytes));
  std::vector<std::uint8_t> packed;
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
      strips.offsets[strip] = static_cast<std::uint32_t>(tiff.Position());
    }
    BuildRow(pixels, layout, y, row.data());
    if (layout.packBits) {
      packed.clear();
      PackBitsRow(row.data(), row.size(), packed);
      tiff.Bytes(packed.data(), packed.size());
    } else {
      tiff.Bytes(row.data(), row.size());
    }
    if (y % layout.rowsPerStrip == layout.rowsPerStrip - 1 || y == height - 1) {
      strips.byteCounts[strip] = static_cast<std::uint32_t>(tiff.Position() - strips.offsets[strip]);
    }
    progress.Progress(y, height - 1);
  }
  progress.End();
  return strips;
}

// A single strip goes straight into its entries; several go into the arrays, which the entries point at.
void PlaceStrips(TTiffStream& tiff, const TTiffDirectory& directory, const TStripArrays& arrays,
                 const TStrips& strips) {
  if (strips.offsets.size() == 1) {
    directory.Patch(tiff, TTiffTag::StripOffsets, strips.offsets[0]);
    directory.Patch(tiff, TTiffTag::StripByteCounts, strips.byteCounts[0]);
  } else {
    tiff.Patch32Array(arrays.offsetsAt, strips.offsets);
    tiff.Patch32Array(arrays.byteCountsAt, strips.byteCounts);
    directory.Patch(tiff, TTiffTag::StripOffsets, static_cast<std::uint32_t>(arrays.offsetsAt));
    directory.Patch(tiff, TTiffTag::StripByteCounts, static_cast<std::uint32_t>(arrays.byteCountsAt));
  }
}

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
  TTiffStream tiff(out, options.TIFFByteOrderM);
  const std::int64_t firstLink = WriteHeader(tiff, options.TIFFByteOrderM);
  TTiffDirectory directory = DirectoryTable(image, layout, options);
  const TStripArrays arrays = WriteDirectory(tiff, directory, firstLink, image, layout, options);
  PlaceStrips(tiff, directory, arrays, WriteStrips(tiff, image, layout));
}
