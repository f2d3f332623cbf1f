// The application object. Its notify is the last line of the guard: every command is already run through
// RunGuarded, but an error from any other event handler must not unwind through Qt's event loop either.
#pragma once

#include <QApplication>

class TServices;

class TOvelApplication : public QApplication {
  Q_OBJECT

 public:
  // services show what notify catches; they outlive the application object.
  TOvelApplication(int& argc, char** argv, TServices& services);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  TServices& services_;
};
