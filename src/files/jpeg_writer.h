// JFIF files encoded by libjpeg: 24-bit true colour or 8-bit 256-level grey, with the quality, DCT
// method and progressive options.
#pragma once

#include "files/file_format_writer.h"

class TJPGFileFormatWriter : public TFileFormatWriter {
 public:
  TJPGFileFormatWriter();
  void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const override;

 protected:
  TJPGFileFormatWriter(std::string className, std::string extension);
};

// The same files under the extensions jpeg and jif, without entries of their own in the save dialog.
class TJPEGFileFormatWriter : public TJPGFileFormatWriter {
 public:
  TJPEGFileFormatWriter();
};

class TJIFFileFormatWriter : public TJPGFileFormatWriter {
 public:
  TJIFFileFormatWriter();
};
