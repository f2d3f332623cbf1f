// The Render to File panel, docked at the bottom of the frame while renders run: the running render's percent,
// elapsed time, time left, steps per second and a preview of its picture, the renders waiting after it, and Cancel,
// which asks whether to write what is done. It shows itself when a render is queued.
#pragma once

#include <QDockWidget>
#include <QImage>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class TRenderJobs;
class TServices;

class TRenderPanel : public QDockWidget {
  Q_OBJECT

 public:
  TRenderPanel(TServices& services, TRenderJobs& jobs, QWidget* parent = nullptr);

  // The answers of the Cancel question, in the order of its buttons.
  enum class TCancelAnswer { WriteWhatIsDone, Discard, KeepRendering };

 private:
  QListWidget* JobList;   // the running render first, then the waiting ones
  QProgressBar* ProgressBar;
  QLabel* ElapsedLabel;
  QLabel* LeftLabel;
  QLabel* RateLabel;
  QLabel* PreviewLabel;
  QPushButton* CancelButton;  // the selected render, else the running one
  QLabel* DoneLabel;          // what became of the last render that ended

  void CancelClick();
  void Refresh();
  void ShowPreview(int id, const QImage& picture);
  void Ended(int id, const QString& path, bool written, const QString& error);

  TServices& services_;
  TRenderJobs& jobs_;
  int previewId_ = 0;
};
