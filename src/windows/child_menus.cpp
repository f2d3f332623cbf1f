#include "windows/child_menus.h"

#include <QAction>
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
    : XYSize1(new QMenu(QStringLiteral("XY Size"), owner)),
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
  RectangleMode1 = AddCheckable(PopupMenu1, QStringLiteral("Rectangle Mode"));
  PopupMenu1->addSeparator();
  ClearRectangle2 = PopupMenu1->addAction(QStringLiteral("Clear Rectangle"));
}

std::array<QAction*, 4> TChildMenus::MenuBarActions() const {
  return {XYSize1->menuAction(), Mira1->menuAction(), IFS01->menuAction(), Coefficients1->menuAction()};
}
