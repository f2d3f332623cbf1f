// TServices: what the program asks of the desktop, in one object: the file dialogs, the information, error and
// warning boxes, modal dialog runs, where the settings live, when a long save shows its progress and where saves
// make their files. The frame is
// given one and hands it to every window it makes. This class is the platform's own; tests derive from it and
// answer without a window waiting for a click, and without touching the user's settings.
#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class QDialog;
class TFileSystem;
class QSettings;
class QWidget;

struct TFileDialogRequest {
  QString caption;
  QString directory;  // the folder to start in; empty for the current one
  QString fileName;   // the proposed name (save dialog)
  QString filter;     // "description|pattern|description|pattern|...", a trailing "|" allowed
  int filterIndex = 0;  // 0-based entry selected when the dialog opens
};

struct TFileDialogResult {
  bool accepted = false;
  QString fileName;     // the chosen path as the user typed or picked it
  int filterIndex = 0;  // 0-based entry selected when the dialog closed
};

class TServices {
 public:
  TServices() = default;
  TServices(const TServices&) = delete;
  TServices& operator=(const TServices&) = delete;
  virtual ~TServices() = default;

  virtual TFileDialogResult RunSaveFileDialog(QWidget* parent, const TFileDialogRequest& request);
  virtual TFileDialogResult RunOpenFileDialog(QWidget* parent, const TFileDialogRequest& request);
  // The image library's warning box: true when the user chose OK. okCancel adds a Cancel button.
  virtual bool AskWarningBox(QWidget* parent, const QString& caption, const QString& text, bool okCancel);
  // A question with the given buttons, the first the default and the last the one Esc chooses: the index of the
  // button chosen.
  virtual int AskChoice(QWidget* parent, const QString& caption, const QString& text, const QStringList& buttons);
  // Runs a dialog modally and returns its result code (QDialog::Accepted or Rejected).
  virtual int RunModalDialog(QDialog& dialog);
  // Information boxes with an OK button, the program's only way of telling the user something.
  virtual void ShowInformation(QWidget* parent, const QString& text);
  // The general error report: a command failed, the program goes on.
  virtual void ShowError(QWidget* parent, const QString& text);
  // The remembered settings: the user's configuration ("ovel-ifs/ovel-ifs.ini" in the configuration folder).
  virtual std::unique_ptr<QSettings> OpenSettings();
  // A long save shows a progress box once it has taken this long.
  virtual int SaveProgressMinimumDurationMs() const;
  // Where the windows' saves make their files: the system's.
  virtual const TFileSystem& FileSystem() const;
};

// "BMP - Bitmap|*.bmp|JPG - ...|*.jpg|" as the name filters of a Qt file dialog: "BMP - Bitmap (*.bmp)", ...
QStringList NameFiltersOf(const QString& filter);
