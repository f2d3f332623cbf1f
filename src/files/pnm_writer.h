// Portable bitmap, graymap and pixmap files, binary (raw) or ASCII (plain), chosen by the file option
// PXMWriteBinary. One writer class; each subclass names its format.
#pragma once

#include "files/file_format_writer.h"

enum class TPnmFormat { Bitmap, Graymap, Pixmap };

class TPXMFileFormatWriter : public TFileFormatWriter {
 public:
  void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const override;

 protected:
  TPXMFileFormatWriter(TPnmFormat format, std::string className, std::string extension, std::string description,
                       TColorResolutions canWriteResolutions);

 private:
  TPnmFormat format_;
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
