// The view tests need a QApplication. CTest sets the offscreen platform for the tests but not for listing them,
// so the platform defaults to offscreen here unless the caller chose one (e.g. xcb under xvfb-run, to watch).
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
