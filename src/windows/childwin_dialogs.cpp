// The exchange between a fractal window's record and the tool dialogs. The dialogs keep nothing per window:
// the window fills them from v, and their debounce timers bring the controls back, through the frame, into
// whichever window is active at that moment.
#include <functional>

#include <QAction>
#include <QScreen>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/spin_edit.h"
#include "dialogs/tool_window.h"
#include "engine/tone.h"
#include "windows/childwin.h"

namespace {

// The dialogs stack down the side of the frame on their first show: Parameters, Coefficients, then the size.
constexpr int kToolWindowGap = 8;
int StackedHeight(const QWidget* dialog) {
  return dialog ? dialog->frameGeometry().height() + kToolWindowGap : 0;
}

// A dialog stacked under `above` on a screen too short for both: beside it instead, at its top, when the screen
// has room there; else it stays where it was put.
void MoveBesideIfCovering(QWidget* dialog, const QWidget* above) {
  const QRect upper = above->frameGeometry();
  // Before its first show a window has no frame yet: leave room for a caption bar and borders.
  const QRect own(dialog->pos(), dialog->frameGeometry().size() + QSize(8, 32));
  if (!own.intersects(upper) || !dialog->screen()) return;
  const QRect screen = dialog->screen()->availableGeometry();
  const int x = upper.right() + 1 + kToolWindowGap;
  if (x + own.width() <= screen.right() + 1) dialog->move(x, upper.top());
}

// Hides a visible dialog; otherwise fills it and shows it, `below` pixels under the frame's top on its first show,
// beside `window` when the frame has no room beside it, and beside `above` when there is no room under it.
void ToggleToolWindow(QWidget* dialog, const std::function<void()>& fill, int below, const QWidget* window,
                      const QWidget* above = nullptr) {
  if (!dialog) return;
  if (dialog->isVisible()) {
    dialog->hide();
    return;
  }
  fill();
  const bool first = !ToolWindowPlaced(dialog);
  PlaceToolWindowOnce(dialog, below, window);
  if (first && above != nullptr && above->isVisible()) MoveBesideIfCovering(dialog, above);
  dialog->show();
  dialog->raise();
}

}  // namespace

void TMDIChild::SetToolDialogs(TToolDialogs dialogs) {
  dialogs_ = std::move(dialogs);
  menus_->CustomSize1->setEnabled(dialogs_.size != nullptr);
  menus_->ConstantsDialog1->setEnabled(dialogs_.coefficients != nullptr);
}

bool TMDIChild::ServedByDialogs() const { return !dialogs_.serves || dialogs_.serves(this); }

void TMDIChild::Parameters1Update(bool newCoefficients) {
  if (!ServedByDialogs()) return;
  // A coefficient typed just before Apply is still waiting for its debounce; it must be drawn, not replaced
  // by the value it is about to overwrite. Coefficients the engine has just drawn are newer than any edit.
  TakePendingDialogEdits(/*coefficients=*/!newCoefficients);
  // Sliders that move and edits whose text changes start the dialogs' debounce, so what is shown here comes
  // back into the record a moment later, rounded to the slider steps and to nine decimals.
  if (dialogs_.params) dialogs_.params->FillFromRecord(v);
  if (dialogs_.coefficients) dialogs_.coefficients->FillCoefficients(v.af);
  if (!newCoefficients && dialogs_.size && !dialogs_.size->BeingEdited())
    dialogs_.size->SetImageSize(v.imageWidth, v.imageHeight);
}

void TMDIChild::TakePendingDialogEdits(bool coefficients) {
  if (dialogs_.params && dialogs_.params->TakePendingChange()) ApplyParameters();
  if (coefficients && dialogs_.coefficients && dialogs_.coefficients->TakePendingChange()) UpdateCoefficiants();
}

// ApplyParameters and UpdateCoefficiants are undo steps: child_undo.cpp.

void TMDIChild::Parameters1Click() {
  ToggleToolWindow(dialogs_.params, [this] { Parameters1Update(); }, 0, this);
}

void TMDIChild::ConstantsDialog1Click() {
  ToggleToolWindow(dialogs_.coefficients, [this] { Parameters1Update(); }, StackedHeight(dialogs_.params), this,
                   dialogs_.params);
}

void TMDIChild::XYSize1Click() {
  ToggleToolWindow(dialogs_.size, [this] { dialogs_.size->SetImageSize(v.imageWidth, v.imageHeight); },
                   StackedHeight(dialogs_.params) + StackedHeight(dialogs_.coefficients), this);
}

void TMDIChild::SizeMenuClick(int width, int height) {
  // The size dialog always shows the size chosen last, from whichever menu.
  if (dialogs_.size) dialogs_.size->SetImageSize(width, height);
  Resolution(width, height);
}
