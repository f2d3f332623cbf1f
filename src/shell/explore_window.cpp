#include "shell/explore_window.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/tool_window.h"
#include "document/first_show.h"
#include "explore/explore_family.h"
#include "files/param_file.h"
#include "files/safe_file.h"
#include "image/pixel_graphic.h"
#include "services/command_guard.h"
#include "services/services.h"
#include "shell/explore_runner.h"
#include "view/pg_draw.h"
#include "windows/window_text.h"

namespace {

const QString kCaption = QStringLiteral("Explore");
constexpr int kCellPadding = 8;
constexpr int kMaxGridSide = 8;
constexpr int kDistanceSteps = 100;  // the slider's hundredths
constexpr int kDistanceRestartMs = 300;
constexpr int kBasePosition = kMutationGridSide * kMutationGridSide / 2;

struct TFamilyEntry {
  const char* caption;
  const char* name;  // ParseExploreFamily's
};
constexpr TFamilyEntry kFamilies[] = {
    {"Any family", "any"},
    {"G-Mira / Martin (any)", "mira"},
    {"G-Mira / Martin 01", "mira01"}, {"G-Mira / Martin 02", "mira02"}, {"G-Mira / Martin 03", "mira03"},
    {"G-Mira / Martin 04", "mira04"}, {"G-Mira / Martin 05", "mira05"}, {"G-Mira / Martin 06", "mira06"},
    {"G-Mira / Martin 07", "mira07"}, {"G-Mira / Martin 08", "mira08"}, {"G-Mira / Martin 09", "mira09"},
    {"IFS-01 (any)", "ifs"},
    {"IFS0101", "ifs01"}, {"IFS0102", "ifs02"}, {"IFS0103", "ifs03"}, {"IFS0104", "ifs04"},
    {"IFS0105", "ifs05"}, {"IFS0106", "ifs06"}, {"IFS0107", "ifs07"}, {"IFS0108", "ifs08"},
    {"Latoocarfian 01", "latoocarfian"},
    {"CIF", "cif"},
};
constexpr int kDefaultFamily = 1;

enum class TSort { Found = 0, Preferred = 1 };

std::uint64_t NewSeed() { return QRandomGenerator::global()->generate64() >> 1; }

QString Figures(const TExploreCandidate& c) {
  return QStringLiteral("%1\nLyapunov exponent %2 bits/iteration\nCorrelation dimension %3")
      .arg(QString::fromStdString(FamilyCaption(c.params)))
      .arg(c.figures.lyapunov, 0, 'f', 3)
      .arg(c.figures.dimension, 0, 'f', 2);
}

QPixmap PictureOf(const TExploreCandidate& c, QSize size) {
  QImage image;
  if (c.thumbnail) PixelGraphicToQImage(*c.thumbnail, image);
  if (image.isNull()) {
    QPixmap empty(size);
    empty.fill(Qt::black);
    return empty;
  }
  return QPixmap::fromImage(image);
}

char DecimalSeparator() {
  const QString point = UserDecimalPoint();
  return point.isEmpty() || point.front().toLatin1() == '\0' ? '.' : point.front().toLatin1();
}

}  // namespace

