#include "shell/animation_preview.h"

#include <algorithm>
#include <cmath>

#include <QMetaObject>
#include <QTimer>

#include "image/pixel_graphic.h"
#include "services/command_guard.h"
#include "view/pg_draw.h"

TAnimation PreviewAnimation(const TAnimation& animation) {
  TAnimation preview = animation;
  const double scale = std::min({1.0, static_cast<double>(kPreviewBoxWidth) / std::max(animation.width, 1),
                                 static_cast<double>(kPreviewBoxHeight) / std::max(animation.height, 1)});
  preview.width = std::max(1, static_cast<int>(std::lround(animation.width * scale)));
  preview.height = std::max(1, static_cast<int>(std::lround(animation.height * scale)));
  preview.supersample = 1;
  preview.filterRadius = 0;
  preview.steps = std::max<std::int64_t>(
      1, static_cast<std::int64_t>(std::llround(preview.width * preview.height * kPreviewStepsPerPixel)));
  return preview;
}

TAnimationPreview::TAnimationPreview(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
  connect(timer_, &QTimer::timeout, this, &TAnimationPreview::Tick);
}

TAnimationPreview::~TAnimationPreview() { Cancel(); }

void TAnimationPreview::Cancel() {
  ++request_;  // whatever the old request still posts is dropped from here on
  if (cancel_) cancel_->store(true);
  // A preview frame takes some milliseconds: waiting for the one being drawn is not felt.
  if (worker_.joinable()) worker_.join();
  cancel_.reset();
  drawing_ = false;
}

void TAnimationPreview::Invalidate() {
  Cancel();
  Stop();
  const bool had = planned_ > 0;
  frames_.clear();
  planned_ = 0;
  stride_ = 1;
  current_ = -1;
  if (had) emit FramesChanged();
}

void TAnimationPreview::Start(const TAnimation& animation) {
  CheckAnimation(animation);
  const bool playing = Playing();
  Invalidate();
  const TAnimation preview = PreviewAnimation(animation);
  const int count = preview.FrameCount();
  stride_ = (count + kMaxPreviewFrames - 1) / kMaxPreviewFrames;
  planned_ = (count + stride_ - 1) / stride_;
  timer_->setInterval(std::max(1, static_cast<int>(std::lround(1000.0 * stride_ / preview.frameRate))));
  const std::uint64_t request = ++request_;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  drawing_ = true;
  worker_ = std::thread([this, request, preview, cancel = cancel_, stride = stride_, planned = planned_] {
    QString error;
    try {
      for (int i = 0; i < planned && !*cancel; ++i) {
        std::shared_ptr<TPixelGraphic> picture = RenderFrame(preview, i * stride, preview.seed, 1, *cancel);
        if (!picture) break;
        QMetaObject::invokeMethod(this, [this, request, i, picture] { Received(request, i, picture); },
                                  Qt::QueuedConnection);
      }
    } catch (...) {
      error = ErrorText(std::current_exception());
    }
    QMetaObject::invokeMethod(this, [this, request, error] { Ended(request, error); }, Qt::QueuedConnection);
  });
  emit FramesChanged();
  if (playing) Play();
}

void TAnimationPreview::Received(std::uint64_t request, int index, const std::shared_ptr<TPixelGraphic>& picture) {
  if (request != request_ || index != FramesReady()) return;
  QImage image;
  PixelGraphicToQImage(*picture, image);
  frames_.push_back(image);
  // The first frame shows at once, playing or not, so that the panel never shows an empty box while drawing.
  if (index == 0) {
    current_ = 0;
    emit FrameShown(frames_.front());
  }
  emit FramesChanged();
}

void TAnimationPreview::Ended(std::uint64_t request, const QString& error) {
  if (request != request_) return;
  if (worker_.joinable()) worker_.join();
  drawing_ = false;
  if (!error.isEmpty()) {
    Invalidate();
    emit Failed(error);
  }
  emit FramesChanged();
}

void TAnimationPreview::Play() {
  if (!Valid()) return;
  timer_->start();
}

void TAnimationPreview::Stop() { timer_->stop(); }

bool TAnimationPreview::Playing() const { return timer_->isActive(); }

void TAnimationPreview::Tick() {
  if (frames_.empty()) return;
  const int next = current_ + 1;
  if (next < FramesReady())
    current_ = next;
  else if (FramesReady() == planned_)
    current_ = 0;
  else
    return;  // the next frame is still being drawn
  emit FrameShown(frames_[current_]);
}
