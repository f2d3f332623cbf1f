// A fractal window's hit-count documents: saving its render, loading one, and Continue, which goes on drawing a
// stopped or loaded render without clearing it.
#include <QFile>
#include <QFileInfo>

#include "document/hit_counts.h"
#include "engine/formula.h"
#include "files/hit_count_file.h"
#include "windows/childwin.h"
#include "services/services.h"

namespace {

constexpr char kHitCountFilter[] = "Hit-count documents|*.ovc";
const QString kNothingToContinue = QStringLiteral(
    "There is nothing to continue in this window yet: draw a picture and stop it, or load a hit-count document.");
const QString kChangedSinceStopped = QStringLiteral(
    "Continue goes on with the view, size, families and coefficients the picture was drawn with, and they have "
    "changed since. Apply (F5) draws the new ones from the start.");

std::string LocalFile(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

bool TMDIChild::IsHitCountFile(const QString& path) {
  return QFileInfo(path).suffix().compare(QString::fromLatin1(kHitCountExtension), Qt::CaseInsensitive) == 0;
}

bool TMDIChild::CanContinue() const { return stopped_.has_value() && passDepth_ == 0; }

void TMDIChild::SaveHitCounts1Click() {
  TFileDialogRequest request = SaveRequest(QStringLiteral("Save Hit Counts"), QString::fromLatin1(kHitCountFilter),
                                           saveMemory_ ? saveMemory_->pictureFolder : QString());
  request.fileName = QFileInfo(request.fileName).completeBaseName() + QStringLiteral(".") +
                     QString::fromLatin1(kHitCountExtension);
  const TFileDialogResult chosen = services_.RunSaveFileDialog(this, request);
  if (!chosen.accepted || chosen.fileName.isEmpty()) return;
  QString path = chosen.fileName;
  if (!IsHitCountFile(path)) path += QStringLiteral(".") + QString::fromLatin1(kHitCountExtension);
  // Dialog edits waiting for their debounce belong to what is saved, as with Save As.
  TakePendingDialogEdits();
  // The steps in the picture: orbit 0's since the render last started over, and those of the other orbits.
  std::int64_t steps = v.iterations;
  THitCountDocument counts;
  if (stopped_ && passDepth_ == 0) {
    for (const TOtherOrbit& other : stopped_->others.others) steps += other.iterations;
    counts = CaptureHitCounts(doc_, static_cast<std::uint64_t>(steps), 0, {});
    PutOrbits(counts, stopped_->first, stopped_->others);
  } else {
    // While a pass draws, its orbits are the engine's: the counts so far are saved without them.
    counts = CaptureHitCounts(doc_, static_cast<std::uint64_t>(steps), 0, {});
  }
  SaveHitCountDocument(LocalFile(path), counts, services_.FileSystem());
}

void TMDIChild::LoadHitCounts(const QString& path) {
  // Everything that can fail comes first: the file is read and its orbits checked before anything changes.
  const THitCountDocument counts = LoadHitCountDocument(LocalFile(path));
  std::optional<TOrbitsLeft> others;
  // A supersampled render is shown filtered into the window's picture; its grid is not the window's to go on with.
  if (!counts.orbits.empty() && counts.supersample == 1) others = OrbitsLeftOf(counts);
  TakePendingDialogEdits();
  // A pass still drawing here ends, and what it leaves must not take the place of the document's orbits.
  v.abort = true;
  ++engineRuns_;
  // A step of its own: Undo goes back to the parameter set before it and draws that.
  RecordChange(QStringLiteral("Load"), [&] { ShowNewPicture(RestoreHitCounts(doc_, counts)); });
  stopped_.reset();
  if (others) stopped_ = TStoppedRender{counts.orbits.front(), std::move(*others), RenderFingerprintOf(v)};
  PGImage1->SetHintText({});
  TitleText = path;
  setWindowTitle(path);
  Parameters1Update();
  UpdateMenuItems();
  emit ParameterFileUsed(path);
}

void TMDIChild::Continue1Click() {
  if (passDepth_ > 0) return;  // the pass that draws goes on anyway
  if (!stopped_) {
    services_.ShowInformation(this, kNothingToContinue);
    return;
  }
  // Edits waiting in the dialogs count: a coefficient changed a moment ago changes where the hits land.
  if (ServedByDialogs()) TakePendingDialogEdits();
  if (stopped_->fingerprint != RenderFingerprintOf(v)) {
    services_.ShowInformation(this, kChangedSinceStopped);
    return;
  }
  RunPass(TEngineRun::Continue);
}