TExploreWindow::TExploreWindow(TServices& services, QWidget* parent)
    : QMdiSubWindow(parent), services_(services), runner_(new TExploreRunner(this)) {
  setWindowTitle(kCaption);
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);

  auto* row = new QHBoxLayout;
  FamilyBox = new QComboBox(body);
  for (const TFamilyEntry& family : kFamilies)
    FamilyBox->addItem(QString::fromLatin1(family.caption), QString::fromLatin1(family.name));
  FamilyBox->setCurrentIndex(kDefaultFamily);
  FamilyBox->setToolTip(QStringLiteral("The formula family new candidates are drawn from"));
  ColumnsEdit = new QSpinBox(body);
  RowsEdit = new QSpinBox(body);
  for (QSpinBox* edit : {ColumnsEdit, RowsEdit}) edit->setRange(1, kMaxGridSide);
  ColumnsEdit->setValue(kExploreDefaultColumns);
  RowsEdit->setValue(kExploreDefaultRows);
  SortBox = new QComboBox(body);
  SortBox->addItems({QStringLiteral("Order found"), QStringLiteral("Closest to preferred")});
  SortBox->setToolTip(QStringLiteral("Closest to a Lyapunov exponent of %1 bits/iteration and a dimension of %2")
                          .arg(kPreferredLyapunov)
                          .arg(kPreferredDimension));
  row->addWidget(new QLabel(QStringLiteral("Family"), body));
  row->addWidget(FamilyBox);
  row->addWidget(new QLabel(QStringLiteral("Grid"), body));
  row->addWidget(ColumnsEdit);
  row->addWidget(new QLabel(QStringLiteral("x"), body));
  row->addWidget(RowsEdit);
  row->addWidget(new QLabel(QStringLiteral("Sort"), body));
  row->addWidget(SortBox);
  row->addStretch();
  layout->addLayout(row);

  auto* buttons = new QHBoxLayout;
  SearchButton = new QPushButton(QStringLiteral("&Search"), body);
  SearchButton->setToolTip(QStringLiteral("A new random page of the chosen family"));
  MoreButton = new QPushButton(QStringLiteral("&More"), body);
  MoreButton->setToolTip(QStringLiteral("The next page"));
  StopButton = new QPushButton(QStringLiteral("S&top"), body);
  DistanceBar = new QSlider(Qt::Horizontal, body);
  DistanceBar->setRange(1, kDistanceSteps);
  DistanceBar->setValue(static_cast<int>(std::lround(kDefaultMutationDistance * kDistanceSteps)));
  DistanceBar->setToolTip(QStringLiteral("How far the variants of \"More like this\" are from their set"));
  DistanceLabel = new QLabel(body);
  buttons->addWidget(SearchButton);
  buttons->addWidget(MoreButton);
  buttons->addWidget(StopButton);
  buttons->addSpacing(12);
  buttons->addWidget(new QLabel(QStringLiteral("Distance"), body));
  buttons->addWidget(DistanceBar, 1);
  buttons->addWidget(DistanceLabel);
  layout->addLayout(buttons);

  Grid = new QListWidget(body);
  Grid->setViewMode(QListView::IconMode);
  Grid->setMovement(QListView::Static);
  Grid->setResizeMode(QListView::Adjust);
  Grid->setWrapping(true);
  Grid->setUniformItemSizes(true);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setIconSize(QSize(kDefaultThumbnailWidth, kDefaultThumbnailHeight));
  Grid->setGridSize(QSize(kDefaultThumbnailWidth + kCellPadding, kDefaultThumbnailHeight + kCellPadding));
  Grid->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(Grid, 1);
  StatusLabel = new QLabel(body);
  layout->addWidget(StatusLabel);
  setWidget(body);

  ItemMenu = new QMenu(this);
  OpenItem1 = ItemMenu->addAction(QStringLiteral("&Open in New Window"));
  MoreLikeThisItem1 = ItemMenu->addAction(QStringLiteral("More &Like This"));
  ItemMenu->addSeparator();
  SaveParameterFile1 = ItemMenu->addAction(QStringLiteral("&Save Parameter File..."));

  NameObjects({{FamilyBox, "FamilyBox"}, {ColumnsEdit, "ColumnsEdit"}, {RowsEdit, "RowsEdit"}, {SortBox, "SortBox"},
               {SearchButton, "SearchButton"}, {MoreButton, "MoreButton"}, {StopButton, "StopButton"},
               {DistanceBar, "DistanceBar"}, {DistanceLabel, "DistanceLabel"}, {Grid, "Grid"},
               {StatusLabel, "StatusLabel"}, {ItemMenu, "ItemMenu"}, {OpenItem1, "OpenItem1"},
               {MoreLikeThisItem1, "MoreLikeThisItem1"}, {SaveParameterFile1, "SaveParameterFile1"}});

  distanceRestart_ = new QTimer(this);
  distanceRestart_->setSingleShot(true);
  distanceRestart_->setInterval(kDistanceRestartMs);

  const auto current = [this] { return PositionOfItem(Grid->currentItem()); };
  connect(SearchButton, &QPushButton::clicked, this, Guarded(services_, this, [this] { Search(); }));
  connect(MoreButton, &QPushButton::clicked, this, Guarded(services_, this, [this] { More(); }));
  connect(StopButton, &QPushButton::clicked, this, Guarded(services_, this, [this] { Stop(); }));
  connect(Grid, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    RunGuarded(services_, this, [&] { Open(PositionOfItem(item)); });
  });
  connect(Grid, &QListWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { RunGuarded(services_, this, [&] { ShowItemMenu(at); }); });
  connect(OpenItem1, &QAction::triggered, this, Guarded(services_, this, [this, current] { Open(current()); }));
  connect(MoreLikeThisItem1, &QAction::triggered, this, Guarded(services_, this, [this, current] {
            if (const TEntry* entry = EntryAt(current())) MoreLikeThis(entry->candidate.params);
          }));
  connect(SaveParameterFile1, &QAction::triggered, this,
          Guarded(services_, this, [this, current] { SaveParameterFile(current()); }));
  connect(FamilyBox, &QComboBox::currentIndexChanged, this, Guarded(services_, this, [this] { Search(); }));
  connect(SortBox, &QComboBox::currentIndexChanged, this, Guarded(services_, this, [this] { Relayout(); }));
  for (QSpinBox* edit : {ColumnsEdit, RowsEdit})
    connect(edit, &QSpinBox::valueChanged, this, Guarded(services_, this, [this] { ResizeGrid(); }));
  connect(DistanceBar, &QSlider::valueChanged, this, [this] {
    DistanceLabel->setText(QString::number(Distance(), 'f', 2));
    if (mode_ == TMode::Mutation) distanceRestart_->start();
  });
  connect(distanceRestart_, &QTimer::timeout, this, Guarded(services_, this, [this] {
            if (mode_ != TMode::Mutation) return;
            entries_.clear();
            nextIndex_ = 0;
            Start(0, kMutationGridSide * kMutationGridSide - 1, false);
          }));

  runner_->onBase = [this](const TExploreCandidate& c) { RunGuarded(services_, this, [&] { Accept(c, true); }); };
  runner_->onAccepted = [this](const TExploreCandidate& c) {
    RunGuarded(services_, this, [&] { Accept(c, false); });
  };
  runner_->onProgress = [this](const TExploreStats& stats) { ShowStatus(stats, false); };
  runner_->onFinished = [this](const TExploreStats& stats) {
    nextIndex_ = std::max(nextIndex_, stats.nextIndex);
    ShowStatus(stats, true);
  };
  runner_->onFailed = [this](std::exception_ptr error) {
    StatusLabel->setText(QStringLiteral("The search failed."));
    services_.ShowError(this, ErrorText(error));
  };

  DistanceLabel->setText(QString::number(Distance(), 'f', 2));
  ResizeGrid();
}

