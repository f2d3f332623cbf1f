#include "dialogs/gradient_panel.h"

#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "dialogs/tool_window.h"
#include "engine/tone.h"

namespace {

constexpr int kStripWidth = 96, kStripHeight = 14;
constexpr int kDecimals = 3;

// A value as its spin box shows it: a record's value is written back only when the box shows another, so that
// filling the dialog and applying it changes nothing (and makes no undo step).
double Shown(double value) { return std::round(value * 1000) / 1000; }

QDoubleSpinBox* MakeSpin(double low, double high, double step, QWidget* parent) {
  auto* spin = new QDoubleSpinBox(parent);
  spin->setRange(low, high);
  spin->setSingleStep(step);
  spin->setDecimals(kDecimals);
  spin->setKeyboardTracking(false);
  return spin;
}

}  // namespace

QPixmap GradientStrip(const TGradient& gradient, const TGradientView& view, int width, int height) {
  QImage strip(width, height, QImage::Format_RGB32);
  const auto colours = SampleGradient(gradient, view, width);
  for (int x = 0; x < width; ++x) {
    const auto& c = colours[static_cast<std::size_t>(x)];
    const QRgb rgb = qRgb(static_cast<int>(c[0] * 255 + 0.5), static_cast<int>(c[1] * 255 + 0.5),
                          static_cast<int>(c[2] * 255 + 0.5));
    for (int y = 0; y < height; ++y) strip.setPixel(x, y, rgb);
  }
  return QPixmap::fromImage(strip);
}

TGradientPanel::TGradientPanel(QWidget* parent) : QWidget(parent) {
  GradientColouring = new QCheckBox(QStringLiteral("Gradient colouring"), this);
  GradientColouring->setToolTip(QStringLiteral(
      "Colour from a gradient: each map group has a colour position, each step moves the orbit's colour coordinate "
      "halfway towards the position of the map it applied, and a pixel shows the gradient at the mean coordinate of "
      "its points, as bright as the log of its density (Brightness and Gamma above)"));
  GradientChooser = new QComboBox(this);
  GradientChooser->setIconSize(QSize(kStripWidth, kStripHeight));
  for (const TGradient& g : BuiltInGradients())
    GradientChooser->addItem(QIcon(GradientStrip(g, {}, kStripWidth, kStripHeight)), QString::fromStdString(g.name));
  GradientOffset = MakeSpin(0, 1, 0.01, this);
  GradientOffset->setWrapping(true);
  Vibrancy = MakeSpin(kMinVibrancy, kMaxVibrancy, 0.05, this);
  for (std::size_t k = 0; k < ColourPositions.size(); ++k) {
    ColourPositions[k] = MakeSpin(0, 1, 0.05, this);
    ColourPositions[k]->setObjectName(QStringLiteral("ColourPosition%1").arg(k + 1));
  }

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(3);
  grid->addWidget(GradientColouring, 0, 0, 1, 4);
  grid->addWidget(GradientChooser, 1, 0, 1, 4);
  const auto caption = [&](const char* text, QWidget* buddy, int row, int column) {
    auto* label = new QLabel(QString::fromLatin1(text), this);
    label->setBuddy(buddy);
    grid->addWidget(label, row, column);
  };
  caption("Offset", GradientOffset, 2, 0);
  grid->addWidget(GradientOffset, 2, 1);
  caption("Vibrancy", Vibrancy, 2, 2);
  grid->addWidget(Vibrancy, 2, 3);
  // The colour position of each map group, captioned above.
  grid->addWidget(new QLabel(QStringLiteral("Positions"), this), 4, 0);
  const char* const groups[kColourPositions] = {"Map 1", "Map 2", "Map 3"};
  for (int k = 0; k < kColourPositions; ++k) {
    caption(groups[k], ColourPositions[static_cast<std::size_t>(k)], 3, 1 + k);
    grid->addWidget(ColourPositions[static_cast<std::size_t>(k)], 4, 1 + k);
  }

  const auto userChange = [this] {
    if (filling_) return;
    ShowEnabled();
    emit changed();
  };
  connect(GradientColouring, &QCheckBox::clicked, this, userChange);
  connect(GradientChooser, &QComboBox::currentIndexChanged, this, userChange);
  for (QDoubleSpinBox* spin : {GradientOffset, Vibrancy, ColourPositions[0], ColourPositions[1], ColourPositions[2]})
    connect(spin, &QDoubleSpinBox::valueChanged, this, userChange);
  connect(GradientColouring, &QCheckBox::toggled, this, &TGradientPanel::colouringSwitched);
  FillFromRecord(TFractalParams{});
  NameObjects({{GradientColouring, "GradientColouring"}, {GradientChooser, "GradientChooser"},
               {GradientOffset, "GradientOffset"}, {Vibrancy, "Vibrancy"}});
}

