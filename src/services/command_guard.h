// The one guard between commands and Qt's event loop: an error thrown by a command ends that command, is shown
// in the general error report, and the program goes on. Every menu, button, timer and mouse handler is connected
// through it, because an exception must never unwind through Qt's own frames.
#pragma once

#include <exception>
#include <functional>
#include <utility>

class QString;
class QWidget;
class TServices;

// The text a user is shown for an error caught anywhere: the exception's own message, or a plain sentence for
// running out of memory and for anything that is not a std::exception.
QString ErrorText(std::exception_ptr error);

// Runs the command; returns false when it failed (the error has been shown by then, through services).
bool RunGuarded(TServices& services, QWidget* parent, const std::function<void()>& command);

// A slot that runs `command` through RunGuarded, for connect().
template <typename F>
auto Guarded(TServices& services, QWidget* parent, F command) {
  return [&services, parent, command = std::move(command)](auto&&...) { RunGuarded(services, parent, command); };
}
