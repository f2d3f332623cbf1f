// TFractalDocument: one fractal without its window: the parameter record, the picture the engine draws into and
// the three hit lists, kept consistent with each other (the record's handles always point at this document's
// picture and lists, and only the document sets them). The renderer renders one; the window's operations on its
// record are the free functions this class is built from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "document/first_show.h"
#include "document/picture_size.h"
#include "document/render_health.h"
#include "document/selection_region.h"
#include "document/undo_snapshot.h"
#include "engine/fractal_params.h"
#include "files/param_file.h"
#include "image/pixel_graphic.h"

// What a running pass shows of itself in its window's caption: the progress ticks, the steps, the Lyapunov
// estimate and the point plotted last.
struct TProgressFigures {
  std::int32_t ticks = 0;
  std::int64_t iterations = 0;
  double lyapunov = 0, plotX = 0, plotY = 0;
};

// The record as a document hands it out for editing: every field of TFractalParams, written directly, except the
// handles of the picture and the hit lists, which the document alone sets (read them through the document's
// Record() or Picture()). It converts to TFractalParams& for the engine and the functions over the record, and
// cannot be assigned or copied as a whole, which would take another record's handles with it.
class TDocumentRecord : public TFractalParams {
 public:
  TDocumentRecord() = default;
  TDocumentRecord(const TDocumentRecord&) = delete;
  TDocumentRecord& operator=(const TDocumentRecord&) = delete;

 private:
  friend class TFractalDocument;
  using TFractalParams::image;
  using TFractalParams::redList;
  using TFractalParams::greenList;
  using TFractalParams::blueList;
  using TFractalParams::leadList;
  using TFractalParams::colourCells;
};

class TFractalDocument {
 public:
  // The record as a new window's first show leaves it, for a width x height picture. The picture and the lists
  // are made by the first Resize: a new picture takes the default gamma in force when it is made.
  explicit TFractalDocument(int width = kFirstShowWidth, int height = kFirstShowHeight);
  // A zeroed record, as a window holds before its creation defaults and its first show fill it in.
  struct TBlank {};
  explicit TFractalDocument(TBlank) {}
  // The engine keeps the record's address while it runs, and the record points into this object.
  TFractalDocument(const TFractalDocument&) = delete;
  TFractalDocument& operator=(const TFractalDocument&) = delete;
  // A pass may still hold the record's address: it stops at its next look and draws nowhere.
  ~TFractalDocument();

  // The parameter set for editing, and what the engine runs on: the handles stay the document's.
  TDocumentRecord& Params() { return v_; }
  // The whole record, handles included.
  const TFractalParams& Record() const { return v_; }
  // Null before the first Resize.
  TPixelGraphic* Picture() { return picture_.get(); }
  const TPixelGraphic* Picture() const { return picture_.get(); }

  // A new black 24-bit picture and new zeroed lists of width x height; the view keeps its centre and zoom.
  // Strong guarantee: when making the picture or the lists fails (std::bad_alloc, EPixelGraphic for a negative
  // side) the document is as it was. The range a caller accepts (CheckImageSize) is the caller's business.
  // Returns the picture it replaces, for a caller whose view still shows it (null the first time).
  std::unique_ptr<TPixelGraphic> Resize(int width, int height);
  // A new black picture of the record's image size, as every render pass starts with; the lists stay. Returns
  // the picture it replaces, as Resize does. Strong guarantee.
  std::unique_ptr<TPixelGraphic> NewPicture();

  // Reads a parameter file into the record (EParamFileOpen when it cannot be opened; the reading rules are
  // files/'s); the picture and the lists stay as they are.
  TParamReadResult Load(const std::string& path, char decimalSeparator, const TParamMessage& message);
  // Writes the record, atomically, as the parameter file that goes beside picturePath; returns its path.
  std::string SaveParameters(const std::string& picturePath, char decimalSeparator,
                             const TFileSystem& files = SystemFileSystem()) const;

  // Undo: the parameter set as it stands, and back to one taken earlier. Restore makes a new picture and new
  // lists through Resize when the snapshot's size differs from the current one (strong guarantee: when that
  // fails nothing has changed) and returns the picture it replaced, as Resize does; null when the size stayed.
  TParamSnapshot Snapshot() const { return TakeParamSnapshot(v_); }
  std::unique_ptr<TPixelGraphic> Restore(const TParamSnapshot& snapshot);
  // Every parameter of `settings` into the record, which keeps its handles, the size of its picture and the state
  // of a running pass (counters, plotted point, stop flag), so that a pass running on it goes on undisturbed
  // until the next pass replaces it. A caller restoring another size resizes first.
  void RestoreSettings(const TFractalParams& settings);

  TProgressFigures Progress() const { return {v_.ticks, v_.iterations, v_.lyapunov, v_.plotX, v_.plotY}; }

  // The render's health (render_health.h): started when the engine is about to draw this record, sampled with
  // every repaint of the picture during the pass, stopped when the engine has returned. Each sample counts the
  // lit pixels once; nothing is added to the engine's steps.
  void StartHealth();
  const TRenderHealth& SampleHealth();
  void StopHealth();
  const TRenderHealth& Health() const { return health_.Health(); }

  // The presets, as the window's menus set them.
  void ResetView();
  void ToggleMiraVariant(int variant);
  void ToggleIfsVariant(int variant);
  void ToggleLatoocarfian01();
  void SetMaps(int maps) { v_.maps = maps; }

  // Selection and zoom: a fitted rectangle becomes the marked region; the region becomes the view. ZoomToRegion
  // refuses (false, nothing changed) a region without extent, which would divide by zero.
  void MarkRegion(const TPixelRect& fitted);
  bool ZoomToRegion();

  // What a render pass does before the engine runs: the family switches from the variants and, when a family is
  // selected, the view edges of the run. Returns whether the engine has anything to draw.
  bool PrepareRun();

 private:
  // Points the record's handles at this document's picture and lists.
  void AttachHandles();

  TDocumentRecord v_;
  std::unique_ptr<TPixelGraphic> picture_;
  THitLists lists_;
  TRenderHealthMeter health_;
};
