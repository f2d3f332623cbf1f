// TAnimationRender: the Animation panel's Render. The animation's frames are drawn by the core's run of frames on a
// worker thread (itself drawing frames side by side on its own threads) while the windows go on drawing; a video is
// encoded from them afterwards. The GUI thread sees progress figures and the outcome by queued calls. Cancel stops
// within a moment and keeps the frames that are finished; none is ever half written.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include <QObject>
#include <QString>

#include "animation/animation.h"
#include "files/file_options.h"

struct TAnimationRenderRequest {
  TAnimation animation;
  // The frames' pattern (frame-%04d.png), or a video (.mp4, .webm), whose frames are drawn into a folder beside
  // it first and stay there when the render is cancelled, so that the next render goes on from them.
  std::string output;
  int threads = 1;
  TFileOptions fileOptions;

  bool Video() const { return IsVideoPath(output); }
  // The frames' file names: the output, or the pattern in the video's folder of frames.
  std::string FramePattern() const;
  // The frames of the run already on disk (a render goes on from them).
  int FramesOnDisk() const;
};

struct TAnimationRenderStatus {
  TFrameRunProgress progress;
  double seconds = 0;     // since the render started
  bool encoding = false;  // the frames are done; the video is being made
  // Empty until enough is done to tell.
  std::optional<double> SecondsLeft() const;
};

class TAnimationRender : public QObject {
  Q_OBJECT

 public:
  explicit TAnimationRender(QObject* parent = nullptr);
  // Cancels the render and waits for the worker.
  ~TAnimationRender() override;

  // Checks the request (the animation, the pattern, the encoder, the folders) and raises EAnimation or
  // std::runtime_error with the reason before anything is drawn; then starts it. Only one render at a time.
  void Start(TAnimationRenderRequest request);
  void Cancel();
  void CancelAndWait();

  bool Busy() const { return busy_; }
  const TAnimationRenderStatus& Status() const { return status_; }
  const TAnimationRenderRequest& Request() const { return request_; }

 signals:
  void ProgressChanged();
  // summary: what was written; error: why the render failed (empty when it did not).
  void Finished(bool cancelled, const QString& summary, const QString& error);

 private:
  void Work();  // on the worker
  void OnProgress(const TAnimationRenderStatus& status);
  void OnFinished(const TFrameRunResult& result, const QString& error);

  TAnimationRenderRequest request_;
  TAnimationRenderStatus status_;  // the GUI thread's copy
  std::atomic<bool> cancel_{false};
  bool busy_ = false;
  std::thread worker_;
};
