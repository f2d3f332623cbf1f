// The Animation panel's controls and how they are laid out and wired.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "engine/supersample.h"
#include "services/command_guard.h"
#include "shell/animation_panel.h"
#include "shell/animation_preview.h"
#include "shell/render_to_file_dialog.h"

namespace {
constexpr double kMaxPanelFrameRate = 240;

QPushButton* Button(const QString& text, const QString& name, const QString& tip) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  button->setToolTip(tip);
  return button;
}
}  // namespace

void TAnimationPanel::CreateKeyframeControls(QVBoxLayout* layout) {
  table_ = new QTableWidget(0, 2);
  table_->setObjectName(QStringLiteral("KeyframeTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Keyframe"), QStringLiteral("Time (s)")});
  table_->horizontalHeader()->setSectionResizeMode(kSetColumn, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(kTimeColumn, QHeaderView::ResizeToContents);
  table_->verticalHeader()->setVisible(false);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  table_->setMinimumHeight(120);
  layout->addWidget(table_);
  addButton_ = Button(QStringLiteral("&Add Active Window"), QStringLiteral("AddKeyframeButton"),
                      QStringLiteral("Add the active window's parameter set as the last keyframe"));
  removeButton_ = Button(QStringLiteral("Remove"), QStringLiteral("RemoveKeyframeButton"),
                         QStringLiteral("Remove the selected keyframe"));
  upButton_ = Button(QStringLiteral("Up"), QStringLiteral("MoveKeyframeUpButton"),
                     QStringLiteral("Move the selected set one keyframe earlier; the times stay"));
  downButton_ = Button(QStringLiteral("Down"), QStringLiteral("MoveKeyframeDownButton"),
                       QStringLiteral("Move the selected set one keyframe later; the times stay"));
  auto* row = new QHBoxLayout;
  row->addWidget(addButton_, 1);
  for (QPushButton* button : {removeButton_, upButton_, downButton_}) row->addWidget(button);
  layout->addLayout(row);

  connect(addButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { AddActiveWindowClick(); }));
  connect(removeButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { RemoveClick(); }));
  connect(upButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { MoveUpClick(); }));
  connect(downButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { MoveDownClick(); }));
  connect(table_, &QTableWidget::cellChanged, this,
          [this](int r, int c) { RunGuarded(services_, this, [this, r, c] { TimeEdited(r, c); }); });
  connect(table_, &QTableWidget::itemSelectionChanged, this, &TAnimationPanel::UpdateButtons);
}

void TAnimationPanel::CreateSettingsControls(QVBoxLayout* layout) {
  auto* form = new QFormLayout;
  frameRateEdit_ = new QDoubleSpinBox;
  frameRateEdit_->setObjectName(QStringLiteral("FrameRateEdit"));
  frameRateEdit_->setRange(1, kMaxPanelFrameRate);
  frameRateEdit_->setDecimals(3);
  frameRateEdit_->setSuffix(QStringLiteral(" fps"));
  form->addRow(QStringLiteral("Frame rate:"), frameRateEdit_);

  widthEdit_ = new QSpinBox;
  heightEdit_ = new QSpinBox;
  widthEdit_->setObjectName(QStringLiteral("FrameWidthEdit"));
  heightEdit_->setObjectName(QStringLiteral("FrameHeightEdit"));
  auto* size = new QHBoxLayout;
  for (QSpinBox* edit : {widthEdit_, heightEdit_}) edit->setRange(1, kRenderMaxSide);
  size->addWidget(widthEdit_);
  size->addWidget(new QLabel(QStringLiteral("\u00d7")));
  size->addWidget(heightEdit_);
  form->addRow(QStringLiteral("Size:"), size);

  qualityEdit_ = new QDoubleSpinBox;
  qualityEdit_->setObjectName(QStringLiteral("QualityEdit"));
  qualityEdit_->setRange(0.01, 1e6);
  qualityEdit_->setDecimals(2);
  qualityEdit_->setToolTip(QStringLiteral("Main steps per picture pixel in each frame"));
  form->addRow(QStringLiteral("Steps per pixel:"), qualityEdit_);

  supersampleEdit_ = new QSpinBox;
  supersampleEdit_->setObjectName(QStringLiteral("SupersampleEdit"));
  supersampleEdit_->setRange(1, kMaxSupersample);
  supersampleEdit_->setToolTip(QStringLiteral("Each output pixel is filtered from S \u00d7 S cells"));
  form->addRow(QStringLiteral("Supersample:"), supersampleEdit_);

  interpolationCombo_ = new QComboBox;
  interpolationCombo_->setObjectName(QStringLiteral("InterpolationCombo"));
  interpolationCombo_->addItems({QStringLiteral("Smooth"), QStringLiteral("Linear")});  // TInterpolation's order
  easeCheck_ = new QCheckBox(QStringLiteral("&Ease in and out"));
  easeCheck_->setObjectName(QStringLiteral("EaseCheck"));
  auto* motion = new QHBoxLayout;
  motion->addWidget(interpolationCombo_);
  motion->addWidget(easeCheck_);
  form->addRow(QStringLiteral("Motion:"), motion);
  framesLabel_ = new QLabel;
  framesLabel_->setObjectName(QStringLiteral("FramesLabel"));
  form->addRow(framesLabel_);
  layout->addLayout(form);

  // An edit of the size or quality replaces a step count an opened file gave.
  const auto edited = [this] {
    settings_.steps = 0;
    Changed();
  };
  connect(frameRateEdit_, &QDoubleSpinBox::valueChanged, this, &TAnimationPanel::Changed);
  connect(widthEdit_, &QSpinBox::valueChanged, this, edited);
  connect(heightEdit_, &QSpinBox::valueChanged, this, edited);
  connect(qualityEdit_, &QDoubleSpinBox::valueChanged, this, edited);
  connect(supersampleEdit_, &QSpinBox::valueChanged, this, &TAnimationPanel::Changed);
  connect(interpolationCombo_, &QComboBox::currentIndexChanged, this, &TAnimationPanel::Changed);
  connect(easeCheck_, &QCheckBox::toggled, this, &TAnimationPanel::Changed);
}

