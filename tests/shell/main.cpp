// GUI tests of the frame: the program's own application object (with its guard) on the offscreen platform, and
// message boxes replaced by a recorder.
#include <gtest/gtest.h>

#include "shell/ovel_application.h"
#include "shell_test_support.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TOvelApplication app(argc, argv);
  // Frames come and go between tests; only the exit test asks the application to quit.
  TOvelApplication::setQuitOnLastWindowClosed(false);
  InstallMessageRecorder();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
