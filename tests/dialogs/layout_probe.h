// Questions a reader of a dialog would ask, answered from the laid-out widgets: does this control have a
// caption beside it, and does this edit show a text whole? The dialog must be shown (laid out) first.
#pragma once

#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QWidget;

// The label that names control (its buddy), or null.
QLabel* CaptionOf(const QWidget* control);

// Whether a and b share a row: a's vertical centre lies within b's height.
bool OnSameRow(const QWidget* a, const QWidget* b);
// label and control share a row and no other control stands between them.
bool Beside(const QWidget* label, const QWidget* control);
// label stands over control's column with no other control between them.
bool Above(const QWidget* label, const QWidget* control);
// The nearest control to the left of w on its row, or null.
QWidget* ControlLeftOf(const QWidget* w);

// Every slider, spin box and edit of dialog that has no caption (a buddy label with text, beside or above
// it), described by class and position.
QStringList UncaptionedControls(const QWidget& dialog);

// Whether edit, at its present size, shows text whole: with the cursor at the end the line has not
// scrolled, so the first character is still in view.
bool ShowsWhole(QLineEdit* edit, const QString& text);
