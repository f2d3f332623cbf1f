// Uncompressed Truevision Targa files: 24-bit true colour or 8-bit colour-mapped, rows bottom-up.
#pragma once

#include "files/file_format_writer.h"

// The format's width and height fields have 16 bits.
constexpr int TGAMaxDimension = 65535;

class TTGAFileFormatWriter : public TFileFormatWriter {
 public:
  TTGAFileFormatWriter();
  void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const override;
};
