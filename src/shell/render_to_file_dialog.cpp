#include "shell/render_to_file_dialog.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <thread>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogs/tool_window.h"
#include "document/fractal_document.h"
#include "document/supersampled.h"
#include "engine/supersample.h"
#include "files/hit_count_file.h"
#include "files/image_export.h"
#include "services/drawing_options.h"
#include "services/services.h"
#include "shell/health_bar.h"

namespace {

const QString kCaption = QStringLiteral("Render to File");
constexpr std::int64_t kMeasureSteps = 300000;
constexpr int kMeasureWidth = 320, kMeasureHeight = 240;
// A time-limited render is stopped by its deadline, never by its budget.
constexpr std::int64_t kUnboundedSteps = std::numeric_limits<std::int64_t>::max() / 2;

QString Bytes(std::uint64_t bytes) {
  const QLocale locale;
  if (bytes >= (std::uint64_t{1} << 30)) return locale.toString(bytes / double(1 << 30), 'f', 2) + " GiB";
  return locale.toString(bytes / double(1 << 20), 'f', 1) + " MiB";
}

}  // namespace

double MeasureStepsPerSecond(const TFractalParams& params, int orbits, int threads) {
  TBackgroundRenderSpec spec;
  spec.params = params;
  spec.width = kMeasureWidth;
  spec.height = kMeasureHeight;
  spec.steps = kMeasureSteps;
  spec.orbits = orbits;
  spec.threads = threads;
  spec.seed = 1;
  try {
    TBackgroundRender render(spec);
    const std::atomic<bool> cancel{false};
    const auto start = std::chrono::steady_clock::now();
    render.Run(cancel);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return seconds > 0 ? render.StepsDone() / seconds : 0;
  } catch (const std::exception&) {
    return 0;  // no estimate; the render itself will say what is wrong
  }
}

