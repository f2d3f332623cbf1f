// The dialogs need a QApplication before any widget exists; CTest runs this on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv) {
  // CTest lists the tests by running this binary without the test environment, and nobody watches these
  // windows anyway: without a platform named, use the offscreen one.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Texts in the tests use a point; a test that needs another separator sets its own locale.
  QLocale::setDefault(QLocale::c());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
