#include "shell/ovel_application.h"

#include <exception>
#include <new>

#include "windows/user_message.h"

TOvelApplication::TOvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Ovel IFS"));
  setApplicationDisplayName(QStringLiteral("Ovel"));
}

bool TOvelApplication::notify(QObject* receiver, QEvent* event) {
  QString error;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    error = QStringLiteral("Out of memory.");
  } catch (const std::exception& e) {
    error = QString::fromLocal8Bit(e.what());
  } catch (...) {
    error = QStringLiteral("An unknown error ended the command.");
  }
  ShowError(nullptr, error);
  return false;
}
