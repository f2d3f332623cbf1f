// How the frame shows a modal dialog. Normally exec(); tests replace it, since a modal dialog would wait for a
// click that nobody makes.
#pragma once

#include <functional>

class QDialog;

using TDialogRunner = std::function<int(QDialog* dialog)>;

// Shows the dialog modally and returns its result code.
int RunDialog(QDialog* dialog);

// Replaces how RunDialog shows a dialog; an empty runner restores exec(). Returns the previous runner.
TDialogRunner SetDialogRunner(TDialogRunner runner);
