// Save As: a picture together with the parameter file that draws it again. The two belong together, so they
// are saved as a pair: both are written completely before either replaces a file of the same name.
#pragma once

#include <string>

#include "engine/fractal_params.h"
#include "files/file_format_writer.h"
#include "files/file_options.h"
#include "files/file_system.h"

class TPixelGraphic;

// Saves picture to picturePath (the writer of its extension, with the conversion warning, as SavePictureToFile)
// and v to the parameter file beside it (ParameterFilePathFor). On any error, a Cancel in the warning included,
// neither file is replaced and no temporary file is left; the error propagates. Returns the parameter file's path.
// Both files are made in files.
std::string SavePictureAndParameters(TPixelGraphic* picture, const std::string& picturePath,
                                     const TFileOptions& options, const TWarningBox& warningBox,
                                     const TFractalParams& v, char decimalSeparator,
                                     const TFileSystem& files = SystemFileSystem());
