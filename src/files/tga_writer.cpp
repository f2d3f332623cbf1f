#include "files/tga_writer.h"

#include <array>
#include <string>
#include <vector>

TTGAFileFormatWriter::TTGAFileFormatWriter()
    : TFileFormatWriter("TTGAFileFormatWriter", "tga", "Truevision Targa", true,
                        ResolutionSet(TColorResolution::Colors256, TColorResolution::TrueColor)) {}

void TTGAFileFormatWriter::Write(std::ostream& out, TPixelGraphic& image, const TWriteContext&) const {
  const int width = image.Width();
  const int height = image.Height();
  // Checked before the first byte: a wrapped size field would make every reader misplace the rows.
  if (width > TGAMaxDimension || height > TGAMaxDimension) {
    throw EPGTGAFileFormatWriter("TGA: The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                                 " pixels; Targa files hold at most " + std::to_string(TGAMaxDimension) + " x " +
                                 std::to_string(TGAMaxDimension) + " pixels");
  }
  const bool trueColor = image.ColorRes() == TColorRes::Bits24;
  // Rows are copied as width bytes per pixel byte; a 1- or 4-bit row is shorter than that.
  if (!trueColor && image.ColorRes() != TColorRes::Bits8) {
    throw EPGTGAFileFormatWriter(std::string("TGA: ") + MsgInvalidColorRes);
  }
  const int paletteLength = trueColor ? 0 : image.PaletteLength();
  const int depth = trueColor ? 24 : 8;

  std::array<std::uint8_t, 18> header{};
  header[1] = trueColor ? 0 : 1;                    // colour map type
  header[2] = trueColor ? 2 : 1;                    // image type
  PutLE16(&header[5], static_cast<std::uint32_t>(paletteLength));
  header[7] = trueColor ? 0 : 24;                   // colour map entry size
  PutLE16(&header[12], static_cast<std::uint32_t>(width));
  PutLE16(&header[14], static_cast<std::uint32_t>(height));
  header[16] = static_cast<std::uint8_t>(depth);
  header[17] = 0;  // origin at the lower left: the pixel memory's bottom-up order is the file's
  WriteBytes(out, header.data(), header.size());

  if (paletteLength > 0) {
    std::vector<std::uint8_t> map(3 * static_cast<std::size_t>(paletteLength));
    for (int i = 0; i < paletteLength; ++i) {
      const TColor c = image.GetPaletteEntry(i);
      map[3 * i] = static_cast<std::uint8_t>(BlueOf(c));
      map[3 * i + 1] = static_cast<std::uint8_t>(GreenOf(c));
      map[3 * i + 2] = static_cast<std::uint8_t>(RedOf(c));
    }
    WriteBytes(out, map.data(), map.size());
  }

  if (height <= 0 || image.Empty()) return;
  TProgressScope progress(image);
  const std::uint8_t* bits = image.Bits();
  const std::size_t rowBytes = static_cast<std::size_t>(width) * (depth / 8);
  for (int r = 0; r < height; ++r) {
    WriteBytes(out, bits + static_cast<std::int64_t>(r) * image.BytesPerLine(), rowBytes);
    progress.Progress(r, height);
  }
  progress.End();
}
