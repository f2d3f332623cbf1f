#include "files/save_as.h"

#include "files/image_export.h"
#include "files/param_file.h"
#include "files/safe_file.h"

std::string SavePictureAndParameters(TPixelGraphic* picture, const std::string& picturePath,
                                     const TFileOptions& options, const TWarningBox& warningBox,
                                     const TFractalParams& v, char decimalSeparator, const TFileSystem& files) {
  const std::string parameterPath = ParameterFilePathFor(picturePath);
  // The picture first: its conversion warning may be cancelled, and then nothing else needs writing.
  WriteFilesTogether({
      {picturePath,
       [&](const std::string& temporary) {
         SavePictureToFile(picture, temporary, options, warningBox, FileFormatWriters(), files);
       }},
      {parameterPath,
       [&](const std::string& temporary) {
         WriteFileAtomically(
             temporary, [&](std::ostream& out) { WriteParameterFile(out, v, decimalSeparator); }, files);
       }},
  });
  return parameterPath;
}
