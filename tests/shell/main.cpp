// GUI tests of the frame: the program's own application object (with its guard) on the offscreen platform, and
// message boxes replaced by a recorder.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTemporaryDir>

#include "shell/frame_settings.h"
#include "shell/ovel_application.h"
#include "shell_test_support.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TOvelApplication app(argc, argv, TestServices());
  // The frames read and write settings: never the user's. Each test starts from none (FrameTest::SetUp).
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir settingsFolder;
  if (!settingsFolder.isValid()) return 2;
  TestSettingsFile() = settingsFolder.filePath(QStringLiteral("ovel-ifs.ini"));
  TestServices().settingsFile = TestSettingsFile();
  // Frames come and go between tests; only the exit test asks the application to quit.
  TOvelApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
