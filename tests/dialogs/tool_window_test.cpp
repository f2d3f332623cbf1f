#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "dialogs/tool_window.h"

namespace {

struct TOwnerAndTool {
  QWidget owner;
  QWidget* tool;
  TOwnerAndTool() : tool(new QWidget(&owner)) {
    MakeStayOnTopToolWindow(tool);
    tool->resize(200, 150);
  }
};

QRect Screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }

}  // namespace

TEST(ToolWindowPlacement, GoesBesideTheOwnerWhenThereIsRoomAndStaysWhereTheUserPutsIt) {
  TOwnerAndTool t;
  t.owner.setGeometry(Screen().left() + 10, Screen().top() + 20, 300, 300);
  PlaceToolWindowOnce(t.tool, 40);
  EXPECT_GT(t.tool->x(), t.owner.frameGeometry().right());
  EXPECT_EQ(t.tool->y(), t.owner.frameGeometry().top() + 40);

  t.tool->move(Screen().left() + 5, Screen().top() + 5);  // the user moves it
  PlaceToolWindowOnce(t.tool, 40);
  EXPECT_EQ(t.tool->pos(), QPoint(Screen().left() + 5, Screen().top() + 5));
}

TEST(ToolWindowPlacement, OverlapsTheOwnersRightEdgeAndStaysOnScreenWhenTheOwnerFillsIt) {
  TOwnerAndTool t;
  t.owner.setGeometry(Screen());
  PlaceToolWindowOnce(t.tool, Screen().height());  // asked for a place below the screen's bottom
  t.tool->show();
  const QRect placed = t.tool->frameGeometry();
  EXPECT_TRUE(Screen().contains(placed)) << placed.x() << "," << placed.y();
  EXPECT_LT(placed.right(), t.owner.frameGeometry().right());
}
