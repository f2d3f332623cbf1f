// The tool dialogs as a fractal window sees them. There is one of each for the whole program; the frame hands
// every window the same set. A window only reads and writes their controls.
#pragma once

#include <functional>

class TMDIChild;
class TForm4;
class TCForm;
class TXYSize;

struct TToolDialogs {
  TForm4* params = nullptr;        // "Parameters"
  TCForm* coefficients = nullptr;  // "Coefficients"
  TXYSize* size = nullptr;         // "XYSize"
  // Whether the dialogs work for this window now. A dialog's edits go into whichever window is active when its
  // debounce fires, so a window in the background must not fill them: its values would end up in another
  // window. Unset means every window may.
  std::function<bool(const TMDIChild*)> serves;
};
