// The fractal window's file commands: Save As (picture and parameter file), loading a parameter file, and the
// image file options.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>

#include "dialogs/options_dialog.h"
#include "files/file_options.h"
#include "files/image_export.h"
#include "files/param_file.h"
#include "files/save_as.h"
#include "image/pixel_graphic.h"
#include "windows/childwin.h"
#include "services/services.h"
#include "windows/window_text.h"

namespace {

const QString kSaveDialogCaption = QStringLiteral("Save As");
const QString kProgressCaption = QStringLiteral("Saving");

char DecimalSeparator() {
  const QString point = UserDecimalPoint();
  const char separator = point.isEmpty() ? '\0' : point.front().toLatin1();
  return separator == '\0' ? '.' : separator;
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The proposed picture name: the caption without its folder and without its last four characters, which hold
// the extension of the file the window came from ("Ovel-index.ifs" proposes "Ovel-index").
QString ProposedPictureName(const QString& caption) {
  QString name = caption.mid(caption.lastIndexOf(QLatin1Char('/')) + 1);
  name.chop(4);
  return name;
}

// The folder the save dialog starts in: that of the file the caption names, when there is one.
QString StartFolder(const QString& caption) {
  const int slash = caption.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return {};
  const QString folder = caption.left(slash + 1);
  return QFileInfo(folder).isDir() ? folder : QString();
}

// A progress box driven by the writers' progress events. It appears only when the save takes longer than
// the services' SaveProgressMinimumDurationMs, and it blocks input to the program while it is up.
class TSaveProgress {
 public:
  TSaveProgress(QWidget* parent, TPixelGraphic& picture, const QString& path, int minimumDurationMs)
      : parent_(parent), path_(path), minimumDurationMs_(minimumDurationMs) {
    picture.OnProgressStart = [this](TPixelGraphic&) { Start(); };
    picture.OnProgress = [this](TPixelGraphic&, int step, int max, bool&) { Step(step, max); };
    picture.OnProgressEnd = [this](TPixelGraphic&) { End(); };
  }
  ~TSaveProgress() { delete dialog_; }
  TSaveProgress(const TSaveProgress&) = delete;
  TSaveProgress& operator=(const TSaveProgress&) = delete;

 private:
  void Start() {
    if (dialog_ == nullptr) {
      dialog_ = new QProgressDialog(parent_);
      dialog_->setWindowTitle(kProgressCaption);
      dialog_->setLabelText(QFileInfo(path_).fileName());
      // Writers run to the end once started; there is nothing to cancel.
      dialog_->setCancelButton(nullptr);
      dialog_->setWindowModality(Qt::ApplicationModal);
      dialog_->setAutoClose(false);
      dialog_->setAutoReset(false);
    }
    dialog_->setMinimumDuration(minimumDurationMs_);
    dialog_->setRange(0, 100);
    dialog_->setValue(0);
    percent_ = 0;
  }

  void Step(int step, int max) {
    if (dialog_ == nullptr || max <= 0) return;
    const int percent = static_cast<int>(100LL * std::clamp(step, 0, max) / max);
    // The dialog pumps events on every new value; once per percent is enough to look alive.
    if (percent == percent_) return;
    percent_ = percent;
    dialog_->setValue(percent);
  }

  void End() {
    if (dialog_ != nullptr) dialog_->reset();
  }

  QWidget* parent_;
  QString path_;
  int minimumDurationMs_;
  QProgressDialog* dialog_ = nullptr;
  int percent_ = 0;
};

// The reader says "Missing variable ..." once for every slot it could not fill, up to 123 times for a file that
// ends early. One box tells the first and counts the rest.
QStringList CollectMessages(const std::vector<std::string>& messages, const std::string& missingMessage) {
  QStringList shown;
  int missingIndex = -1;
  int repeats = 0;
  for (const std::string& message : messages) {
    if (message == missingMessage) {
      if (missingIndex >= 0) {
        ++repeats;
        continue;
      }
      missingIndex = static_cast<int>(shown.size());
    }
    shown.append(QString::fromLocal8Bit(message));
  }
  if (repeats > 0) {
    shown[missingIndex] += repeats == 1 ? QStringLiteral(" (and 1 more missing value)")
                                        : QStringLiteral(" (and %1 more missing values)").arg(repeats);
  }
  return shown;
}

}  // namespace

TFileDialogRequest TMDIChild::SaveRequest(const QString& caption, const QString& filter,
                                          const QString& rememberedFolder) const {
  const QString title = TitleOfSet();
  TFileDialogRequest request;
  request.caption = caption;
  // A window that came from a file saves beside it; a new one where the last file went.
  request.directory = StartFolder(title);
  if (request.directory.isEmpty() && QFileInfo(rememberedFolder).isDir()) request.directory = rememberedFolder;
  request.fileName = ProposedPictureName(title);
  request.filter = filter;
  return request;
}

void TMDIChild::SaveAs1Click() {
  TFileDialogRequest request = SaveRequest(kSaveDialogCaption, QString::fromStdString(SaveDialogFilter()),
                                           saveMemory_ ? saveMemory_->pictureFolder : QString());
  // The type of the proposed name, else the type saved last, else the first.
  std::optional<int> filterIndex = PreselectedFilterIndex(request.fileName.toStdString());
  if (!filterIndex && saveMemory_ && !saveMemory_->pictureExtension.isEmpty())
    filterIndex = PreselectedFilterIndex("x." + saveMemory_->pictureExtension.toStdString());
  request.filterIndex = filterIndex.value_or(0);
  const TFileDialogResult chosen = services_.RunSaveFileDialog(this, request);
  if (!chosen.accepted || chosen.fileName.isEmpty()) return;

  const QString path = QString::fromStdString(
      FileNameWithFilterExtension(chosen.fileName.toStdString(), chosen.filterIndex));

  // What the dialogs show is what is saved, also when their debounce has not run out yet.
  TakePendingDialogEdits();
  // The save pumps events for its progress box, and a command arriving then may start a pass that gives the
  // window a new picture; so the picture and the parameters are taken as they are now and saved from a copy.
  std::unique_ptr<TPixelGraphic> picture;
  if (doc_.Picture() != nullptr) {
    picture = std::make_unique<TPixelGraphic>();
    picture->Assign(doc_.Picture());
  }
  const TFractalParams params = v;
  std::unique_ptr<TSaveProgress> progress;
  if (picture) progress = std::make_unique<TSaveProgress>(this, *picture, path, services_.SaveProgressMinimumDurationMs());
  const TWarningBox warningBox = [this](const std::string& caption, const std::string& text,
                                        TWarningButtons buttons) {
    return services_.AskWarningBox(this, QString::fromStdString(caption), QString::fromStdString(text),
                         buttons == TWarningButtons::OKCancel);
  };
  const TFileOptions& options = fileOptions_ ? *fileOptions_ : ownFileOptions_;
  const std::string parameterPath =
      SavePictureAndParameters(picture.get(), LocalPath(path), options, warningBox, params, DecimalSeparator(),
                               services_.FileSystem());

  // TitleText too, so that the path stays the caption when a running pass ends.
  TitleText = path;
  setWindowTitle(path);
  if (saveMemory_) {
    const QFileInfo saved(path);
    saveMemory_->pictureFolder = saved.absolutePath();
    saveMemory_->pictureExtension = saved.suffix().toLower();
  }
  emit ParameterFileUsed(QFile::decodeName(QByteArray::fromStdString(parameterPath)));
}

void TMDIChild::LoadFromParameterFile(const QString& path) {
  // The messages are shown once reading is over: a box runs an event loop, and the values should not be
  // half-read while other commands run inside it.
  std::vector<std::string> messages;
  const std::string localPath = LocalPath(path);
  if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
    // The reader raises its own error for a file it cannot open, and nothing below may happen then.
    doc_.Load(localPath, DecimalSeparator(), {});
  }
  // Dialog edits still waiting for their debounce go in first, so that the file's values win over them
  // instead of being overwritten by them when the window is drawn.
  TakePendingDialogEdits();
  RecordChange(QStringLiteral("Load"), [&] {
    doc_.Load(localPath, DecimalSeparator(), [&messages](const std::string& message) { messages.push_back(message); });
  });

