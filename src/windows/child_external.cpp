// Changes of a window's parameter set that are worked out elsewhere: the frame's Frame Set fits the view, the
// Explore window hands over a set it found. Each is one step of the window's undo stack.
#include "image/pixel_graphic.h"
#include "windows/childwin.h"

void TMDIChild::ChangeView(const QString& text, const std::function<bool(TFractalParams&)>& change) {
  if (FirstShowPending || v.imageWidth == 0 || v.imageHeight == 0) return;
  // Edits still waiting in the dialogs are older than this change and would otherwise overwrite it.
  TakePendingDialogEdits();
  const TParamSnapshot before = doc_.Snapshot();
  if (!change(v)) return;
  RecordStep(before, text);
  // The rectangle marked a region of the view that has just gone.
  PGImage1->SetSelection(false);
  Redraw(/*newCoefficients=*/false);
}

void TMDIChild::ShowParameterSet(const TFractalParams& settings, const QString& text) {
  if (FirstShowPending) {
    showAfterFirstShow_ = [this, settings, text] { ShowParameterSet(settings, text); };
    return;
  }
  if (const auto problem = CheckImageSize(settings.imageWidth, settings.imageHeight)) {
    services_.ShowInformation(this, QString::fromStdString(*problem));
    return;
  }
  TakePendingDialogEdits();
  const TParamSnapshot before = doc_.Snapshot();
  // The picture and the lists are made first: a size too large for memory fails here and changes nothing.
  std::unique_ptr<TPixelGraphic> replaced;
  if (settings.imageWidth != v.imageWidth || settings.imageHeight != v.imageHeight)
    replaced = doc_.Resize(settings.imageWidth, settings.imageHeight);
  doc_.RestoreSettings(settings);
  RecordStep(before, text);
  if (replaced) ShowNewPicture(std::move(replaced));
  Redraw(/*newCoefficients=*/false);
}
