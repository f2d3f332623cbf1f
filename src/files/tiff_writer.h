// Baseline TIFF files with one image in strips: either byte order, uncompressed or PackBits,
// RGB or CMYK for true colour, BlackIsZero or WhiteIsZero for grey, palette images with a colour map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/file_format_writer.h"

class TTIFFileFormatWriter : public TFileFormatWriter {
 public:
  TTIFFileFormatWriter();
  void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const override;

 protected:
  TTIFFileFormatWriter(std::string className, std::string extension, bool listed);
};

// The same files under the extension tiff, without an entry of its own in the save dialog.
class TTIFFFileFormatWriter : public TTIFFileFormatWriter {
 public:
  TTIFFFileFormatWriter();
};

// Appends the PackBits packets of one row to out. A pair of equal bytes next to literal bytes goes
// into the literal packet, which is what most encoders do and keeps such rows short.
void PackBitsRow(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out);
