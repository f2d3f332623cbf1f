#include "services/command_guard.h"

#include <exception>
#include <new>

#include <QString>

#include "services/services.h"


QString ErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Out of memory.");
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("An unknown error ended the command.");
  }
}

bool RunGuarded(TServices& services, QWidget* parent, const std::function<void()>& command) {
  QString error;
  try {
    command();
    return true;
  } catch (...) {
    error = ErrorText(std::current_exception());
  }
  // Shown after the handler has been left: the box runs an event loop of its own.
  services.ShowError(parent, error);
  return false;
}