  TitleText = path;
  setWindowTitle(path);
  modeWord_->Set(path);
  emit ParameterFileUsed(path);
  for (const QString& message : CollectMessages(messages, MissingVariableMessage(localPath)))
    services_.ShowInformation(this, message);
}

void TMDIChild::LoadAfterFirstShow(const QString& path) {
  if (FirstShowPending) {
    loadAfterFirstShow_ = path;
    return;
  }
  if (IsHitCountFile(path)) {
    LoadHitCounts(path);
    return;
  }
  LoadFromParameterFile(path);
  Redraw(/*newCoefficients=*/false);
}

void TMDIChild::SaveParametersAs1Click() {
  const TFileDialogRequest request =
      SaveRequest(QStringLiteral("Save Parameters As"), QString::fromLatin1(kParamFileOpenFilter),
                  saveMemory_ ? saveMemory_->parameterFolder : QString());
  const TFileDialogResult chosen = services_.RunSaveFileDialog(this, request);
  if (!chosen.accepted || chosen.fileName.isEmpty()) return;
  // What the dialogs show is what is saved, also when their debounce has not run out yet.
  TakePendingDialogEdits();
  const std::string written =
      doc_.SaveParameters(LocalPath(chosen.fileName), DecimalSeparator(), services_.FileSystem());
  emit ParameterFileUsed(QFile::decodeName(QByteArray::fromStdString(written)));
}

bool TMDIChild::Options1Click(TServices& services, TForm2& dialog, TFileOptions& options, TDrawingOptions& drawing) {
  dialog.FillFromOptions(options);
  dialog.SetUseAllCores(drawing.useAllCores);
  if (services.RunModalDialog(dialog) != QDialog::Accepted) return false;
  // OK has checked every text already, so this stores them all.
  dialog.StoreIntoOptions(options);
  drawing.useAllCores = dialog.UseAllCores();
  ApplyScreenGamma(options);
  return true;
}
