// The dialogs need a QApplication before any widget exists; CTest runs this on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Texts in the tests use a point; a test that needs another separator sets its own locale.
  QLocale::setDefault(QLocale::c());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
