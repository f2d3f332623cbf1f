// TAnimationPreview: a quick look at an animation in the Animation panel. The frames are drawn small and with few
// steps, one after the other on a worker thread, and handed to the GUI thread as they come; a timer plays them at
// the animation's frame rate while the rest are still being drawn. A new Start or Invalidate cancels the worker's
// request, and whatever it still posts afterwards is dropped by its number.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include <QImage>
#include <QObject>
#include <QString>

#include "animation/animation.h"

class QTimer;
class TPixelGraphic;

// The preview's frames fit this box and draw this many main steps per pixel: enough to see the shape move.
inline constexpr int kPreviewBoxWidth = 160, kPreviewBoxHeight = 90;
inline constexpr double kPreviewStepsPerPixel = 6;
// A long animation is previewed by every n-th frame, so that the preview stays quick and small in memory.
inline constexpr int kMaxPreviewFrames = 250;

// The animation as the preview draws it: the same keyframes, frame times and seed, at the preview's size.
TAnimation PreviewAnimation(const TAnimation& animation);

class TAnimationPreview : public QObject {
  Q_OBJECT

 public:
  explicit TAnimationPreview(QObject* parent = nullptr);
  // Cancels the worker and waits for it.
  ~TAnimationPreview() override;

  // Draws the preview of animation (checked first: raises EAnimation), forgetting any earlier one.
  void Start(const TAnimation& animation);
  // Forgets the preview and stops playing: the animation it showed has changed.
  void Invalidate();
  // Plays the frames drawn so far, in a loop, waiting at the last one while more are being drawn.
  void Play();
  void Stop();

  bool Valid() const { return planned_ > 0; }
  bool Drawing() const { return drawing_; }
  bool Playing() const;
  int FramesPlanned() const { return planned_; }
  int FramesReady() const { return static_cast<int>(frames_.size()); }
  const QImage& Frame(int index) const { return frames_.at(index); }
  // The animation's frame that preview frame `index` shows.
  int AnimationFrameOf(int index) const { return index * stride_; }
  int CurrentFrame() const { return current_; }

 signals:
  void FrameShown(const QImage& picture);
  void FramesChanged();  // one more frame, or the preview started, failed or was forgotten
  void Failed(const QString& error);

 private:
  void Cancel();
  void Received(std::uint64_t request, int index, const std::shared_ptr<TPixelGraphic>& picture);
  void Ended(std::uint64_t request, const QString& error);
  void Tick();

  std::uint64_t request_ = 0;  // GUI thread only
  std::shared_ptr<std::atomic<bool>> cancel_;
  std::thread worker_;
  bool drawing_ = false;
  int planned_ = 0, stride_ = 1, current_ = -1;
  std::vector<QImage> frames_;
  QTimer* timer_;
};
