// ovel-ifs: the desktop program. One frame; the frame opens the first fractal window itself.
#include "shell/main_form.h"
#include "shell/ovel_application.h"

int main(int argc, char** argv) {
  TOvelApplication app(argc, argv);
  TMainForm frame;
  frame.show();
  // The frame outlives the loop: passes that were running when the user quit unwind before exec returns.
  return app.exec();
}
