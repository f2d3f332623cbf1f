#include "dialogs/params_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QTimer>

#include "dialogs/gradient_panel.h"
#include "dialogs/tool_window.h"

namespace {

QSlider* MakeSlider(int max, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(0, max);
  slider->setSingleStep(1);
  slider->setValue(0);
  return slider;
}

QCheckBox* MakeBox(const char* caption, QWidget* parent) { return new QCheckBox(QString::fromLatin1(caption), parent); }

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TForm4::TForm4(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Parameters"));
  MakeStayOnTopToolWindow(this);
  QPalette light = palette();
  light.setColor(QPalette::WindowText, Qt::white);
  setPalette(light);

  Intensity = MakeSlider(kIntensityMax, this);
  RedBar1 = MakeSlider(kColorBarMax, this);
  GrnBar1 = MakeSlider(kColorBarMax, this);
  BluBar1 = MakeSlider(kColorBarMax, this);
  Randomizer = MakeSlider(kRandomizerMax, this);
  Probability = MakeSlider(kProbabilityMax, this);
  Factor1 = new QLabel(this);
  RedLabel1 = new QLabel(this);
  GrnLabel1 = new QLabel(this);
  BluLabel1 = new QLabel(this);
  RandomFactor = new QLabel(this);
  Factor2 = new QLabel(this);
  // The tone sliders start where a new window's record puts them, so filling the dialog from one moves nothing.
  ToneBrightness = MakeSlider(kToneBrightnessMax, this);
  ToneBrightness->setMinimum(kToneBrightnessMin);
  ToneBrightness->setValue(ParameterControlsFromRecord(TFractalParams{}).toneBrightness);
  ToneGamma = MakeSlider(kToneGammaMax, this);
  ToneGamma->setMinimum(kToneGammaMin);
  ToneGamma->setValue(ParameterControlsFromRecord(TFractalParams{}).toneGamma);
  BrightnessLabel = new QLabel(this);
  ToneGammaLabel = new QLabel(this);

  square_root = MakeBox("Square Root Filtering", this);
  Invert = MakeBox("White", this);
  LogDensity = MakeBox("Log density", this);
  LogDensity->setToolTip(QStringLiteral("Levels from the logarithm of each pixel's density: a long render keeps its "
                                        "brightness and gains detail instead of burning out to white"));
  Mira01 = MakeBox("G-Mira / Martin", this);
  Latoocarfian01 = MakeBox("Latoocarfian 01", this);
  Latoocarfian02 = MakeBox("Latoocarfian 02", this);
  IFS_01 = MakeBox("IFS-01", this);
  IFS_02 = MakeBox("IFS-02", this);
  AT_01 = MakeBox("CIF 01", this);
  AT_02 = MakeBox("CIF 02", this);
  None = MakeBox("None", this);
  Linear = MakeBox("Linear", this);
  Sinusoidal = MakeBox("Sinusoidal", this);
  Spherical = MakeBox("Spherical", this);
  Swirl = MakeBox("Swirl", this);
  Horseshoe = MakeBox("Horseshoe", this);
  Polar = MakeBox("Polar", this);
  Bent = MakeBox("Bent", this);

  ColorTimer = new QTimer(this);
  ColorTimer->setInterval(kDebounceMs);

  // One grid, so the value labels and their captions stand in the same columns on every slider row,
  // the Probability row under "None" included.
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(3);
  enum Column { kBoxColumn, kSliderColumn, kValueColumn, kCaptionColumn, kColumns };
  int row = 0;

  auto* filters = new QHBoxLayout;
  filters->addWidget(square_root);
  filters->addWidget(Invert);
  grid->addLayout(filters, row++, 0, 1, kColumns);

  // A value label never changes its width as its value changes: it is as wide as the widest value its
  // slider can give, in the font and with the separator it is shown with.
  const QString widestValue = Text(FormatFixed2(kIntensityMax, LocaleDecimalSeparator()));
  const int valueWidth = QFontMetrics(Factor1->font()).horizontalAdvance(widestValue);
  auto addValue = [&](QLabel* value, int at) {
    value->setMinimumWidth(valueWidth);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(value, at, kValueColumn);
  };
  auto addCaption = [&](const QString& text, QSlider* slider, int at) {
    auto* caption = new QLabel(text, this);
    caption->setBuddy(slider);
    grid->addWidget(caption, at, kCaptionColumn);
    return caption;
  };

  const struct {
    QSlider* slider;
    QLabel* value;
    const char* name;
  } rows[] = {{Intensity, Factor1, "Intensity"},
              {RedBar1, RedLabel1, "Red"},
              {GrnBar1, GrnLabel1, "Green"},
              {BluBar1, BluLabel1, "Blue"},
              {Randomizer, RandomFactor, "Randomizer"}};
  for (const auto& r : rows) {
    grid->addWidget(r.slider, row, kBoxColumn, 1, 2);
    addValue(r.value, row);
    addCaption(QString::fromLatin1(r.name), r.slider, row);
    ++row;
  }

  // The log-density tone with its two sliders, which act only while it is on.
  grid->addWidget(LogDensity, row++, 0, 1, kColumns);
  const struct {
    QSlider* slider;
    QLabel* value;
    const char* name;
  } toneRows[] = {{ToneBrightness, BrightnessLabel, "Brightness"}, {ToneGamma, ToneGammaLabel, "Gamma"}};
  for (const auto& r : toneRows) {
    grid->addWidget(r.slider, row, kBoxColumn, 1, 2);
    addValue(r.value, row);
    addCaption(QString::fromLatin1(r.name), r.slider, row);
    ++row;
  }

  GradientPanel = new TGradientPanel(this);
  grid->addWidget(GradientPanel, row++, 0, 1, kColumns);

  auto* families = new QGridLayout;
  families->addWidget(Mira01, 0, 0);
  families->addWidget(Latoocarfian01, 1, 0);
  families->addWidget(Latoocarfian02, 2, 0);
  families->addWidget(AT_01, 3, 0);
  families->addWidget(IFS_01, 0, 1);
  families->addWidget(IFS_02, 1, 1);
  families->addWidget(AT_02, 2, 1);
  grid->addLayout(families, row++, 0, 1, kColumns);

  // "None" with the Probability slider beside it; the slider's value and caption follow it on its row,
  // not on Linear's, so the value does not read as Linear's weight.
  grid->addWidget(None, row, kBoxColumn);
  grid->addWidget(Probability, row, kSliderColumn);
  addValue(Factor2, row);
  ProbabilityCaption = addCaption(QStringLiteral("Probability"), Probability, row);
  ++row;

  auto* variations = new QGridLayout;
  variations->addWidget(Linear, 0, 0);
  variations->addWidget(Sinusoidal, 1, 0);
  variations->addWidget(Swirl, 2, 0);
  variations->addWidget(Bent, 3, 0);
  variations->addWidget(Horseshoe, 0, 1);
  variations->addWidget(Spherical, 1, 1);
  variations->addWidget(Polar, 2, 1);
  grid->addLayout(variations, row++, 0, 1, kColumns);
  grid->setColumnStretch(kSliderColumn, 1);
  grid->setRowStretch(row, 1);

  const QSize fit = sizeHint();
  resize(std::max(234, fit.width()), std::max(355, fit.height()));

  // Sliders report program moves too (only real moves), boxes only the user's clicks: the window filling
  // the dialog starts a debounce through the sliders but not through the boxes.
  for (QSlider* s : {Intensity, RedBar1, GrnBar1, BluBar1, Randomizer, Probability, ToneBrightness, ToneGamma}) {
    connect(s, &QSlider::valueChanged, this, &TForm4::ControlChange);
  }
  connect(LogDensity, &QCheckBox::toggled, this, &TForm4::ShowToneSliders);
  ShowToneSliders(false);
  for (QCheckBox* b : {square_root, Invert, LogDensity, Mira01, Latoocarfian01, Latoocarfian02, IFS_01, IFS_02, AT_01, AT_02, None,
                       Linear, Sinusoidal, Spherical, Swirl, Horseshoe, Polar, Bent}) {
    connect(b, &QCheckBox::clicked, this, &TForm4::ControlChange);
  }
  connect(GradientPanel, &TGradientPanel::changed, this, &TForm4::ControlChange);
  connect(GradientPanel, &TGradientPanel::colouringSwitched, this,
          [this] { ShowToneSliders(LogDensity->isChecked()); });
  connect(ColorTimer, &QTimer::timeout, this, &TForm4::ColorTimerTimer);
  NameObjects({{Intensity, "Intensity"}, {RedBar1, "RedBar1"}, {GrnBar1, "GrnBar1"}, {BluBar1, "BluBar1"},
               {Randomizer, "Randomizer"}, {Probability, "Probability"}, {Factor1, "Factor1"},
               {RedLabel1, "RedLabel1"}, {GrnLabel1, "GrnLabel1"}, {BluLabel1, "BluLabel1"},
               {RandomFactor, "RandomFactor"}, {Factor2, "Factor2"}, {ProbabilityCaption, "ProbabilityCaption"},
               {ToneBrightness, "ToneBrightness"}, {ToneGamma, "ToneGamma"}, {BrightnessLabel, "BrightnessLabel"},
               {ToneGammaLabel, "ToneGammaLabel"}, {square_root, "square_root"}, {Invert, "Invert"},
               {LogDensity, "LogDensity"}, {Mira01, "Mira01"}, {Latoocarfian01, "Latoocarfian01"},
               {Latoocarfian02, "Latoocarfian02"}, {IFS_01, "IFS_01"}, {IFS_02, "IFS_02"}, {AT_01, "AT_01"},
               {AT_02, "AT_02"}, {None, "None"}, {Linear, "Linear"}, {Sinusoidal, "Sinusoidal"},
               {Spherical, "Spherical"}, {Swirl, "Swirl"}, {Horseshoe, "Horseshoe"}, {Polar, "Polar"}, {Bent, "Bent"},
               {GradientPanel, "GradientPanel"}, {ColorTimer, "ColorTimer"}});
}

void TForm4::ShowToneSliders(bool on) {
  // The gradient colouring paints by log density too.
  on = on || GradientPanel->ColouringOn();
  for (QWidget* w : {static_cast<QWidget*>(ToneBrightness), static_cast<QWidget*>(ToneGamma),
                     static_cast<QWidget*>(BrightnessLabel), static_cast<QWidget*>(ToneGammaLabel)})
    w->setEnabled(on);
}

void TForm4::ControlChange() {
  colorTicks_ = 0;
  // A running interval is not restarted, so the copy comes on the second tick after the last change.
  if (!ColorTimer->isActive()) ColorTimer->start();
}

void TForm4::ColorTimerTimer() {
  if (colorTicks_ != 0) {
    ColorTimer->stop();
    emit colorsChanged();
    colorTicks_ = 0;
  } else {
    colorTicks_ = 1;
  }
}

bool TForm4::DebouncePending() const { return ColorTimer->isActive(); }

bool TForm4::TakePendingChange() {
  if (!ColorTimer->isActive()) return false;
  ColorTimer->stop();
  colorTicks_ = 0;
  return true;
}

TParameterControls TForm4::Controls() const {
  TParameterControls c;
  c.intensity = Intensity->value();
  c.red = RedBar1->value();
  c.green = GrnBar1->value();
  c.blue = BluBar1->value();
  c.randomizer = Randomizer->value();
  c.probability = Probability->value();
  c.toneBrightness = ToneBrightness->value();
  c.toneGamma = ToneGamma->value();
  c.sqrtFilter = square_root->isChecked();
  c.invert = Invert->isChecked();
  c.logDensity = LogDensity->isChecked();
  c.mira01 = Mira01->isChecked();
  c.latoocarfian01 = Latoocarfian01->isChecked();
  c.latoocarfian02 = Latoocarfian02->isChecked();
  c.ifs01 = IFS_01->isChecked();
  c.ifs02 = IFS_02->isChecked();
  c.cif01 = AT_01->isChecked();
  c.cif02 = AT_02->isChecked();
  c.none = None->isChecked();
  c.linear = Linear->isChecked();
  c.sinusoidal = Sinusoidal->isChecked();
  c.spherical = Spherical->isChecked();
  c.swirl = Swirl->isChecked();
  c.horseshoe = Horseshoe->isChecked();
  c.polar = Polar->isChecked();
  c.bent = Bent->isChecked();
  return c;
}

void TForm4::SetControls(const TParameterControls& c) {
  RedBar1->setValue(c.red);
  GrnBar1->setValue(c.green);
  BluBar1->setValue(c.blue);
  Latoocarfian01->setChecked(c.latoocarfian01);
  Latoocarfian02->setChecked(c.latoocarfian02);
  square_root->setChecked(c.sqrtFilter);
  Invert->setChecked(c.invert);
  LogDensity->setChecked(c.logDensity);
  ToneBrightness->setValue(c.toneBrightness);
  ToneGamma->setValue(c.toneGamma);
  Mira01->setChecked(c.mira01);
  IFS_01->setChecked(c.ifs01);
  IFS_02->setChecked(c.ifs02);
  AT_01->setChecked(c.cif01);
  AT_02->setChecked(c.cif02);
  Intensity->setValue(c.intensity);
  Probability->setValue(c.probability);
  Randomizer->setValue(c.randomizer);
  None->setChecked(c.none);
  Linear->setChecked(c.linear);
  Sinusoidal->setChecked(c.sinusoidal);
  Spherical->setChecked(c.spherical);
  Swirl->setChecked(c.swirl);
  Horseshoe->setChecked(c.horseshoe);
  Polar->setChecked(c.polar);
  Bent->setChecked(c.bent);
}

void TForm4::SetValueLabels(const TFractalParams& v) {
  const TParameterLabels labels = ParameterLabelsFromRecord(v, LocaleDecimalSeparator());
  RedLabel1->setText(Text(labels.red));
  GrnLabel1->setText(Text(labels.green));
  BluLabel1->setText(Text(labels.blue));
  Factor1->setText(Text(labels.intensity));
  Factor2->setText(Text(labels.probability));
  RandomFactor->setText(Text(labels.randomizer));
  BrightnessLabel->setText(Text(labels.toneBrightness));
  ToneGammaLabel->setText(Text(labels.toneGamma));
}

void TForm4::FillFromRecord(const TFractalParams& v) {
  SetControls(ParameterControlsFromRecord(v));
  GradientPanel->FillFromRecord(v);
  SetValueLabels(v);
}

void TForm4::ApplyToRecord(TFractalParams& v) {
  ApplyParameterControls(Controls(), v);
  GradientPanel->ApplyToRecord(v);
  SetValueLabels(v);
}

void TForm4::paintEvent(QPaintEvent*) { PaintGradient(this, kMaroon); }
