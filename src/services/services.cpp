#include "services/services.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

#include "files/file_system.h"

namespace {

constexpr int kDefaultProgressDelayMs = 500;

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

TFileDialogResult TServices::RunSaveFileDialog(QWidget* parent, const TFileDialogRequest& request) {
  return RunPlatformDialog(parent, request, true);
}

TFileDialogResult TServices::RunOpenFileDialog(QWidget* parent, const TFileDialogRequest& request) {
  return RunPlatformDialog(parent, request, false);
}

bool TServices::AskWarningBox(QWidget* parent, const QString& caption, const QString& text, bool okCancel) {
  // The library separates its paragraphs by carriage returns alone, which a Qt label does not break on.
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const auto buttons = okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
  return QMessageBox::warning(parent, caption, shown, buttons, QMessageBox::Ok) == QMessageBox::Ok;
}

int TServices::AskChoice(QWidget* parent, const QString& caption, const QString& text, const QStringList& buttons) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
  QList<QAbstractButton*> added;
  for (const QString& label : buttons) added.append(box.addButton(label, QMessageBox::ActionRole));
  if (added.isEmpty()) return -1;
  box.setDefaultButton(qobject_cast<QPushButton*>(added.front()));
  box.setEscapeButton(added.back());
  box.exec();
  const int chosen = static_cast<int>(added.indexOf(box.clickedButton()));
  return chosen >= 0 ? chosen : static_cast<int>(added.size()) - 1;
}

int TServices::RunModalDialog(QDialog& dialog) { return dialog.exec(); }

void TServices::ShowInformation(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

void TServices::ShowError(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

std::unique_ptr<QSettings> TServices::OpenSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ovel-ifs"),
                                     QStringLiteral("ovel-ifs"));
}

int TServices::SaveProgressMinimumDurationMs() const { return kDefaultProgressDelayMs; }

const TFileSystem& TServices::FileSystem() const { return SystemFileSystem(); }

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