void TAnimationPanel::CreatePreviewAndRenderControls(QVBoxLayout* layout) {
  openButton_ = Button(QStringLiteral("&Open..."), QStringLiteral("OpenAnimationButton"),
                       QStringLiteral("Open an animation file and its keyframes' parameter files"));
  saveButton_ = Button(QStringLiteral("&Save..."), QStringLiteral("SaveAnimationButton"),
                       QStringLiteral("Save the animation file, with a parameter file for each keyframe beside it"));
  auto* files = new QHBoxLayout;
  files->addWidget(openButton_);
  files->addWidget(saveButton_);
  files->addStretch(1);
  layout->addLayout(files);

  previewLabel_ = new QLabel;
  previewLabel_->setObjectName(QStringLiteral("PreviewLabel"));
  previewLabel_->setFixedSize(kPreviewBoxWidth, kPreviewBoxHeight);
  previewLabel_->setAlignment(Qt::AlignCenter);
  previewLabel_->setStyleSheet(QStringLiteral("background: black"));
  playButton_ = Button(QStringLiteral("&Play"), QStringLiteral("PlayButton"),
                       QStringLiteral("Draw a quick small preview and play it"));
  previewStatus_ = new QLabel;
  previewStatus_->setObjectName(QStringLiteral("PreviewStatus"));
  auto* previewColumn = new QVBoxLayout;
  previewColumn->addWidget(playButton_);
  previewColumn->addWidget(previewStatus_);
  previewColumn->addStretch(1);
  auto* preview = new QHBoxLayout;
  preview->addWidget(previewLabel_);
  preview->addLayout(previewColumn, 1);
  layout->addLayout(preview);

  renderButton_ = Button(QStringLiteral("&Render..."), QStringLiteral("RenderAnimationButton"),
                         QStringLiteral("Render the frames, or a video, in the background"));
  cancelButton_ = Button(QStringLiteral("Cancel"), QStringLiteral("CancelAnimationButton"),
                         QStringLiteral("Stop rendering; the finished frames are kept"));
  renderProgress_ = new QProgressBar;
  renderProgress_->setObjectName(QStringLiteral("AnimationProgress"));
  renderProgress_->setRange(0, 1000);
  renderProgress_->setFormat(QStringLiteral("%p %"));
  renderStatus_ = new QLabel;
  renderStatus_->setObjectName(QStringLiteral("AnimationRenderStatus"));
  renderStatus_->setWordWrap(true);
  auto* render = new QHBoxLayout;
  render->addWidget(renderButton_);
  render->addWidget(cancelButton_);
  render->addWidget(renderProgress_, 1);
  layout->addLayout(render);
  layout->addWidget(renderStatus_);

  connect(openButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { OpenClick(); }));
  connect(saveButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { SaveClick(); }));
  connect(playButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { PlayClick(); }));
  connect(renderButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { RenderClick(); }));
  connect(cancelButton_, &QPushButton::clicked, this, Guarded(services_, this, [this] { CancelRenderClick(); }));
}

