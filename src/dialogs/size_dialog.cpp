#include "dialogs/size_dialog.h"

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

}  // namespace

TXYSize::TXYSize(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("XYSize"));
  MakeStayOnTopToolWindow(this);
  setCursor(Qt::PointingHandCursor);

  RxWidth = new TSpinEdit(0, kSizeStep, this);
  RxHeight = new TSpinEdit(0, kSizeStep, this);
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
  grid->addWidget(new QLabel(QStringLiteral("Width"), this), 0, 0);
  grid->addWidget(RxWidth, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Height"), this), 1, 0);
  grid->addWidget(RxHeight, 1, 1);
  grid->addWidget(CoolBtn1, 0, 2, 2, 1);
  resize(208, 71 + MenuBar->sizeHint().height());

  connect(CoolBtn1, &QPushButton::clicked, this, &TXYSize::applySize);
}

void TXYSize::SetImageSize(int width, int height) {
  RxWidth->SetValue(width);
  RxHeight->SetValue(height);
}

int TXYSize::ImageWidth() const { return RxWidth->IntValue(); }
int TXYSize::ImageHeight() const { return RxHeight->IntValue(); }

void TXYSize::paintEvent(QPaintEvent*) { PaintGradient(this, kSilver); }
