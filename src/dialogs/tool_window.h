// Shared look and window kind of the dialogs: stay-on-top tool windows on a vertical gradient.
#pragma once

#include <QColor>
#include <QPoint>
#include <initializer_list>
#include <utility>

class QObject;
class QWidget;

// Maroon and silver as the dialogs' gradients start from them.
inline const QColor kMaroon(0x80, 0x00, 0x00);
inline const QColor kSilver(0xC0, 0xC0, 0xC0);

// Tool window with only a close button, above the other windows of the program.
void MakeStayOnTopToolWindow(QWidget* w);

// The first time a tool window is shown it goes beside its owner's window, to the right of it when the screen has
// room there, `below` pixels under the owner's top edge and kept on the screen. Without that room it goes to the
// right of `beside` (the window inside the owner it was opened for) when the screen has room there, and just
// inside the owner's right edge otherwise. Afterwards it stays wherever the user moves it.
void PlaceToolWindowOnce(QWidget* w, int below, const QWidget* beside = nullptr);
// Puts a tool window where it was in an earlier run; PlaceToolWindowOnce then leaves it there.
void PlaceToolWindowAt(QWidget* w, const QPoint& position);
// Whether the tool window has been placed (shown once, or put back where it was).
bool ToolWindowPlaced(const QWidget* w);

// Fills the widget with a vertical gradient from start to a dark tint of it.
void PaintGradient(QWidget* w, const QColor& start);

// The user's decimal separator, as the dialogs show and read numbers with it.
char LocaleDecimalSeparator();

// Gives each control its member's name as its object name: the name it is known by, outside the form too (tests
// find the controls by it).
void NameObjects(std::initializer_list<std::pair<QObject*, const char*>> objects);
