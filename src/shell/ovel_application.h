// The application object. Its notify is the last line of the guard: every command is already run through
// RunGuarded, but an error from any other event handler must not unwind through Qt's event loop either.
#pragma once

#include <QApplication>

class TOvelApplication : public QApplication {
  Q_OBJECT

 public:
  TOvelApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};
