// The hits of a round of parallel orbits, dealt by the part of the picture (or, on a large grid, the region) their
// cells lie in, merged into the counts and painted.
//
// On a large grid that nothing looks at for several rounds, their hits wait, dealt, until their regions are merged
// together: one pass over a region then counts many rounds' hits while its lines are in the cache. Whatever waits
// is merged before anything looks at the counts or the picture (PaintAll, which precedes every host call).
//
// The hits of a round are applied as RunFractal counts them: the four hits of a point raise the cell's counts at
// once, each count saturating, and the cell remembers the channel of its last hit until it is painted. Neither
// depends on the order the hits are applied in, so the threads need not keep one: the hits of a round all add
// the same weight, so the counts saturate alike in any order, and the last hit is the one with the highest
// position (orbit 0 alone: the latest in its log), which each cell's mark keeps. A round stopped by the budget
// and finished by a later run (Continue) thus merges as the round that never stopped.
//
// Each thread deals the hits of the orbits it ran out by the part of the picture their cell lies in (blocks of
// cells dealt out to the parts in turn), right after their steps; then each thread takes one part and applies its
// hits. No cell is touched by two threads. On a large grid the hits are dealt by region instead, the regions dealt
// out to the parts in turn, and a part applies its hits region by region: a region's cells stay in the cache
// while its hits are counted, and the channels of their last hits wait beside them for one painting of many rounds.
//
// The hits of the orbits thread t ran (orbit 0 alone: orbit 0's), each with its position -- step i of orbit k at
// (first + i) K + k, orbit 0 alone at its place in its log -- sorted by part: counted first, then written in place.
// With several threads the parts are read by other threads' cores: written past this core's cache, they are not
// first fetched here only to be sent over there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/run_loop.h"
#include "engine/worker_team.h"

// A round's positions, the Lyapunov points of orbit 0 included, lie below 2^kRoundPositionBits (a full round has at
// most kMaxOrbits * kMinOrbitRoundSteps = 2^20, orbit 0 alone logs at most two points a step).
inline constexpr int kRoundPositionBits = 21;
inline constexpr std::int64_t kMaxRoundPositions = std::int64_t{1} << kRoundPositionBits;
// A log entry holds a cell below 2^30.
inline constexpr std::int64_t kMaxLoggedCells = std::int64_t{1} << 30;
// On a large grid, at most this many hits (of 8 bytes) wait to be merged together.
inline constexpr std::size_t kMaxQueuedHits = std::size_t{1} << 22;

// What an orbit noted in a round.
struct TRoundLog {
  std::vector<std::uint32_t> log;  // per point, (cell << 2) | channel of its fourth hit, or kNoHitLogged
  std::vector<std::uint16_t> levels;  // with the gradient colouring: per point, its colour level
  std::size_t logCount = 0;
  std::int64_t first = 0;  // index of its first step this round within the round
};

// A vector whose bookkeeping has a cache line of its own: threads fill theirs side by side, and a line written by
// two of them would go back and forth between their cores at every hit.
template <class T>
struct alignas(128) TOwnLine {
  std::vector<T> items;
};

// A thread's hits of a round, (position << 32) | log entry, by bucket: bucket b's in [start[b], end[b]), the buckets
// of a part one after the other. A bucket is a part (a thread's share of the cells) or, on a large grid, a region,
// region b belonging to part b % threads. Each thread's bounds are its own: dealing moves an end at every hit.
struct alignas(128) TDealt {
  void Clear() {
    std::fill(start.begin(), start.end(), 0);
    std::fill(end.begin(), end.end(), 0);
  }
  std::size_t Size(std::size_t bucket) const { return end[bucket] - start[bucket]; }

  std::unique_ptr<std::uint64_t[]> hits;  // room for capacity hits, not initialised
  std::size_t capacity = 0;
  std::vector<std::size_t> start, end;  // per bucket, sized when the grid is taken
};

