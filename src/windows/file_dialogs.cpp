#include "windows/file_dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

constexpr int kDefaultProgressDelayMs = 500;

TFileDialogFunction& SaveDialog() {
  static TFileDialogFunction dialog;
  return dialog;
}
TFileDialogFunction& OpenDialog() {
  static TFileDialogFunction dialog;
  return dialog;
}
TWarningAsker& Asker() {
  static TWarningAsker asker;
  return asker;
}
TModalRunner& Runner() {
  static TModalRunner runner;
  return runner;
}
int& ProgressDelay() {
  static int delay = kDefaultProgressDelayMs;
  return delay;
}

TFileDialogResult RunPlatformDialog(QWidget* parent, const TFileDialogRequest& request, bool save) {
  QFileDialog dialog(parent, request.caption, request.directory);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = NameFiltersOf(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 0 && request.filterIndex < filters.size())
    dialog.selectNameFilter(filters[request.filterIndex]);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);

  TFileDialogResult result;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return result;
  result.accepted = true;
  result.fileName = dialog.selectedFiles().front();
  result.filterIndex = std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
  return result;
}

}  // namespace

TFileDialogResult RunSaveFileDialog(QWidget* parent, const TFileDialogRequest& request) {
  if (SaveDialog()) return SaveDialog()(parent, request);
  return RunPlatformDialog(parent, request, true);
}

TFileDialogResult RunOpenFileDialog(QWidget* parent, const TFileDialogRequest& request) {
  if (OpenDialog()) return OpenDialog()(parent, request);
  return RunPlatformDialog(parent, request, false);
}

TFileDialogFunction SetSaveFileDialog(TFileDialogFunction dialog) {
  TFileDialogFunction previous = std::move(SaveDialog());
  SaveDialog() = std::move(dialog);
  return previous;
}

TFileDialogFunction SetOpenFileDialog(TFileDialogFunction dialog) {
  TFileDialogFunction previous = std::move(OpenDialog());
  OpenDialog() = std::move(dialog);
  return previous;
}

bool AskWarningBox(QWidget* parent, const QString& caption, const QString& text, bool okCancel) {
  if (Asker()) return Asker()(parent, caption, text, okCancel);
  // The library separates its paragraphs by carriage returns alone, which a Qt label does not break on.
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const auto buttons = okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
  return QMessageBox::warning(parent, caption, shown, buttons, QMessageBox::Ok) == QMessageBox::Ok;
}

TWarningAsker SetWarningAsker(TWarningAsker asker) {
  TWarningAsker previous = std::move(Asker());
  Asker() = std::move(asker);
  return previous;
}

int RunModalDialog(QDialog& dialog) {
  if (Runner()) return Runner()(dialog);
  return dialog.exec();
}

TModalRunner SetModalRunner(TModalRunner runner) {
  TModalRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}

int SaveProgressMinimumDurationMs() { return ProgressDelay(); }

void SetSaveProgressMinimumDurationMs(int milliseconds) { ProgressDelay() = std::max(0, milliseconds); }

QStringList NameFiltersOf(const QString& filter) {
  QStringList parts = filter.split(QLatin1Char('|'));
  if (!parts.isEmpty() && parts.back().isEmpty()) parts.removeLast();
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    // Several patterns of one entry are separated by ";" in the string and by blanks in a Qt filter.
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters.append(QStringLiteral("%1 (%2)").arg(parts[i], patterns));
  }
  return filters;
}
