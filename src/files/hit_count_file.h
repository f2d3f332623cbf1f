// Hit-count documents (.ovc): everything a render has built up, so that it can be continued, added to another
// render of the same parameters, or painted again with other colours, without iterating. The layout is described in
// docs/hit-count-documents.md; all numbers are little-endian, the body is zlib-compressed and carries a CRC-32.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "files/file_system.h"

inline constexpr char kHitCountExtension[] = "ovc";
// Version 2 adds the gradient colouring's colour cells and each orbit's colour coordinate; a document without them
// is written as version 1, as before. Both versions read.
inline constexpr std::uint32_t kHitCountVersion = 1;
inline constexpr std::uint32_t kHitCountColourVersion = 2;

// Limits a reader checks before it believes a header: larger values are refused, not allocated.
// The renderer's largest side: a document restores into N x N hit lists, N the longer side.
inline constexpr std::uint32_t kHitCountMaxSide = 16384;
inline constexpr std::uint64_t kHitCountMaxCells = std::uint64_t{kHitCountMaxSide} * kHitCountMaxSide;
inline constexpr std::uint32_t kHitCountMaxOrbits = 4096;
inline constexpr std::uint32_t kHitCountMaxParameterBytes = 1 << 20;
inline constexpr std::uint32_t kHitCountMaxSupersample = 6;

// One orbit as it stood when the document was written: enough to continue it step for step.
struct THitCountOrbit {
  TOrbitState state;              // the point, the formulas' state, the random stream and the orbit's counters
  double lyapunov = 0;            // the Lyapunov estimate
  std::int64_t iterations = 0;    // steps since the orbit's last reset
  // Parallel orbits work in rounds; a render that stopped inside one keeps the main steps each orbit made of it, so
  // that a resumed render finishes the round exactly as an unbroken one would.
  std::int64_t roundSteps = 0;

  bool operator==(const THitCountOrbit& o) const;
  bool operator!=(const THitCountOrbit& o) const { return !(*this == o); }
};

// The channel of a cell's last hit: 0 for a cell never hit, else 1 + red (0), green (1) or blue (2).
using TLeadChannel = std::uint8_t;
inline constexpr TLeadChannel kNoLead = 0;

struct THitCountDocument {
  std::string parameters;        // the parameter set, as the lines of a .ifs file (decimal point)
  std::uint32_t width = 0, height = 0;  // picture size: the counts cover cells ix < width, iy < height
  std::uint32_t maps = 0;        // how many coefficient groups the random pick chose from (0: the first only)
  bool white = false;            // the picture was painted inverted ("White")
  bool joined = false;           // the orbits beyond the first had joined the render when it stopped
  std::uint64_t mainSteps = 0;   // main steps of the whole render
  std::uint64_t seed = 0;        // seed the orbits' streams were derived from
  // A supersampled render keeps the grid its hits landed in, supersample times finer than the picture on each side,
  // and is filtered into its picture when painted.
  std::uint32_t supersample = 1;
  // Counts of red, green and blue, cell (ix, iy) at ix * rows + iy, rows = height * supersample (the grid's), and
  // each cell's lead channel at the same index.
  std::array<std::vector<std::int32_t>, 3> counts;
  std::vector<TLeadChannel> lead;
  // The gradient colouring's points and colour-level sums per cell, in the same order; both empty when the render
  // had no colour cells (then the document is version 1).
  std::vector<std::uint64_t> colourSums;
  std::vector<std::uint32_t> colourHits;
  // The orbits, in index order; empty for a document made by merging, which cannot be continued.
  std::vector<THitCountOrbit> orbits;

  std::uint64_t CellCount() const { return std::uint64_t{width} * height * supersample * supersample; }
  bool HasColour() const { return !colourHits.empty() || !colourSums.empty(); }
  // Throws EHitCountFile when the vectors do not match the size or a lead value is out of range.
  void CheckShape() const;
};

// A document that cannot be read (with the reason), or documents that cannot be merged (naming the difference).
class EHitCountFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void WriteHitCountDocument(std::ostream& out, const THitCountDocument& doc);
// Reads a whole document; anything damaged, truncated, foreign or too large raises EHitCountFile. Memory grows
// only with bytes actually decompressed, never with what a header claims.
THitCountDocument ReadHitCountDocument(std::istream& in);

// Writes atomically (an existing file stays untouched if anything fails; errors raise EFileWrite).
void SaveHitCountDocument(const std::string& path, const THitCountDocument& doc,
                          const TFileSystem& files = SystemFileSystem());
// Raises EHitCountFile for an unreadable file, naming the path.
THitCountDocument LoadHitCountDocument(const std::string& path);

// Adds documents of the same parameter set, size, map count and White setting: counts add and saturate at the 32-bit maximum, main steps
// add, and a cell's lead channel is the one of the last document in the list that hit it (the documents play the
// part of renders done one after another). The result has no orbits. Raises EHitCountFile naming the first
// difference (size, maps, White or parameter line) between the first document and another one; an empty list is an error too.
THitCountDocument MergeHitCountDocuments(const std::vector<THitCountDocument>& docs);
