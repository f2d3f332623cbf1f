// The menus of one fractal window: the five that the frame merges into its menu bar ("View", "XY Size",
// "G-Mira / Martin", "IFS-01", "Coefficients") and the picture's popup menu. Only the actions live here;
// the window connects them to its handlers.
#pragma once

#include <array>

#include <QObject>

#include "engine/fractal_params.h"
#include "windows/image_size.h"

class QAction;
class QMenu;
class QWidget;

class TChildMenus {
 public:
  explicit TChildMenus(QWidget* owner);

  // Top entries in menu-bar order.
  QMenu* View1;
  QMenu* XYSize1;
  QMenu* Mira1;
  QMenu* IFS01;
  QMenu* Coefficients1;
  QMenu* PopupMenu1;

  // "XY Size": N120by90 .. N1024by768 in the order of kMenuSizes, then "Custom Size".
  std::array<QAction*, kMenuSizes.size()> sizeItems{};
  QAction* CustomSize1;

  // "G-Mira / Martin": entries 01..09 toggle mira0101..mira0109; "13.) Latoocarfian01" toggles latoocarfian01.
  std::array<QAction*, 9> miraItems{};
  QAction* Mira0113;

  // "IFS-01": IFS0101..IFS0108.
  std::array<QAction*, kIfsVariantCount> ifsItems{};

  // "Coefficients": "1X", "2X", "3X" and "Constants Dialog".
  std::array<QAction*, 3> mapsItems{};
  QAction* ConstantsDialog1;

  // Popup; the zooms and "Fit to Window" are in "View" too, where their keys work.
  QAction* Zoom1;
  QAction* ZoomOut1;      // "Zoom Out", Ctrl+-
  QAction* RectangleMode1;
  QAction* ClearRectangle2;
  QAction* FitToWindow1;  // "Fit to Window", checkable, Ctrl+0

  // The top entries as they go into a menu bar.
  std::array<QAction*, 5> MenuBarActions() const;
};
