#include "dialogs/size_dialog.h"

#include <algorithm>

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "dialogs/spin_edit.h"
#include "dialogs/tool_window.h"

namespace {

constexpr double kSizeStep = 10;
// Five digits and a sign: more than any side a picture may have, so a mistyped size is still seen whole
// before the window refuses it.
const QString kWidestSize = QStringLiteral("-99999");

}  // namespace

TXYSize::TXYSize(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("XYSize"));
  MakeStayOnTopToolWindow(this);
  setCursor(Qt::PointingHandCursor);

  RxWidth = new TSpinEdit(0, kSizeStep, this);
  RxHeight = new TSpinEdit(0, kSizeStep, this);
  RxWidth->SetWidestText(kWidestSize);
  RxHeight->SetWidestText(kWidestSize);
  CoolBtn1 = new QPushButton(QStringLiteral("Apply"), this);

  MenuBar = new QMenuBar(this);
  Size1 = MenuBar->addMenu(QStringLiteral("Size"));
  const struct {
    QAction** action;
    int width, height;
  } sizes[] = {{&N120by801, 120, 90},   {&N160by1201, 160, 120}, {&N320by2402, 320, 240},
               {&N400by3001, 400, 300}, {&N640by4801, 640, 480}, {&N800by6001, 800, 600},
               {&N1024by7681, 1024, 768}};
  for (const auto& s : sizes) {
    *s.action = Size1->addAction(QStringLiteral("%1 by %2").arg(s.width).arg(s.height));
    const int width = s.width, height = s.height;
    // An entry only fills the edits; the size is applied by "Apply".
    connect(*s.action, &QAction::triggered, this, [this, width, height] { SetImageSize(width, height); });
  }

  auto* grid = new QGridLayout(this);
  grid->setMenuBar(MenuBar);
  grid->setContentsMargins(6, 4, 6, 4);
  auto* widthLabel = new QLabel(QStringLiteral("Width"), this);
  widthLabel->setBuddy(RxWidth);
  auto* heightLabel = new QLabel(QStringLiteral("Height"), this);
  heightLabel->setBuddy(RxHeight);
  grid->addWidget(widthLabel, 0, 0);
  grid->addWidget(RxWidth, 0, 1);
  grid->addWidget(heightLabel, 1, 0);
  grid->addWidget(RxHeight, 1, 1);
  grid->addWidget(CoolBtn1, 0, 2, 2, 1);
  // The form's own size where the edits fit in it; wider where a larger font or style needs it.
  const QSize fit = sizeHint();
  resize(std::max(208, fit.width()), std::max(71 + MenuBar->sizeHint().height(), fit.height()));

  connect(CoolBtn1, &QPushButton::clicked, this, &TXYSize::applySize);
  NameObjects({{RxWidth, "RxWidth"}, {RxHeight, "RxHeight"}, {CoolBtn1, "CoolBtn1"}, {MenuBar, "MenuBar"},
               {Size1, "Size1"}, {N120by801, "N120by801"}, {N160by1201, "N160by1201"}, {N320by2402, "N320by2402"},
               {N400by3001, "N400by3001"}, {N640by4801, "N640by4801"}, {N800by6001, "N800by6001"},
               {N1024by7681, "N1024by7681"}});
}

void TXYSize::SetImageSize(int width, int height) {
  RxWidth->SetValue(width);
  RxHeight->SetValue(height);
}

int TXYSize::ImageWidth() const { return RxWidth->IntValue(); }
int TXYSize::ImageHeight() const { return RxHeight->IntValue(); }
bool TXYSize::BeingEdited() const { return RxWidth->hasFocus() || RxHeight->hasFocus(); }

void TXYSize::paintEvent(QPaintEvent*) { PaintGradient(this, kSilver); }
