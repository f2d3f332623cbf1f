// TRenderJobs: the frame's renders to file. Each is a TBackgroundRender run on a worker thread of its own, one after
// the other in the order they were asked for, while the windows go on drawing on the GUI thread. The worker also
// writes the picture (and the hit-count document beside it); the GUI thread only ever sees copies: progress figures,
// preview pictures and the outcome, delivered by queued calls. A result of a job that was cancelled or is no longer
// the running one is dropped.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QImage>
#include <QObject>
#include <QString>

#include "document/background_render.h"
#include "files/file_options.h"

struct TRenderRequest {
  TBackgroundRenderSpec spec;
  std::string picturePath;                // its extension chooses the writer
  std::optional<std::string> countsPath;  // the hit-count document, written before the picture
  std::optional<double> seconds;          // a time limit: at the deadline the render stops and is written
  TFileOptions fileOptions;
};

enum class TRenderJobState { Waiting, Running, Writing };

struct TRenderJobStatus {
  int id = 0;
  QString picturePath;
  TRenderJobState state = TRenderJobState::Waiting;
  TBackgroundProgress progress;
  std::optional<double> seconds;  // the request's time limit
  // 0..1: by steps, or by time for a time-limited render.
  double Fraction() const;
  std::optional<double> SecondsLeft() const;
};

class TRenderJobs : public QObject {
  Q_OBJECT

 public:
  explicit TRenderJobs(QObject* parent = nullptr);
  // Stops every job without writing and waits for the worker.
  ~TRenderJobs() override;

  // Queues a render and starts it when nothing else runs. Raises std::invalid_argument with the core's message
  // when it cannot be done (size, factor, radius, memory); nothing is queued then. Returns the job's id.
  int Add(TRenderRequest request);
  // A waiting job leaves the queue; a running one stops within a moment and then writes what it has drawn, or
  // nothing. A job that is already writing finishes. Unknown ids are ignored.
  void Cancel(int id, bool writeWhatIsDone);
  // Stops every job without writing and waits for the worker (leaving the program).
  void DiscardAllAndWait();

  // The running job first, then the waiting ones in order.
  std::vector<TRenderJobStatus> Jobs() const;
  bool Busy() const { return running_ != nullptr || !waiting_.empty(); }

 signals:
  void JobsChanged();  // added, started, moved on, writing, ended
  void PreviewReady(int id, const QImage& picture);
  // written: the picture is on disk; error: why not (empty when it was discarded on purpose).
  void JobEnded(int id, const QString& picturePath, bool written, const QString& error);

 private:
  struct TJob;
  void StartNext();
  void Work(TJob& job);  // on the worker
  void OnProgress(int id, const TBackgroundProgress& progress, bool writing);
  void OnPreview(int id, const std::shared_ptr<TPixelGraphic>& picture);
  void OnFinished(int id, bool written, const QString& error);

  int nextId_ = 1;
  std::deque<std::unique_ptr<TJob>> waiting_;
  std::unique_ptr<TJob> running_;
  std::thread worker_;
};