TExploreWindow::~TExploreWindow() {
  // The search's threads end before the grid they report to goes.
  delete runner_;
  runner_ = nullptr;
}

void TExploreWindow::closeEvent(QCloseEvent* event) {
  Stop();
  QMdiSubWindow::closeEvent(event);
}

double TExploreWindow::Distance() const { return DistanceBar->value() / static_cast<double>(kDistanceSteps); }

bool TExploreWindow::Searching() const { return runner_ && runner_->Running(); }

int TExploreWindow::PageSize() const {
  if (mode_ == TMode::Mutation) return kMutationGridSide * kMutationGridSide - 1;
  return ColumnsEdit->value() * RowsEdit->value();
}

TExploreOptions TExploreWindow::Options() const {
  TExploreOptions options;
  options.family = ParseExploreFamily(FamilyBox->currentData().toString().toStdString()).value_or(TExploreFamily{});
  options.seed = seed_;
  if (mode_ == TMode::Mutation && base_) {
    options.base = *base_;
    options.distance = Distance();
  }
  return options;
}

void TExploreWindow::Start(std::uint64_t first, int wanted, bool drawBase) {
  TExploreRequest request;
  request.options = Options();
  request.first = first;
  request.wanted = wanted;
  request.drawBase = drawBase;
  Relayout();
  StatusLabel->setText(QStringLiteral("Searching..."));
  runner_->Start(std::move(request));
}

void TExploreWindow::Search() {
  mode_ = TMode::Random;
  base_.reset();
  baseEntry_.reset();
  entries_.clear();
  seed_ = NewSeed();
  nextIndex_ = 0;
  ResizeGrid();
  Start(0, PageSize(), false);
}

void TExploreWindow::More() {
  if (mode_ == TMode::Random && entries_.empty() && nextIndex_ == 0) {
    Search();
    return;
  }
  runner_->Cancel();
  entries_.clear();
  Start(nextIndex_, PageSize(), false);
}

