// ovel-ifs: the desktop program. One frame; the frame opens the first fractal window itself.
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QIcon>

#include "ovel_version.h"
#include "shell/main_form.h"
#include "shell/ovel_application.h"
#include "services/services.h"

int main(int argc, char** argv) {
  // Answered before the application object exists, so that it works without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("ovel-ifs %s\n", kOvelVersion);
      return 0;
    }
  }
  TServices services;
  TOvelApplication app(argc, argv, services);
  // Ties the running windows to the installed menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.ovelifs.OvelIFS"));
  QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.ovelifs.OvelIFS")));
  TMainForm frame(services);
  // Parameter files named on the command line (a file manager's "Open With") open in windows of their own.
  QStringList files = QCoreApplication::arguments().mid(1);
  files.removeIf([](const QString& argument) { return argument.startsWith(QLatin1Char('-')); });
  frame.OpenAtStart(files);
  frame.show();
  // The frame outlives the loop: passes that were running when the user quit unwind before exec returns.
  return app.exec();
}
