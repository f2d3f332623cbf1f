// PNG files encoded by libpng: true colour, 256-level grey or palette images, with an optional gAMA chunk.
#pragma once

#include "files/file_format_writer.h"

class TPNGFileFormatWriter : public TFileFormatWriter {
 public:
  TPNGFileFormatWriter();
  void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const override;
};
