// Portable bitmap, graymap and pixmap files, binary (raw) or ASCII (plain), chosen by the file option
// PXMWriteBinary. One writer class; the format follows from its extension.
#pragma once

#include "files/file_format_writer.h"

class TPXMFileFormatWriter : public TFileFormatWriter {
 public:
  void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const override;

 protected:
  TPXMFileFormatWriter(std::string className, std::string extension, std::string description,
                       TColorResolutions canWriteResolutions);
};

class TPBMFileFormatWriter : public TPXMFileFormatWriter {
 public:
  TPBMFileFormatWriter();
};

class TPGMFileFormatWriter : public TPXMFileFormatWriter {
 public:
  TPGMFileFormatWriter();
};

class TPPMFileFormatWriter : public TPXMFileFormatWriter {
 public:
  TPPMFileFormatWriter();
};
