#include "windows/user_message.h"

#include <QApplication>
#include <QMessageBox>

namespace {
// Process-wide on purpose: a message box is the program's, not a window's, and tests replace it for all at once.
TMessageSink& Sink() {
  static TMessageSink sink;
  return sink;
}
}  // namespace

void ShowInformation(QWidget* parent, const QString& text) {
  if (Sink()) {
    Sink()(parent, text);
    return;
  }
  QMessageBox::information(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

TMessageSink SetMessageSink(TMessageSink sink) {
  TMessageSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

void ShowError(QWidget* parent, const QString& text) {
  if (Sink()) {
    Sink()(parent, text);
    return;
  }
  QMessageBox::critical(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}
