// A supersampled render of a document: the engine draws into a counts-only grid S times finer than the picture on
// each side, and the grid is filtered into the document's counts, which are then toned like any render's. Used by
// the renderer and by background renders of the desktop program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/fractal_params.h"

class TFractalDocument;
struct THitCountDocument;

class TSupersampledGrid {
 public:
  // The grid for v as a render pass prepared it (view edges, size): S times its size, its view that of the picture
  // moved by (S - 1) / 2 grid cells, so that the S x S cells of a pixel's footprint are the ones filtered into it
  // at radius 0. Raises std::bad_alloc when the lists cannot be made.
  TSupersampledGrid(const TFractalParams& v, int supersample);
  TSupersampledGrid(const TSupersampledGrid&) = delete;
  TSupersampledGrid& operator=(const TSupersampledGrid&) = delete;

  // The record the engine runs on; its abort flag stops the render.
  TFractalParams& Record() { return grid_; }
  const TFractalParams& Record() const { return grid_; }
  int Supersample() const { return supersample_; }

  // The grid filtered into the document's counts and lead channels (engine/supersample.h); the caller paints.
  void FilterInto(TFractalDocument& document, double filterRadius) const;
  // The end of a render (or a preview of one): the document's record takes what the run left in the grid's (the
  // coefficients a random restart drew, the iterations, the estimate), and the grid is filtered into the
  // document's counts, which paint its picture.
  void FinishInto(TFractalDocument& document, double filterRadius) const;
  // The counts and lead channels of a supersampled document of this grid's shape, to go on drawing it. Raises
  // EHitCountFile when the document's grid is not this one's.
  void Restore(const THitCountDocument& counts);

 private:
  int supersample_;
  TFractalParams grid_;
  THitList red_, green_, blue_;
  TLeadList lead_;
};

// What the machine can give a render now (MemAvailable), when it says.
std::optional<std::uint64_t> AvailableMemoryBytes();
// Empty when `needed` fits in what is available (or nothing is known), else the message naming both figures.
std::string MemoryRefusal(std::uint64_t needed, std::optional<std::uint64_t> available);
