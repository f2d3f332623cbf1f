#include "windows/command_guard.h"

#include <exception>
#include <new>

#include <QString>

#include "windows/user_message.h"

bool RunGuarded(QWidget* parent, const std::function<void()>& command) {
  QString error;
  try {
    command();
    return true;
  } catch (const std::bad_alloc&) {
    error = QStringLiteral("Out of memory.");
  } catch (const std::exception& e) {
    error = QString::fromLocal8Bit(e.what());
  } catch (...) {
    error = QStringLiteral("An unknown error ended the command.");
  }
  // Shown after the handler has been left: the box runs an event loop of its own.
  ShowError(parent, error);
  return false;
}
