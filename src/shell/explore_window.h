// TExploreWindow: a grid of thumbnails of sets the core's search finds, filled as they are accepted while the
// search runs on threads of its own. A page is a random batch of the chosen family, or -- "More like this" -- a
// 3 x 3 grid of variants around a set, the set itself in the middle, at the distance the slider gives. A
// thumbnail opens, double-clicked or with Enter, in a new fractal window that draws exactly that set.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QMdiSubWindow>
#include <QPixmap>

#include "explore/explore_search.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QSlider;
class QSpinBox;
class QTimer;
class TExploreRunner;
class TServices;

inline constexpr int kExploreDefaultColumns = 4;
inline constexpr int kExploreDefaultRows = 4;
inline constexpr int kMutationGridSide = 3;

class TExploreWindow : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit TExploreWindow(TServices& services, QWidget* parent = nullptr);
  ~TExploreWindow() override;

  // Opens a set in a new fractal window; the frame's.
  std::function<void(const TFractalParams& set, const QString& caption)> onOpen;

  // A new random page of the chosen family.
  void Search();
  // The next page of the search shown: random candidates, or variants around the same set.
  void More();
  // A 3 x 3 page around `set`, the set in the middle.
  void MoreLikeThis(const TFractalParams& set);
  // Ends the search; what it has found stays.
  void Stop();
  bool Searching() const;

  // Positions are those of the grid's cells, row by row. A cell of a mutation page may be empty (nullptr).
  int FilledCount() const;
  const TExploreCandidate* CandidateAt(int position) const;
  // The record a shown thumbnail opens with: its set at the size of a new window, aspect kept.
  TFractalParams OpenRecord(int position) const;
  void Open(int position);
  void SaveParameterFile(int position);
  double Distance() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QComboBox* FamilyBox;
  QSpinBox* ColumnsEdit;
  QSpinBox* RowsEdit;
  QComboBox* SortBox;  // "Order found", "Closest to preferred"
  QPushButton* SearchButton;
  QPushButton* MoreButton;
  QPushButton* StopButton;
  QSlider* DistanceBar;  // "More like this": the relative change, in hundredths
  QLabel* DistanceLabel;
  QListWidget* Grid;
  QLabel* StatusLabel;
  QMenu* ItemMenu;  // a thumbnail's context menu
  QAction* OpenItem1;
  QAction* MoreLikeThisItem1;  // not MoreLikeThis1: the frame's command of that name is in the same tree
  QAction* SaveParameterFile1;

  struct TEntry {
    TExploreCandidate candidate;
    QPixmap picture;
    int found = 0;  // order of arrival
  };
  enum class TMode { Random, Mutation };

  void Start(std::uint64_t first, int wanted, bool drawBase);
  void TopUp();
  void Accept(const TExploreCandidate& candidate, bool isBase);
  void Relayout();
  void ShowStatus(const TExploreStats& stats, bool finished);
  void ResizeGrid();
  int PageSize() const;
  TExploreOptions Options() const;
  // The entry at a grid position, or nullptr for an empty cell.
  const TEntry* EntryAt(int position) const;
  int PositionOfItem(const QListWidgetItem* item) const;
  void ShowItemMenu(const QPoint& at);

  TServices& services_;
  TExploreRunner* runner_;
  QTimer* distanceRestart_;
  TMode mode_ = TMode::Random;
  std::uint64_t seed_ = 1;
  std::uint64_t nextIndex_ = 0;
  std::optional<TFractalParams> base_;
  std::optional<TEntry> baseEntry_;
  std::vector<TEntry> entries_;
  std::vector<int> shown_;  // grid position -> index into entries_, -1 the base, -2 an empty cell
  int arrivals_ = 0;
};
