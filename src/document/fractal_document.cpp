#include "document/fractal_document.h"

#include <utility>

#include "document/presets.h"
#include "document/view_coords.h"

TFractalDocument::TFractalDocument(int width, int height) { SetUpFirstShow(v_, width, height); }

void TFractalDocument::Resize(int width, int height) {
  // Everything that can fail comes first; what follows only moves pointers.
  auto picture = std::make_unique<TPixelGraphic>();
  picture->SetSize(width, height, TColorRes::Bits24);
  THitLists lists = CreateTList(width, height);

  picture_ = std::move(picture);
  lists_ = std::move(lists);
  v_.image = picture_.get();
  AttachHitLists(v_, lists_);
  v_.imageWidth = width;
  v_.imageHeight = height;
  v_.plotWidth = v_.imageWidth;
  v_.plotHeight = v_.imageHeight;
}

void TFractalDocument::ResetView() { ResetCoordinates(v_); }

void TFractalDocument::ToggleMiraVariant(int variant) { ::ToggleMiraVariant(v_, variant); }

void TFractalDocument::ToggleIfsVariant(int variant) { ::ToggleIfsVariant(v_, variant); }

void TFractalDocument::ToggleLatoocarfian01() { ::ToggleLatoocarfian01(v_); }

void TFractalDocument::MarkRegion(const TPixelRect& fitted) { ::MarkRegion(v_, fitted); }

bool TFractalDocument::ZoomToRegion() {
  if (RegionIsEmpty(v_)) return false;
  ::ZoomToRegion(v_);
  return true;
}

bool TFractalDocument::PrepareRun() {
  DeriveFamilySwitches(v_);
  if (!SelectsAFamily(v_)) return false;
  AdjustCoordsForRun(v_);
  return true;
}
