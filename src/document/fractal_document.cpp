#include "document/fractal_document.h"

#include <utility>

#include "document/presets.h"
#include "document/view_coords.h"

TFractalDocument::TFractalDocument(int width, int height) { SetUpFirstShow(v_, width, height); }

TFractalDocument::~TFractalDocument() {
  v_.abort = true;
  v_.image = nullptr;
}

void TFractalDocument::AttachHandles() {
  v_.image = picture_.get();
  AttachHitLists(v_, lists_);
}

namespace {

std::unique_ptr<TPixelGraphic> BlackPicture(int width, int height) {
  auto picture = std::make_unique<TPixelGraphic>();
  picture->SetSize(width, height, TColorRes::Bits24);
  return picture;
}

}  // namespace

std::unique_ptr<TPixelGraphic> TFractalDocument::NewPicture() {
  std::unique_ptr<TPixelGraphic> picture = BlackPicture(v_.imageWidth, v_.imageHeight);
  std::swap(picture, picture_);
  AttachHandles();
  // A pass of the gradient colouring counts into colour cells, made the first time one starts.
  EnsureColourCells(v_, lists_);
  return picture;
}

std::unique_ptr<TPixelGraphic> TFractalDocument::Resize(int width, int height) {
  // Everything that can fail comes first; what follows only moves pointers.
  std::unique_ptr<TPixelGraphic> picture = BlackPicture(width, height);
  THitLists lists = CreateTList(width, height);

  std::swap(picture, picture_);
  lists_ = std::move(lists);
  AttachHandles();
  v_.imageWidth = width;
  v_.imageHeight = height;
  v_.plotWidth = v_.imageWidth;
  v_.plotHeight = v_.imageHeight;
  EnsureColourCells(v_, lists_);
  return picture;
}

std::unique_ptr<TPixelGraphic> TFractalDocument::Restore(const TParamSnapshot& snapshot) {
  std::unique_ptr<TPixelGraphic> replaced;
  if (snapshot.Width() != v_.imageWidth || snapshot.Height() != v_.imageHeight || !picture_)
    replaced = Resize(snapshot.Width(), snapshot.Height());
  RestoreSettings(snapshot.values);
  return replaced;
}

void TFractalDocument::RestoreSettings(const TFractalParams& settings) {
  const TFractalParams kept = v_;
  TFractalParams& record = v_;
  record = settings;
  v_.imageWidth = kept.imageWidth;
  v_.imageHeight = kept.imageHeight;
  v_.plotWidth = kept.plotWidth;
  v_.plotHeight = kept.plotHeight;
  v_.plotX = kept.plotX;
  v_.plotY = kept.plotY;
  v_.ticks = kept.ticks;
  v_.iterations = kept.iterations;
  v_.lyapunov = kept.lyapunov;
  v_.abort = kept.abort;
  AttachHandles();
}

TParamReadResult TFractalDocument::Load(const std::string& path, char decimalSeparator,
                                        const TParamMessage& message) {
  return LoadParameterFile(path, v_, decimalSeparator, message);
}

std::string TFractalDocument::SaveParameters(const std::string& picturePath, char decimalSeparator,
                                             const TFileSystem& files) const {
  return SaveParameterFile(picturePath, v_, decimalSeparator, files);
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
  EnsureColourCells(v_, lists_);
  DeriveFamilySwitches(v_);
  if (!SelectsAFamily(v_)) return false;
  AdjustCoordsForRun(v_);
  return true;
}

void TFractalDocument::StartHealth() { health_.Start(GetEngineCounters(), TRenderHealthMeter::TClock::now()); }

const TRenderHealth& TFractalDocument::SampleHealth() {
  health_.Sample(GetEngineCounters(), EngineRecord() == &v_, v_.lyapunov, picture_ ? LitShare(*picture_) : 0.0,
                 TRenderHealthMeter::TClock::now());
  return health_.Health();
}

void TFractalDocument::StopHealth() {
  health_.Stop(GetEngineCounters(), EngineRecord() == &v_, v_.lyapunov, picture_ ? LitShare(*picture_) : 0.0,
               TRenderHealthMeter::TClock::now());
}
