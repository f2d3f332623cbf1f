#include "shell/dialog_runner.h"

#include <utility>

#include <QDialog>

namespace {
TDialogRunner& Runner() {
  static TDialogRunner runner;
  return runner;
}
}  // namespace

int RunDialog(QDialog* dialog) {
  if (const TDialogRunner& runner = Runner()) return runner(dialog);
  return dialog->exec();
}

TDialogRunner SetDialogRunner(TDialogRunner runner) { return std::exchange(Runner(), std::move(runner)); }
