// The frame's Explore commands: the Explore window, "More like this" on the active window, and Frame Set.
#include <QAction>
#include <QMdiArea>
#include <QMenu>

#include "explore/screen.h"
#include "services/command_guard.h"
#include "services/mode_word.h"
#include "shell/explore_window.h"
#include "shell/main_form.h"
#include "windows/childwin.h"

namespace {
// Frame Set traces the orbit as a one-orbit run with this seed would draw it.
constexpr std::uint64_t kFrameSetSeed = 1;
const QString kFrameSetStep = QStringLiteral("Frame Set");
const QString kExploreStep = QStringLiteral("Explore");
}  // namespace

void TMainForm::CreateExploreActions() {
  Explore1 = new QAction(QStringLiteral("&Explore..."), this);
  Explore1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  Explore1->setStatusTip(QStringLiteral("Find new sets among many random candidates"));
  connect(Explore1, &QAction::triggered, this, Guarded(services_, this, [this] { Explore1Click(); }));

  MoreLikeThis1 = new QAction(QStringLiteral("More &Like This"), this);
  MoreLikeThis1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
  MoreLikeThis1->setStatusTip(QStringLiteral("Variants of the current window's set in the Explore window"));
  connect(MoreLikeThis1, &QAction::triggered, this, Guarded(services_, this, [this] { MoreLikeThis1Click(); }));

  // In every window's View menu (OpenFractalWindow puts it there); the frame holds it so that its key works
  // whichever window is active.
  FrameSet1 = new QAction(QStringLiteral("&Frame Set"), this);
  FrameSet1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
  FrameSet1->setStatusTip(QStringLiteral("Fit the view to the set and draw"));
  connect(FrameSet1, &QAction::triggered, this, Guarded(services_, this, [this] { FrameSet1Click(); }));
  addActions({Explore1, MoreLikeThis1, FrameSet1});
}

TExploreWindow* TMainForm::ShowExploreWindow() {
  if (!exploreWindow_) {
    exploreWindow_ = new TExploreWindow(services_);
    exploreWindow_->onOpen = [this](const TFractalParams& set, const QString& caption) {
      modeWord_.Set(kModeNew);
      OpenFractalWindow(caption)->ShowParameterSet(set, kExploreStep);
    };
    MdiArea->addSubWindow(exploreWindow_);
  }
  exploreWindow_->show();
  MdiArea->setActiveSubWindow(exploreWindow_);
  return exploreWindow_;
}

void TMainForm::Explore1Click() {
  TExploreWindow* explore = ShowExploreWindow();
  if (explore->FilledCount() == 0 && !explore->Searching()) explore->Search();
}

void TMainForm::MoreLikeThis1Click() {
  TMDIChild* child = ActiveChild();
  if (!child) return;
  const TFractalParams set = child->Params();
  // Variants of a set that is not there (nothing drawn yet, an orbit that escapes) would never pass the screen.
  TFractalParams probe = set;
  if (FrameSet(probe, kFrameSetSeed, TScreenThresholds{}) != TFrameOutcome::Framed) {
    services_.ShowInformation(child, QStringLiteral("The window shows no set to find variants of."));
    return;
  }
  ShowExploreWindow()->MoreLikeThis(set);
}

void TMainForm::FrameSet1Click() {
  TMDIChild* child = ActiveChild();
  if (!child) return;
  std::optional<TFrameOutcome> outcome;
  child->ChangeView(kFrameSetStep, [&outcome](TFractalParams& v) {
    outcome = FrameSet(v, kFrameSetSeed, TScreenThresholds{});
    return *outcome == TFrameOutcome::Framed;
  });
  if (!outcome || *outcome == TFrameOutcome::Framed) return;
  services_.ShowInformation(child, *outcome == TFrameOutcome::Escaped
                                       ? QStringLiteral("The orbit escapes: there is no set to frame.")
                                       : QStringLiteral("The orbit has no extent: there is no set to frame."));
}