void TExploreWindow::MoreLikeThis(const TFractalParams& set) {
  TFractalParams base = set;
  // The copy points at the pictures and lists of the window it came from; the search makes its own.
  base.image = nullptr;
  base.redList = base.greenList = base.blueList = nullptr;
  base.leadList = nullptr;
  base.randomize = false;
  base.abort = false;
  mode_ = TMode::Mutation;
  base_ = base;
  baseEntry_.reset();
  entries_.clear();
  seed_ = NewSeed();
  nextIndex_ = 0;
  ResizeGrid();
  Start(0, PageSize(), true);
}

void TExploreWindow::Stop() {
  if (!runner_->Running()) return;
  runner_->Cancel();
  StatusLabel->setText(QStringLiteral("Stopped: %1 found").arg(entries_.size()));
}

void TExploreWindow::TopUp() {
  const int missing = PageSize() - static_cast<int>(entries_.size());
  if (missing <= 0) return;
  Start(nextIndex_, missing, false);
}

void TExploreWindow::ResizeGrid() {
  const int columns = mode_ == TMode::Mutation ? kMutationGridSide : ColumnsEdit->value();
  const int rows = mode_ == TMode::Mutation ? kMutationGridSide : RowsEdit->value();
  ColumnsEdit->setEnabled(mode_ == TMode::Random);
  RowsEdit->setEnabled(mode_ == TMode::Random);
  const QSize cell = Grid->gridSize();
  const int frame = 2 * Grid->frameWidth() + 4;
  // Room for the scroll bar too: the list shows one only for pages larger than the grid, and the columns
  // should not change when it comes.
  const int scrollBar = Grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  Grid->setMinimumSize(columns * cell.width() + frame + scrollBar, rows * cell.height() + frame);
  Grid->setMaximumWidth(columns * cell.width() + frame + scrollBar);
  widget()->adjustSize();
  adjustSize();
  if (mode_ != TMode::Random) return;
  // A smaller grid keeps the first thumbnails; a larger one goes on searching for the rest.
  if (static_cast<int>(entries_.size()) > PageSize()) {
    entries_.resize(static_cast<std::size_t>(PageSize()));
    if (runner_->Running()) runner_->Cancel();
    Relayout();
  } else if (static_cast<int>(entries_.size()) < PageSize() && (runner_->Running() || !entries_.empty())) {
    runner_->Cancel();
    TopUp();
  }
}

void TExploreWindow::Accept(const TExploreCandidate& candidate, bool isBase) {
  TEntry entry;
  entry.candidate = candidate;
  entry.picture = PictureOf(candidate, Grid->iconSize());
  entry.found = arrivals_++;
  if (isBase) {
    baseEntry_ = std::move(entry);
  } else {
    if (static_cast<int>(entries_.size()) >= PageSize()) return;
    // A page that follows, or a search cut short and taken up again, goes on after the last one shown; the
    // progress figures may run ahead of the thumbnails still on their way.
    nextIndex_ = std::max(nextIndex_, candidate.index + 1);
    entries_.push_back(std::move(entry));
  }
  Relayout();
}

void TExploreWindow::Relayout() {
  const int selected = PositionOfItem(Grid->currentItem());
  const int selectedEntry = selected >= 0 && selected < static_cast<int>(shown_.size()) ? shown_[selected] : -3;
  std::vector<int> order(entries_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  if (SortBox->currentIndex() == static_cast<int>(TSort::Preferred)) {
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
      const TExploreCandidate& ca = entries_[a].candidate;
      const TExploreCandidate& cb = entries_[b].candidate;
      return PreferenceDistance(ca.params, ca.figures) < PreferenceDistance(cb.params, cb.figures);
    });
  }
  shown_.clear();
  if (mode_ == TMode::Mutation) {
    // Nine cells, the base in the middle, the variants around it as they come.
    std::size_t next = 0;
    for (int cell = 0; cell < kMutationGridSide * kMutationGridSide; ++cell) {
      if (cell == kBasePosition)
        shown_.push_back(baseEntry_ ? -1 : -2);
      else
        shown_.push_back(next < order.size() ? order[next++] : -2);
    }
  } else {
    shown_ = order;
  }
  Grid->clear();
  QPixmap empty(Grid->iconSize());
  empty.fill(QColor(24, 24, 24));
  for (std::size_t position = 0; position < shown_.size(); ++position) {
    const TEntry* entry = EntryAt(static_cast<int>(position));
    auto* item = new QListWidgetItem(QIcon(entry ? entry->picture : empty), QString(), Grid);
    item->setData(Qt::UserRole, static_cast<int>(position));
    if (!entry) {
      item->setFlags(Qt::NoItemFlags);
      continue;
    }
    QString tip = Figures(entry->candidate);
    if (shown_[position] == -1) tip = QStringLiteral("The set itself\n") + tip;
    item->setToolTip(tip);
    if (shown_[position] == selectedEntry) Grid->setCurrentItem(item);
  }
}

