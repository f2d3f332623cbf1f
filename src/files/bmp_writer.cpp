#include "files/bmp_writer.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::int64_t FileHeaderSize = 14;
constexpr std::int64_t InfoHeaderSize = 40;
constexpr char BitmapDescription[] = "Bitmap";

}  // namespace

TBMPFileFormatWriter::TBMPFileFormatWriter() : TBMPFileFormatWriter("TBMPFileFormatWriter", "bmp", true) {}

TBMPFileFormatWriter::TBMPFileFormatWriter(std::string className, std::string extension, bool listed)
    : TFileFormatWriter(std::move(className), std::move(extension), BitmapDescription, listed, AllResolutions) {}

TDIBFileFormatWriter::TDIBFileFormatWriter() : TBMPFileFormatWriter("TDIBFileFormatWriter", "dib", false) {}

void TBMPFileFormatWriter::Write(std::ostream& out, TPixelGraphic& image, const TWriteContext&) const {
  const std::int64_t dataOffset = FileHeaderSize + InfoHeaderSize + 4 * static_cast<std::int64_t>(image.PaletteLength());
  const std::int64_t fileSize = dataOffset + image.ImageSize();
  // Fits the 32-bit size field: a pixel image holds at most 2 GB of pixel memory.
  std::array<std::uint8_t, FileHeaderSize> header{};
  header[0] = 'B';
  header[1] = 'M';
  PutLE32(&header[2], static_cast<std::uint32_t>(fileSize));
  PutLE32(&header[10], static_cast<std::uint32_t>(dataOffset));
  WriteBytes(out, header.data(), header.size());
  image.SaveDIBToStream(out);
}