class THitMerger {
 public:
  // Merges on the team's threads. Take comes before anything else.
  explicit THitMerger(TWorkerTeam& team);

  // The render target, taken anew whenever the run takes it (nothing is pending then); grids of at least
  // gatheredGridCells cells are dealt and merged by region. `painted`: the picture is looked at after every round
  // or so, so that a region's cells are painted as soon as they are merged; else their painting waits for many
  // rounds, and a cell hit in several of them is painted once. `waits`: nothing looks at the picture for several
  // rounds, whose hits may then wait to be merged together.
  void Take(const TRenderTarget& target, std::int64_t gatheredGridCells, bool painted, bool waits);
  // Thread t deals the hits of its orbits' logs (orbits t, t + T, ... below `active`; orbit 0 alone when active is
  // 1), or forgets what it dealt last.
  void Deal(int t, int active, const std::vector<const TRoundLog*>& logs);
  void ClearDealt(int t);
  // Applies the round's hits at positions below `below`, or (by region) queues them to be applied with later
  // rounds' hits.
  void Merge(std::int64_t below);
  // Merges every round's hits and paints every counted cell not yet painted, and clears stray floating-point flags.
  void PaintAll();
  // Forgets what waits to be merged or painted: the counts and the picture are about to be cleared.
  void DropPending();

 private:
  // A round whose hits wait in their slot: its hits at positions below `limit` count, its marks above `serialBase`.
  struct TQueuedRound {
    std::uint64_t limit = 0;
    std::uint64_t serialBase = 0;
  };

  std::vector<TDealt>& Slot() { return slots_[queued_.size()]; }
  void AddSlot();
  void MergeQueued();
  template <class TBucketOf>
  void DealBy(int t, int active, const std::vector<const TRoundLog*>& logs, TBucketOf bucketOf);
  void RunParts(std::size_t work, const TWorkerTeam::TJob& job);
  std::uint32_t* MarksOf(int part);
  void FinishRegion(int part);
  template <class TCell>
  void ForPendingCells(int part, TCell cell);
  void PaintPart(int part);
  std::size_t Waiting() const;

  TWorkerTeam& team_;
  TRenderTarget target_;
  // Per cell (by region: per cell of the region a part merges): 0 = painted, else its last hit since:
  // (serial << 2) | channel, the serial one more than the hit's position in its round plus serialRound_ full rounds.
  std::vector<std::uint32_t> marks_;
  std::uint32_t markMask_ = 0;  // a cell's mark is at its part's marks + (cell & markMask_)
  int serialRound_ = 0;                              // rounds merged since the picture was last painted whole
  std::vector<std::uint8_t> partOfBlock_;            // the merging thread of each block of cells
  // Per slot, per thread: the hits of its orbits in a round; the first queued_.size() slots hold the rounds that
  // wait to be merged, the next one the round being dealt.
  std::vector<std::vector<TDealt>> slots_;
  std::vector<TQueuedRound> queued_;
  std::size_t queuedHits_ = 0;
  std::size_t slotCapacity_ = 1;  // rounds that may wait: 1 when every round is merged at once
  std::vector<TOwnLine<std::uint32_t>> pending_;  // per part: cells with unpainted hits (by region: their regions)
  std::vector<TOwnLine<std::uint32_t>> touched_;  // by region, per part: cells marked in the region it merges
  // By region, with a picture: per cell, 0 = painted, else 1 + channel of its last hit; per region, whether its
  // part's pending list holds it; per part, how many cells wait to be painted.
  std::vector<std::uint8_t> lastChannel_;
  std::vector<std::uint8_t> regionDirty_;
  std::vector<TOwnLine<std::size_t>> pendingCells_;
  bool parallelPaint_ = false;
  bool byRegion_ = false;     // hits are dealt and merged by region
  bool defersPaint_ = false;  // by region, with a picture: painting waits for PaintAll
  std::size_t buckets_ = 0;  // parts, or regions
};
