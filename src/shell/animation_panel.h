// The Animation panel, docked at the right of the frame: the keyframes (the windows' parameter sets, each with its
// time), the animation's frame rate, size, quality and interpolation, a small preview that plays in the panel, and
// Render, which draws the frames (or a video) in the background with progress and Cancel. Open and Save read and
// write the animation file and its keyframes' parameter files.
//
// The panel knows nothing of the frame: the frame hands it the active window's set through takeActiveSet and says
// when there is one (SetCanAdd).
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QDockWidget>
#include <QString>
#include <QStringList>

#include "animation/animation.h"
#include "files/file_options.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;
class TAnimationPreview;
class TAnimationRender;
class TServices;

// A window's parameter set as a keyframe takes it.
struct TKeyframeSource {
  QString caption;
  TFractalParams params;
};

class TAnimationPanel : public QDockWidget {
  Q_OBJECT

 public:
  // fileOptions: the frame's image file options, which the frames are written with.
  TAnimationPanel(TServices& services, const TFileOptions& fileOptions, QWidget* parent = nullptr);

  // The active window's set, or nothing when there is no window.
  std::function<std::optional<TKeyframeSource>()> takeActiveSet;
  void SetCanAdd(bool canAdd);

  // The animation as the panel holds it: its keyframes and the settings of its controls.
  TAnimation Animation() const;
  QString KeyframeCaption(int row) const { return captions_.at(row); }
  // Adds a set as the last keyframe, a moment after the one before; raises EAnimation, adding nothing, when the
  // set cannot follow the others (another family or switch).
  void AddKeyframe(const TKeyframeSource& source);

  TAnimationPreview& Preview() { return *preview_; }
  TAnimationRender& Render() { return *render_; }

  // The commands of the panel's buttons.
  void AddActiveWindowClick();
  void RemoveClick();
  void MoveUpClick();
  void MoveDownClick();
  void OpenClick();    // animation_panel_files.cpp
  void SaveClick();
  void PlayClick();
  void RenderClick();
  void CancelRenderClick();

 private:
  enum EKeyframeColumn { kSetColumn, kTimeColumn };
  void CreateKeyframeControls(QVBoxLayout* layout);
  void CreateSettingsControls(QVBoxLayout* layout);
  void CreatePreviewAndRenderControls(QVBoxLayout* layout);
  void ShowKeyframes();
  void TimeEdited(int row, int column);
  void SwapKeyframes(int a, int b);
  void ShowSettings(const TAnimation& animation);
  void Changed();  // the keyframes or settings changed: the preview is out of date
  void UpdateButtons();
  void ShowRenderProgress();
  void RenderFinished(bool cancelled, const QString& summary, const QString& error);
  std::optional<std::string> ChooseRenderOutput();

  TServices& services_;
  const TFileOptions& fileOptions_;
  std::vector<TKeyframe> keyframes_;
  QStringList captions_;  // the windows' titles, or the keyframes' file names
  TAnimation settings_;   // what the controls do not show (orbits, seed, filter radius, steps) comes from here
  bool canAdd_ = false;
  bool modified_ = false;  // changed since it was opened or saved
  QString folder_;        // where the last animation was opened or saved

  QTableWidget* table_;
  QPushButton *addButton_, *removeButton_, *upButton_, *downButton_;
  QDoubleSpinBox* frameRateEdit_;
  QSpinBox *widthEdit_, *heightEdit_, *supersampleEdit_;
  QDoubleSpinBox* qualityEdit_;
  QComboBox* interpolationCombo_;
  QCheckBox* easeCheck_;
  QLabel* framesLabel_;
  QPushButton *openButton_, *saveButton_;
  QLabel* previewLabel_;
  QLabel* previewStatus_;
  QPushButton* playButton_;
  QPushButton *renderButton_, *cancelButton_;
  QProgressBar* renderProgress_;
  QLabel* renderStatus_;
  TAnimationPreview* preview_;
  TAnimationRender* render_;
};
