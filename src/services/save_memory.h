// What the save and open dialogs propose next: the folder and file type of the last picture saved, and the folder
// of the last parameter file opened or saved. One for the whole program, kept by the frame from run to run.
#pragma once

#include <QString>

struct TSaveMemory {
  QString pictureFolder;     // empty: none yet
  QString pictureExtension;  // lower case without the point ("png"); empty: none yet
  QString parameterFolder;   // empty: none yet
};
