#include "files/file_options.h"

#include "image/pixel_graphic.h"

void ApplyScreenGamma(const TFileOptions& options) { TPixelGraphic::SetDefaultGamma(options.ScreenGamma); }
