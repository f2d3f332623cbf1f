#include "files/file_options.h"

#include "image/pixel_graphic.h"

TFileOptions& FileOptions() {
  static TFileOptions options;
  return options;
}

void ApplyScreenGamma(const TFileOptions& options) { TPixelGraphic::SetDefaultGamma(options.ScreenGamma); }
