// The file dialogs, the image library's warning box and modal dialog runs of the file commands. Each goes through
// a replaceable function, so that tests answer them without a window waiting for a click.
#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class QDialog;
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

using TFileDialogFunction = std::function<TFileDialogResult(QWidget* parent, const TFileDialogRequest& request)>;

TFileDialogResult RunSaveFileDialog(QWidget* parent, const TFileDialogRequest& request);
TFileDialogResult RunOpenFileDialog(QWidget* parent, const TFileDialogRequest& request);
// Replace the dialogs; an empty function restores the platform's. Each returns the previous function.
TFileDialogFunction SetSaveFileDialog(TFileDialogFunction dialog);
TFileDialogFunction SetOpenFileDialog(TFileDialogFunction dialog);

// The warning box of the image library: true when the user chose OK. okCancel adds a Cancel button.
using TWarningAsker =
    std::function<bool(QWidget* parent, const QString& caption, const QString& text, bool okCancel)>;
bool AskWarningBox(QWidget* parent, const QString& caption, const QString& text, bool okCancel);
TWarningAsker SetWarningAsker(TWarningAsker asker);

// Runs a dialog modally and returns its result code (QDialog::Accepted or Rejected).
using TModalRunner = std::function<int(QDialog& dialog)>;
int RunModalDialog(QDialog& dialog);
TModalRunner SetModalRunner(TModalRunner runner);

// A long save shows a progress box once it has taken this long; tests set 0 to see it on every save.
int SaveProgressMinimumDurationMs();
void SetSaveProgressMinimumDurationMs(int milliseconds);

// "BMP - Bitmap|*.bmp|JPG - ...|*.jpg|" as the name filters of a Qt file dialog: "BMP - Bitmap (*.bmp)", ...
QStringList NameFiltersOf(const QString& filter);
