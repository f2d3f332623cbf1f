#include "shell/ovel_application.h"

#include <exception>

#include "windows/command_guard.h"
#include "windows/user_message.h"

TOvelApplication::TOvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Ovel IFS"));
  setApplicationDisplayName(QStringLiteral("Ovel"));
}

bool TOvelApplication::notify(QObject* receiver, QEvent* event) {
  QString error;
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    error = ErrorText(std::current_exception());
  }
  ShowError(nullptr, error);
  return false;
}