TRenderToFileDialog::TRenderToFileDialog(TServices& services, const TFractalParams& params, double stepsPerSecond,
                                         const QString& speedSource, TFileOptions fileOptions, QWidget* parent)
    : QDialog(parent), services_(services), params_(params), stepsPerSecond_(stepsPerSecond),
      speedSource_(speedSource), fileOptions_(std::move(fileOptions)) {
  setWindowTitle(kCaption);
  auto* form = new QFormLayout;

  SizeCombo = new QComboBox;
  for (const TRenderSizePreset& preset : kRenderSizePresets) SizeCombo->addItem(QString::fromUtf8(preset.name));
  SizeCombo->addItem(QStringLiteral("Custom"));
  WidthEdit = new QSpinBox;
  HeightEdit = new QSpinBox;
  for (QSpinBox* edit : {WidthEdit, HeightEdit}) {
    edit->setRange(1, kRenderMaxSide);
    edit->setSuffix(QStringLiteral(" px"));
  }
  WidthEdit->setValue(kRenderSizePresets[0].width);
  HeightEdit->setValue(kRenderSizePresets[0].height);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(WidthEdit);
  sizeRow->addWidget(new QLabel(QStringLiteral("\u00d7")));
  sizeRow->addWidget(HeightEdit);
  form->addRow(QStringLiteral("&Size:"), SizeCombo);
  form->addRow(QString(), sizeRow);

  SupersampleEdit = new QSpinBox;
  SupersampleEdit->setRange(1, kMaxSupersample);
  SupersampleEdit->setValue(2);
  SupersampleEdit->setToolTip(QStringLiteral("Each output pixel is filtered from S \u00d7 S cells"));
  RadiusEdit = new QDoubleSpinBox;
  RadiusEdit->setRange(0, kMaxFilterRadius);
  RadiusEdit->setSingleStep(0.25);
  RadiusEdit->setValue(1);
  RadiusEdit->setSuffix(QStringLiteral(" px"));
  RadiusEdit->setToolTip(QStringLiteral("Radius of the Gaussian filter in output pixels; 0 is a plain box"));
  form->addRow(QStringLiteral("Super&sampling:"), SupersampleEdit);
  form->addRow(QStringLiteral("&Filter radius:"), RadiusEdit);

  ToneCombo = new QComboBox;
  const QString windowTone =
      params.logDensity ? QStringLiteral("log density") : params.sqrtFilter ? QStringLiteral("square root")
                                                                             : QStringLiteral("linear");
  ToneCombo->addItems({QStringLiteral("As the window (%1)").arg(windowTone), QStringLiteral("Linear"),
                       QStringLiteral("Square root"), QStringLiteral("Log density")});
  form->addRow(QStringLiteral("&Tone:"), ToneCombo);

  StepsRadio = new QRadioButton(QStringLiteral("Steps &per pixel:"));
  StepsRadio->setChecked(true);
  StepsEdit = new QDoubleSpinBox;
  StepsEdit->setRange(0.01, 1e6);
  StepsEdit->setDecimals(2);
  StepsEdit->setValue(50);
  TimeRadio = new QRadioButton(QStringLiteral("Ti&me:"));
  SecondsEdit = new QSpinBox;
  SecondsEdit->setRange(1, 7 * 24 * 3600);
  SecondsEdit->setValue(60);
  SecondsEdit->setSuffix(QStringLiteral(" s"));
  form->addRow(StepsRadio, StepsEdit);
  form->addRow(TimeRadio, SecondsEdit);

  SeedEdit = new QLineEdit;
  SeedEdit->setPlaceholderText(QStringLiteral("random"));
  SeedEdit->setToolTip(QStringLiteral("The same seed draws the same picture, as ovel-ifs-render --seed does"));
  form->addRow(QStringLiteral("S&eed:"), SeedEdit);

  FileEdit = new QLineEdit;
  BrowseButton = new QPushButton(QStringLiteral("&Browse..."));
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(FileEdit, 1);
  fileRow->addWidget(BrowseButton);
  form->addRow(QStringLiteral("F&ile:"), fileRow);
  FormatLabel = new QLabel;
  form->addRow(QStringLiteral("Format:"), FormatLabel);
  CountsCB = new QCheckBox(QStringLiteral("Also save &hit counts (.%1 beside the picture)").arg(kHitCountExtension));
  form->addRow(QString(), CountsCB);

  MemoryLabel = new QLabel;
  TimeLabel = new QLabel;
  form->addRow(QStringLiteral("Memory:"), MemoryLabel);
  form->addRow(QStringLiteral("Expected time:"), TimeLabel);

  auto* buttons = new QDialogButtonBox;
  RenderButton = buttons->addButton(QStringLiteral("&Render"), QDialogButtonBox::AcceptRole);
  CancelButton = buttons->addButton(QDialogButtonBox::Cancel);
  RenderButton->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);

  connect(SizeCombo, &QComboBox::currentIndexChanged, this, &TRenderToFileDialog::SizeChosen);
  for (QSpinBox* edit : {WidthEdit, HeightEdit}) connect(edit, &QSpinBox::valueChanged, this, &TRenderToFileDialog::SizeEdited);
  for (QSpinBox* edit : {SupersampleEdit, SecondsEdit})
    connect(edit, &QSpinBox::valueChanged, this, &TRenderToFileDialog::UpdateEstimates);
  for (QDoubleSpinBox* edit : {RadiusEdit, StepsEdit})
    connect(edit, &QDoubleSpinBox::valueChanged, this, &TRenderToFileDialog::UpdateEstimates);
  for (QRadioButton* radio : {StepsRadio, TimeRadio})
    connect(radio, &QRadioButton::toggled, this, &TRenderToFileDialog::UpdateEstimates);
  connect(FileEdit, &QLineEdit::textChanged, this, &TRenderToFileDialog::UpdateEstimates);
  connect(BrowseButton, &QPushButton::clicked, this, &TRenderToFileDialog::BrowseClick);
  NameObjects({{SizeCombo, "SizeCombo"}, {WidthEdit, "WidthEdit"}, {HeightEdit, "HeightEdit"},
               {SupersampleEdit, "SupersampleEdit"}, {RadiusEdit, "RadiusEdit"}, {ToneCombo, "ToneCombo"},
               {StepsRadio, "StepsRadio"}, {StepsEdit, "StepsEdit"}, {TimeRadio, "TimeRadio"},
               {SecondsEdit, "SecondsEdit"}, {SeedEdit, "SeedEdit"}, {FileEdit, "FileEdit"},
               {BrowseButton, "BrowseButton"}, {FormatLabel, "FormatLabel"}, {CountsCB, "CountsCB"},
               {MemoryLabel, "MemoryLabel"}, {TimeLabel, "TimeLabel"}, {RenderButton, "RenderButton"},
               {CancelButton, "CancelButton"}});
  UpdateEstimates();
}

