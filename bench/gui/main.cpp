// The responsiveness run: the program's own application object on the offscreen platform (unless another
// platform is asked for), message boxes recorded instead of shown.
#include <gtest/gtest.h>

#include "shell/ovel_application.h"
#include "windows/window_test_support.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TOvelApplication app(argc, argv);
  TOvelApplication::setQuitOnLastWindowClosed(false);
  InstallMessageRecorder();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
