// Undo and redo of a fractal window's parameter set. A step keeps the set from before the command that made
// it; the set after it is taken when the step is undone, because some of it exists only later: Rand's
// coefficients are drawn by the engine once its pass has started, and the dialogs' refill comes back rounded a
// moment after every pass. Undo and redo only restore; the window draws once the stack has moved, so a pass
// started by an undo never runs inside the stack's own call (a second undo from within it moves on correctly).
#include <QElapsedTimer>
#include <QTimer>
#include <QUndoStack>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/dialog_conversions.h"
#include "dialogs/params_dialog.h"
#include "dialogs/tool_window.h"
#include "engine/tone.h"
#include "image/pixel_graphic.h"
#include "windows/childwin.h"

namespace {

// Edits of one kind less than this far apart are one step: a slider dragged with pauses, the wheel turned notch
// by notch.
constexpr qint64 kMergeWindowMs = 1500;

// Milliseconds on a clock that never jumps, unlike the wall clock.
qint64 NowMs() {
  static const QElapsedTimer clock = [] {
    QElapsedTimer started;
    started.start();
    return started;
  }();
  return clock.elapsed();
}

const QString kRandStep = QStringLiteral("Rand");
const QString kParametersStep = QStringLiteral("Parameters");
const QString kCoefficientsStep = QStringLiteral("Coefficients");

}  // namespace

// One step of a window's stack.
class TParamsStep : public QUndoCommand {
 public:
  TParamsStep(TMDIChild& window, TParamSnapshot before, const QString& text, int mergeId)
      : window_(window), before_(std::move(before)), mergeId_(mergeId),
        lastEdit_(NowMs()) {
    setText(text);
  }

  void undo() override {
    after_ = window_.doc_.Snapshot();
    window_.RestoreSnapshot(before_);
  }

  void redo() override {
    // The stack redoes a step as it is pushed; the window has made that change already.
    if (!pushed_) {
      pushed_ = true;
      return;
    }
    window_.RestoreSnapshot(after_);
  }

  int id() const override { return mergeId_; }

  bool mergeWith(const QUndoCommand* other) override {
    const auto* next = static_cast<const TParamsStep*>(other);
    if (next->mergeId_ != mergeId_ || next->lastEdit_ - lastEdit_ > kMergeWindowMs) return false;
    lastEdit_ = next->lastEdit_;
    return true;
  }

 private:
  TMDIChild& window_;
  TParamSnapshot before_;
  TParamSnapshot after_;
  int mergeId_;
  qint64 lastEdit_;
  bool pushed_ = false;
};

void TMDIChild::RecordChange(const QString& text, const std::function<void()>& change) {
  const TParamSnapshot before = doc_.Snapshot();
  change();
  RecordStep(before, text);
}

void TMDIChild::RecordStep(const TParamSnapshot& before, const QString& text, int mergeId) {
  // The first show sets the window up; there is nothing before it to go back to.
  if (FirstShowPending || !undoStack_) return;
  if (SameParameterSet(before, doc_.Snapshot())) return;
  undoStack_->push(new TParamsStep(*this, before, text, mergeId));
}

void TMDIChild::RecordDialogEdit(const TParamSnapshot& before, const TParamSnapshot& shown, const QString& text,
                                 int mergeId) {
  if (SameParameterSet(shown, doc_.Snapshot())) return;
  RecordStep(before, text, mergeId);
}

void TMDIChild::RestoreSnapshot(const TParamSnapshot& snapshot) {
  std::unique_ptr<TPixelGraphic> replaced = doc_.Restore(snapshot);
  if (replaced) ShowNewPicture(std::move(replaced));
}

void TMDIChild::Undo() {
  if (FirstShowPending) return;
  // A slider moved a moment ago is the newest step, and the one the user means.
  if (ServedByDialogs()) TakePendingDialogEdits();
  if (!undoStack_->canUndo()) return;
  undoStack_->undo();
  UpdateGrafX();
}

void TMDIChild::Redo() {
  if (FirstShowPending) return;
  // An edit still waiting would become a step and end the redo history; it goes in first, and then there is
  // nothing to redo, as after any other edit.
  if (ServedByDialogs()) TakePendingDialogEdits();
  if (!undoStack_->canRedo()) return;
  undoStack_->redo();
  UpdateGrafX();
}

void TMDIChild::AskForNewCoefficients() {
  // Asked twice before the pass starts, it is still one step.
  if (v.randomize) return;
  RecordChange(kRandStep, [this] { v.randomize = true; });
}

// --- Dialog edits ----------------------------------------------------------------------------------------------

namespace {

enum : int { kParametersMergeId = 1, kCoefficientsMergeId = 2 };

// The record as the Parameters dialog shows it: every value it holds on the step of its control.
TParamSnapshot ShownByParameters(const TFractalParams& v) {
  TFractalParams shown = v;
  ApplyParameterControls(ParameterControlsFromRecord(v), shown);
  return TakeParamSnapshot(shown);
}

// The record as the Coefficients dialog shows it: af[1] .. af[18] with the edits' nine decimals.
TParamSnapshot ShownByCoefficients(const TFractalParams& v) {
  TFractalParams shown = v;
  const char separator = LocaleDecimalSeparator();
  for (std::size_t k = 1; k <= kDialogCoefficientCount; ++k)
    shown.af[k] = ParseReal(FormatFixed(v.af[k], kCoefficientDecimals, separator), separator).value_or(0.0);
  return TakeParamSnapshot(shown);
}

}  // namespace

void TMDIChild::ApplyParameters() {
  if (!dialogs_.params) return;
  const TParamSnapshot before = doc_.Snapshot();
  const TParamSnapshot shown = ShownByParameters(v);
  dialogs_.params->ApplyToRecord(v);
  RecordDialogEdit(before, shown, kParametersStep, kParametersMergeId);
  // Switching the tone, and any edit under log density, shows at once, drawing or not: the whole picture is
  // painted again from its counts. The defined colouring's own edits take effect with the next hits, as always.
  // So does every edit of the gradient colouring: it paints from the colour cells.
  if (v.logDensity || v.logDensity != before.values.logDensity || PaintsByGradient(v)) {
    RepaintPicture(v);
    if (doc_.Picture()) doc_.Picture()->Changed();
  }
}

void TMDIChild::UpdateCoefficiants() {
  if (!dialogs_.coefficients) return;
  const TParamSnapshot before = doc_.Snapshot();
  const TParamSnapshot shown = ShownByCoefficients(v);
  dialogs_.coefficients->ReadCoefficients(v.af);
  RecordDialogEdit(before, shown, kCoefficientsStep, kCoefficientsMergeId);
}
