// Uncompressed Windows bitmap files: the 14-byte file header followed by the picture's own bitmap
// header, palette and pixel memory.
#pragma once

#include "files/file_format_writer.h"

class TBMPFileFormatWriter : public TFileFormatWriter {
 public:
  TBMPFileFormatWriter();
  void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const override;

 protected:
  TBMPFileFormatWriter(std::string className, std::string extension, bool listed);
};

// The same files under the extension dib, without an entry of its own in the save dialog.
class TDIBFileFormatWriter : public TBMPFileFormatWriter {
 public:
  TDIBFileFormatWriter();
};