TRenderRequest TRenderToFileDialog::Request() const {
  TRenderRequest request;
  TBackgroundRenderSpec& spec = request.spec;
  spec.params = params_;
  switch (static_cast<TRenderTone>(ToneCombo->currentIndex())) {
    case TRenderTone::Window: break;
    case TRenderTone::Linear: spec.params.sqrtFilter = spec.params.logDensity = false; break;
    case TRenderTone::SquareRoot: spec.params.sqrtFilter = true; spec.params.logDensity = false; break;
    case TRenderTone::LogDensity: spec.params.logDensity = true; break;
  }
  spec.width = WidthEdit->value();
  spec.height = HeightEdit->value();
  spec.supersample = SupersampleEdit->value();
  spec.filterRadius = RadiusEdit->value();
  spec.orbits = kParallelPassOrbits;
  // One core stays with the windows, which go on drawing beside the render.
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  spec.threads = std::clamp(cores - 1, 1, spec.orbits);
  bool seedOk = false;
  const qulonglong seed = SeedEdit->text().trimmed().toULongLong(&seedOk);
  if (seedOk) spec.seed = seed;
  if (TimeRadio->isChecked()) {
    request.seconds = SecondsEdit->value();
    spec.steps = kUnboundedSteps;
  } else {
    spec.steps = TBackgroundRenderSpec::StepsForQuality(spec.width, spec.height, StepsEdit->value());
  }
  request.picturePath = FileEdit->text().trimmed().toStdString();
  if (CountsCB->isChecked() && !request.picturePath.empty()) {
    const std::filesystem::path picture(request.picturePath);
    request.countsPath = (picture.parent_path() / picture.stem()).string() + "." + kHitCountExtension;
  }
  request.fileOptions = fileOptions_;
  return request;
}

void TRenderToFileDialog::BrowseClick() {
  TFileDialogRequest ask;
  ask.caption = kCaption;
  const QFileInfo current(FileEdit->text().trimmed());
  ask.directory = FileEdit->text().isEmpty() ? QString() : current.absolutePath();
  ask.fileName = current.fileName();
  ask.filter = QString::fromStdString(SaveDialogFilter());
  ask.filterIndex = PreselectedFilterIndex(current.fileName().toStdString()).value_or(0);
  const TFileDialogResult answer = services_.RunSaveFileDialog(this, ask);
  if (!answer.accepted) return;
  FileEdit->setText(QString::fromStdString(FileNameWithFilterExtension(answer.fileName.toStdString(), answer.filterIndex)));
}

void TRenderToFileDialog::SizeChosen(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kRenderSizePresets))) return;
  choosingSize_ = true;
  WidthEdit->setValue(kRenderSizePresets[index].width);
  HeightEdit->setValue(kRenderSizePresets[index].height);
  choosingSize_ = false;
  UpdateEstimates();
}

void TRenderToFileDialog::SizeEdited() {
  if (!choosingSize_) {
    int match = SizeCombo->count() - 1;
    for (int i = 0; i < static_cast<int>(std::size(kRenderSizePresets)); ++i)
      if (kRenderSizePresets[i].width == WidthEdit->value() && kRenderSizePresets[i].height == HeightEdit->value())
        match = i;
    const QSignalBlocker quiet(SizeCombo);
    SizeCombo->setCurrentIndex(match);
  }
  UpdateEstimates();
}