void TExploreWindow::ShowStatus(const TExploreStats& stats, bool finished) {
  const int found = static_cast<int>(entries_.size());
  QString text = QStringLiteral("%1 of %2 found, %3 tried").arg(found).arg(PageSize()).arg(stats.tried);
  if (finished && stats.exhausted) text = QStringLiteral("Gave up: ") + text;
  else if (!finished) text = QStringLiteral("Searching... ") + text;
  StatusLabel->setText(text);
}

const TExploreWindow::TEntry* TExploreWindow::EntryAt(int position) const {
  if (position < 0 || position >= static_cast<int>(shown_.size())) return nullptr;
  const int index = shown_[position];
  if (index == -1) return baseEntry_ ? &*baseEntry_ : nullptr;
  if (index < 0 || index >= static_cast<int>(entries_.size())) return nullptr;
  return &entries_[index];
}

int TExploreWindow::PositionOfItem(const QListWidgetItem* item) const {
  return item ? item->data(Qt::UserRole).toInt() : -1;
}

int TExploreWindow::FilledCount() const {
  int count = 0;
  for (std::size_t position = 0; position < shown_.size(); ++position)
    if (EntryAt(static_cast<int>(position))) ++count;
  return count;
}

const TExploreCandidate* TExploreWindow::CandidateAt(int position) const {
  const TEntry* entry = EntryAt(position);
  return entry ? &entry->candidate : nullptr;
}

TFractalParams TExploreWindow::OpenRecord(int position) const {
  const TEntry* entry = EntryAt(position);
  if (!entry) throw std::out_of_range("no thumbnail at that position");
  TFractalParams v = entry->candidate.params;
  // The framing depends on the picture's aspect only, so the set fills a larger picture of that aspect alike.
  const double aspect = static_cast<double>(v.imageHeight) / std::max(1, v.imageWidth);
  v.imageWidth = kFirstShowWidth;
  v.imageHeight = std::max(1, static_cast<int>(std::lround(kFirstShowWidth * aspect)));
  return v;
}

void TExploreWindow::Open(int position) {
  const TEntry* entry = EntryAt(position);
  if (!entry || !onOpen) return;
  onOpen(OpenRecord(position), QStringLiteral("Explore: %1 #%2")
                                   .arg(QString::fromStdString(FamilyCaption(entry->candidate.params)))
                                   .arg(entry->candidate.index));
}

void TExploreWindow::SaveParameterFile(int position) {
  const TEntry* entry = EntryAt(position);
  if (!entry) return;
  TFileDialogRequest request;
  request.caption = QStringLiteral("Save Parameter File");
  request.fileName = QStringLiteral("explore-%1-%2.ifs").arg(seed_).arg(entry->candidate.index);
  request.filter = QString::fromLatin1(kParamFileOpenFilter);
  const TFileDialogResult chosen = services_.RunSaveFileDialog(this, request);
  if (!chosen.accepted || chosen.fileName.isEmpty()) return;
  QString path = chosen.fileName;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".ifs");
  const TFractalParams v = OpenRecord(position);
  const char separator = DecimalSeparator();
  // Every digit is kept, so that the file draws exactly the set the thumbnail shows.
  WriteFileAtomically(QFile::encodeName(path).toStdString(),
                      [&](std::ostream& out) { WriteParameterFile(out, v, separator, TNumberDigits::Exact); });
}

void TExploreWindow::ShowItemMenu(const QPoint& at) {
  QListWidgetItem* item = Grid->itemAt(at);
  if (!item || !EntryAt(PositionOfItem(item))) return;
  Grid->setCurrentItem(item);
  ItemMenu->popup(Grid->viewport()->mapToGlobal(at));
}
