// Information boxes with an OK button, the program's only way of telling the user something.
// Tests replace the box by a recorder, since a modal box would wait for a click nobody makes.
#pragma once

#include <functional>

#include <QString>

class QWidget;

using TMessageSink = std::function<void(QWidget* parent, const QString& text)>;

void ShowInformation(QWidget* parent, const QString& text);
// The general error report: a command failed, the program goes on.
void ShowError(QWidget* parent, const QString& text);

// Replaces the box; an empty sink restores it. Returns the previous sink.
TMessageSink SetMessageSink(TMessageSink sink);
