// GUI tests of the fractal windows: a QApplication on the offscreen platform, an engine host that pumps it,
// and message boxes replaced by a recorder (a modal box would wait for a click nobody makes).
#include <gtest/gtest.h>

#include <QApplication>

#include "window_test_support.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                  : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  TPumpingHost host;
  SetEngineHost(&host);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  SetEngineHost(nullptr);
  return result;
}
