#include "shell/ovel_application.h"

#include <exception>

#include "services/command_guard.h"
#include "services/services.h"

TOvelApplication::TOvelApplication(int& argc, char** argv, TServices& services)
    : QApplication(argc, argv), services_(services) {
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
  services_.ShowError(nullptr, error);
  return false;
}