void TRenderToFileDialog::UpdateEstimates() {
  StepsEdit->setEnabled(StepsRadio->isChecked());
  SecondsEdit->setEnabled(TimeRadio->isChecked());
  const TRenderRequest request = Request();
  const std::uint64_t needed = TBackgroundRender::MemoryNeeded(request.spec);
  const std::optional<std::uint64_t> available = AvailableMemoryBytes();
  const bool fits = MemoryRefusal(needed, available).empty();
  MemoryLabel->setText(available ? QStringLiteral("%1 of %2 available").arg(Bytes(needed), Bytes(*available))
                                 : Bytes(needed));
  MemoryLabel->setStyleSheet(fits ? QString() : QStringLiteral("color: #c00000"));

  const QString point = QLocale().decimalPoint();
  const QString speed = stepsPerSecond_ > 0
                            ? QStringLiteral("%1 steps/s, %2").arg(FormatCount(stepsPerSecond_, point), speedSource_)
                            : QStringLiteral("speed unknown");
  if (request.seconds) {
    const double steps = stepsPerSecond_ * *request.seconds;
    const double perPixel = steps / (double(request.spec.width) * request.spec.height);
    TimeLabel->setText(QStringLiteral("%1, about %2 steps (%3 per pixel) at %4")
                           .arg(FormatElapsed(*request.seconds), FormatCount(steps, point),
                                QLocale().toString(perPixel, 'f', 1), speed));
  } else if (stepsPerSecond_ > 0) {
    TimeLabel->setText(QStringLiteral("about %1 for %2 steps at %3")
                           .arg(FormatElapsed(request.spec.steps / stepsPerSecond_),
                                FormatCount(static_cast<double>(request.spec.steps), point), speed));
  } else {
    TimeLabel->setText(QStringLiteral("%1 steps, %2").arg(FormatCount(double(request.spec.steps), point), speed));
  }
  const std::string extension = ExtensionOf(request.picturePath);
  const TFileFormatWriter* writer = extension.empty() ? nullptr : FileFormatWriters().FindByExtension(extension);
  FormatLabel->setText(writer ? QString::fromStdString(writer->Description())
                       : request.picturePath.empty() ? QStringLiteral("chosen by the file name's extension")
                                                     : QStringLiteral("unknown extension"));
}

QString TRenderToFileDialog::Problem(const TRenderRequest& request) const {
  if (request.picturePath.empty()) return QStringLiteral("Choose the file to render to.");
  const std::string extension = ExtensionOf(request.picturePath);
  if (FileFormatWriters().FindByExtension(extension) == nullptr)
    return QString::fromStdString(UnknownExtensionMessage(extension));
  const std::filesystem::path folder = std::filesystem::path(request.picturePath).parent_path();
  std::error_code ignored;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ignored))
    return QStringLiteral("The folder \"%1\" does not exist.").arg(QString::fromStdString(folder.string()));
  if (!SeedEdit->text().trimmed().isEmpty() && !request.spec.seed)
    return QStringLiteral("The seed must be a whole number of 0 or more, or empty.");
  TFractalDocument probe(1, 1);
  probe.RestoreSettings(request.spec.params);
  if (!probe.PrepareRun())
    return QStringLiteral("The window's parameter set selects nothing to draw: choose a fractal first.");
  try {
    TBackgroundRender check(request.spec);  // allocates nothing: it only refuses
  } catch (const std::invalid_argument& refusal) {
    return QString::fromStdString(refusal.what());
  }
  return {};
}

void TRenderToFileDialog::accept() {
  const QString problem = Problem(Request());
  if (!problem.isEmpty()) {
    services_.ShowError(this, problem);
    return;
  }
  QDialog::accept();
}
