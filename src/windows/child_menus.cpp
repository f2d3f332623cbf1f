#include "windows/child_menus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

namespace {
QAction* AddCheckable(QMenu* menu, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setCheckable(true);
  return action;
}

const char* const kMiraCaptions[9] = {"01.) Martin", "02.) Martin", "03.) Martin",
                                      "04.) Martin", "05.) Martin", "06.) Martin",
                                      "07.) Gumowsku / Mira", "08.) Gumowsku / Mira", "09.) Gumowsku / Mira"};
}  // namespace

TChildMenus::TChildMenus(QWidget* owner)
    : View1(new QMenu(QStringLiteral("View"), owner)),
      XYSize1(new QMenu(QStringLiteral("XY Size"), owner)),
      Mira1(new QMenu(QStringLiteral("G-Mira / Martin"), owner)),
      IFS01(new QMenu(QStringLiteral("IFS-01"), owner)),
      Coefficients1(new QMenu(QStringLiteral("Coefficients"), owner)),
      PopupMenu1(new QMenu(owner)) {
  for (std::size_t i = 0; i < kMenuSizes.size(); ++i)
    sizeItems[i] = XYSize1->addAction(QString::fromLatin1(kMenuSizes[i].caption));
  XYSize1->addSeparator();
  CustomSize1 = XYSize1->addAction(QStringLiteral("Custom Size"));

  for (int i = 0; i < 9; ++i) {
    // Separators after "06.)" and after "09.)", as the families change there.
    if (i == 6) Mira1->addSeparator();
    miraItems[i] = AddCheckable(Mira1, QString::fromLatin1(kMiraCaptions[i]));
  }
  Mira1->addSeparator();
  Mira0113 = AddCheckable(Mira1, QStringLiteral("13.) Latoocarfian01"));

  for (int i = 0; i < kIfsVariantCount; ++i)
    ifsItems[i] = AddCheckable(IFS01, QStringLiteral("IFS010%1").arg(i + 1));

  for (int i = 0; i < 3; ++i) mapsItems[i] = AddCheckable(Coefficients1, QStringLiteral("%1X").arg(i + 1));
  Coefficients1->addSeparator();
  ConstantsDialog1 = Coefficients1->addAction(QStringLiteral("Constants Dialog"));

  Zoom1 = PopupMenu1->addAction(QStringLiteral("Zoom In (double click)"));
  ZoomOut1 = new QAction(QStringLiteral("Zoom Out"), owner);
  ZoomOut1->setShortcut(QKeySequence::ZoomOut);
  ZoomOut1->setStatusTip(QStringLiteral("Show twice the extent about the same centre and draw"));
  PopupMenu1->addAction(ZoomOut1);
  RectangleMode1 = AddCheckable(PopupMenu1, QStringLiteral("Rectangle Mode"));
  PopupMenu1->addSeparator();
  ClearRectangle2 = PopupMenu1->addAction(QStringLiteral("Clear Rectangle"));
  PopupMenu1->addSeparator();
  FitToWindow1 = new QAction(QStringLiteral("Fit to Window"), owner);
  FitToWindow1->setCheckable(true);
  FitToWindow1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  FitToWindow1->setStatusTip(QStringLiteral("Show a picture larger than its window scaled down, whole"));
  PopupMenu1->addAction(FitToWindow1);

  View1->addActions({Zoom1, ZoomOut1});
  View1->addSeparator();
  View1->addAction(FitToWindow1);
}

std::array<QAction*, 5> TChildMenus::MenuBarActions() const {
  return {View1->menuAction(), XYSize1->menuAction(), Mira1->menuAction(), IFS01->menuAction(),
          Coefficients1->menuAction()};
}
