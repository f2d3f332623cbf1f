#include "document/first_show.h"

#include "document/presets.h"
#include "document/view_coords.h"

void ApplyCreationDefaults(TFractalParams& v) {
  v.abort = false;
  v.randomize = true;
  v.invert = false;
}

void ApplyFirstShowDefaults(TFractalParams& v, int width, int height) {
  v.plotWidth = width;
  v.plotHeight = height;
  v.imageWidth = v.plotWidth;
  v.imageHeight = v.plotHeight;
  ResetCoordinates(v);
  v.red = 0.7;
  v.green = 0.8;
  v.blue = 0.9;
  v.intensity = 30.0;
  v.probability = 0.1;
  v.randomizer = 2.0;
  ClearVariantSwitches(v);
  v.randomize = true;
  v.sqrtFilter = false;
  v.maps = 2;
  v.none = true;
  v.linear = v.sinusoidal = v.spherical = v.swirl = v.horseshoe = v.polar = v.bent = false;
}

void SetUpFirstShow(TFractalParams& v, int width, int height) {
  v = TFractalParams{};
  ApplyCreationDefaults(v);
  ApplyFirstShowDefaults(v, width, height);
}