bool TGradientPanel::ColouringOn() const { return GradientColouring->isChecked(); }

void TGradientPanel::ShowEnabled() {
  const bool on = GradientColouring->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(GradientChooser), static_cast<QWidget*>(GradientOffset),
                     static_cast<QWidget*>(Vibrancy), static_cast<QWidget*>(ColourPositions[0]),
                     static_cast<QWidget*>(ColourPositions[1]), static_cast<QWidget*>(ColourPositions[2])})
    w->setEnabled(on);
}

void TGradientPanel::FillFromRecord(const TFractalParams& v) {
  filling_ = true;
  GradientColouring->setChecked(v.colouring == TColouring::Gradient);
  const TGradient& gradient = v.gradient.Get();
  const int builtIns = static_cast<int>(BuiltInGradients().size());
  // The record's own gradient (read from a file) is offered after the built-ins, under its name.
  while (GradientChooser->count() > builtIns) GradientChooser->removeItem(builtIns);
  own_ = {};
  int index = -1;
  for (int k = 0; k < builtIns; ++k)
    if (BuiltInGradients()[static_cast<std::size_t>(k)] == gradient) index = k;
  if (index < 0) {
    own_ = v.gradient;
    GradientChooser->addItem(QIcon(GradientStrip(gradient, {}, kStripWidth, kStripHeight)),
                             QString::fromStdString(gradient.name));
    index = builtIns;
  }
  GradientChooser->setCurrentIndex(index);
  GradientOffset->setValue(v.gradientView.offset - std::floor(v.gradientView.offset));
  Vibrancy->setValue(VibrancyIsValid(v.vibrancy) ? v.vibrancy : kDefaultVibrancy);
  for (int k = 0; k < kColourPositions; ++k)
    ColourPositions[static_cast<std::size_t>(k)]->setValue(ColourPositionOrDefault(v, k));
  ShowEnabled();
  filling_ = false;
}

void TGradientPanel::ApplyToRecord(TFractalParams& v) const {
  v.colouring = GradientColouring->isChecked() ? TColouring::Gradient : TColouring::Defined;
  const int index = GradientChooser->currentIndex();
  const int builtIns = static_cast<int>(BuiltInGradients().size());
  if (index >= 0 && index < builtIns) {
    const std::string& name = BuiltInGradients()[static_cast<std::size_t>(index)].name;
    v.gradient = name == kDefaultGradientName ? TGradientRef{} : BuiltInGradientRef(name);
  } else if (own_.gradient != nullptr) {
    v.gradient = own_;
  }
  // The spin box shows the offset within one turn; a record's offset a whole turn away is the same offset.
  if (GradientOffset->value() != Shown(v.gradientView.offset - std::floor(v.gradientView.offset)))
    v.gradientView.offset = GradientOffset->value();
  if (Vibrancy->value() != Shown(v.vibrancy)) v.vibrancy = Vibrancy->value();
  for (int k = 0; k < kColourPositions; ++k)
    if (ColourPositions[static_cast<std::size_t>(k)]->value() != Shown(ColourPositionOrDefault(v, k)))
      v.colourPositions[static_cast<std::size_t>(k)] = ColourPositions[static_cast<std::size_t>(k)]->value();
}
