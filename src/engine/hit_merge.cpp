#include "engine/hit_merge.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engine/engine_math.h"
#include "engine/huge_pages.h"
#include "image/pixel_graphic.h"

namespace {

// Cells are shared out among the merging threads in blocks of this many.
constexpr int kCellBlockShift = 10;
// A grid of the context's gathered size lies far outside the cache: its hits are dealt by region, runs of this many
// cells whose counts, marks and lead bytes fit in the cache together, and each region is merged and painted before
// the next, so that a round costs memory traffic per touched region instead of per hit.
constexpr int kRegionShift = 15;
// Less merging or painting than this is done on the calling thread alone: waking the workers would cost more (a run
// that keeps restarting makes one short round after another).
constexpr std::size_t kMinSharedWork = 16384;
// Once this many cells wait to be painted after a merge, they are painted, as RunFractal paints when its list fills.
constexpr std::size_t kPendingCapacity = std::size_t{1} << 16;
// By region, painting waits longer: a cell painted once for many rounds of hits is what makes large grids fast.
constexpr std::size_t kRegionPendingCapacity = std::size_t{1} << 21;
// A mark holds the serials of kSerialRounds rounds of positions: 30 bits.
constexpr int kSerialRounds = (1 << (30 - kRoundPositionBits)) - 1;
// By region, rounds that may wait to be merged together wait until they hold kMaxQueuedHits hits or there are this
// many of them: a region's lines are then fetched once for several hits.
constexpr std::size_t kQueuedRounds = 64;
// Hits ahead whose cells a merge asks the memory for.
constexpr std::size_t kPrefetchDistance = 16;

// A dealt hit is (position << 32) | log entry, positions below 2^kRoundPositionBits; with the gradient colouring the
// point's colour level rides in the bits above them.
constexpr int kLevelShift = 32 + kRoundPositionBits;
constexpr std::uint64_t kPositionMask = (std::uint64_t{1} << kRoundPositionBits) - 1;
static_assert(kColourLevels <= (1 << (64 - kLevelShift)));

}  // namespace

THitMerger::THitMerger(TWorkerTeam& team)
    : team_(team),
      pending_(static_cast<std::size_t>(team.Threads())),
      touched_(static_cast<std::size_t>(team.Threads())),
      pendingCells_(static_cast<std::size_t>(team.Threads())) {
  for (auto& waiting : pendingCells_) waiting.items.assign(1, 0);
  AddSlot();
}

void THitMerger::AddSlot() {
  slots_.emplace_back(static_cast<std::size_t>(team_.Threads()));
  for (TDealt& dealt : slots_.back()) {
    dealt.start.assign(buckets_, 0);
    dealt.end.assign(buckets_, 0);
  }
}

void THitMerger::Take(const TRenderTarget& target, std::int64_t gatheredGridCells, bool painted, bool waits) {
  // Nothing is pending here (painting precedes every host call, a reset drops it), so the marks may be made anew.
  // A round that still waited would be merged into the target it was dealt for.
  MergeQueued();
  target_ = target;
  const std::size_t cells = static_cast<std::size_t>(target.cells);
  byRegion_ = target.cells >= gatheredGridCells;
  // By region, a cell is marked only while its region is merged: each part keeps the marks of one region.
  const std::size_t marks = byRegion_ ? static_cast<std::size_t>(team_.Threads()) << kRegionShift : cells;
  markMask_ = byRegion_ ? (std::uint32_t{1} << kRegionShift) - 1 : ~std::uint32_t{0};
  if (marks_.size() != marks) AssignZeroedList(marks_, marks);
  defersPaint_ = byRegion_ && target.image != nullptr && !painted;
  const std::size_t channels = defersPaint_ ? cells : 0;
  if (lastChannel_.size() != channels) AssignZeroedList(lastChannel_, channels);
  // Blocks of cells dealt out to the parts in turn: an attractor's cells are spread over all of them.
  const std::size_t blocks = (cells >> kCellBlockShift) + 1;
  if (partOfBlock_.size() != blocks) {
    partOfBlock_.resize(blocks);
    for (std::size_t b = 0; b < blocks; ++b)
      partOfBlock_[b] = static_cast<std::uint8_t>(b % static_cast<std::size_t>(team_.Threads()));
  }
  const std::size_t buckets =
      byRegion_ ? (cells >> kRegionShift) + 1 : static_cast<std::size_t>(team_.Threads());
  slotCapacity_ = byRegion_ && waits ? kQueuedRounds : 1;
  if (buckets_ != buckets) {
    buckets_ = buckets;
    for (std::vector<TDealt>& slot : slots_)
      for (TDealt& dealt : slot) {
        dealt.start.assign(buckets, 0);
        dealt.end.assign(buckets, 0);
      }
  }
  regionDirty_.assign(channels > 0 ? buckets : 0, 0);
  parallelPaint_ = target.image == nullptr || target.image->ColorRes() == TColorRes::Bits24 ||
                   target.image->ColorRes() == TColorRes::Bits8;
}

template <class TBucketOf>
void THitMerger::DealBy(int t, int active, const std::vector<const TRoundLog*>& logs, TBucketOf bucketOf) {
  TDealt& dealt = Slot()[static_cast<std::size_t>(t)];
  const int threads = team_.Threads();
  dealt.Clear();
  const int step = active == 1 ? 1 : threads;
  std::size_t* end = dealt.end.data();
  for (int k = t; k < active; k += step) {
    const TRoundLog& o = *logs[static_cast<std::size_t>(k)];
    const std::uint32_t* log = o.log.data();
    for (std::size_t i = 0; i < o.logCount; ++i)
      if (log[i] != kNoHitLogged) ++end[bucketOf(log[i])];
  }
  std::size_t total = 0;
  for (int p = 0; p < threads; ++p)
    for (std::size_t b = static_cast<std::size_t>(p); b < buckets_; b += static_cast<std::size_t>(threads)) {
      dealt.start[b] = total;
      total += end[b];
      end[b] = dealt.start[b];
    }
  if (dealt.capacity < total) {
    dealt.hits.reset(new std::uint64_t[total]);
    dealt.capacity = total;
  }
  std::uint64_t* hits = dealt.hits.get();
  const std::uint64_t stride = active == 1 ? 1 : static_cast<std::uint64_t>(active);
  const bool gradient = target_.gradient;
  for (int k = t; k < active; k += step) {
    const TRoundLog& o = *logs[static_cast<std::size_t>(k)];
    const std::uint32_t* log = o.log.data();
    const std::uint16_t* levels = o.levels.data();
    std::uint64_t position =
        active == 1 ? 0 : static_cast<std::uint64_t>(o.first) * stride + static_cast<std::uint64_t>(k);
    for (std::size_t i = 0; i < o.logCount; ++i, position += stride) {
      const std::uint32_t entry = log[i];
      if (entry == kNoHitLogged) continue;
      std::uint64_t hit = position << 32 | entry;
      if (gradient) hit |= std::uint64_t{levels[i]} << kLevelShift;
      std::uint64_t* at = hits + end[bucketOf(entry)]++;
#if defined(__SSE2__)
      if (threads > 1) {
        _mm_stream_si64(reinterpret_cast<long long*>(at), static_cast<long long>(hit));
        continue;
      }
#endif
      *at = hit;
    }
  }
#if defined(__SSE2__)
  // The streamed hits are in memory before the job's end hands them over.
  if (threads > 1) _mm_sfence();
#endif
}

void THitMerger::Deal(int t, int active, const std::vector<const TRoundLog*>& logs) {
  if (target_.cells == 0) {
    ClearDealt(t);
    return;
  }
  if (byRegion_) {
    DealBy(t, active, logs, [](std::uint32_t entry) { return entry >> (2 + kRegionShift); });
    return;
  }
  const std::uint8_t* partOf = partOfBlock_.data();
  if (team_.Threads() == 1)
    DealBy(t, active, logs, [](std::uint32_t) { return 0; });
  else
    DealBy(t, active, logs, [partOf](std::uint32_t entry) { return partOf[entry >> (2 + kCellBlockShift)]; });
}

void THitMerger::Merge(std::int64_t below) {
  if (target_.cells == 0) return;
  std::size_t hits = 0;
  for (const TDealt& dealt : Slot())
    for (std::size_t b = 0; b < buckets_; ++b) hits += dealt.Size(b);
  if (hits == 0) return;
  TQueuedRound round;
  round.serialBase = static_cast<std::uint64_t>(serialRound_++) << kRoundPositionBits;
  round.limit = static_cast<std::uint64_t>(std::min<std::int64_t>(below, kMaxRoundPositions));
  queued_.push_back(round);
  queuedHits_ += hits;
  // Marks hold a round's serial above every earlier round's; after kSerialRounds rounds they start again from a
  // painted picture, where no cell has a mark.
  if (serialRound_ == kSerialRounds) {
    PaintAll();
    return;
  }
  if (queued_.size() == slotCapacity_ || queuedHits_ >= kMaxQueuedHits) {
    MergeQueued();
    return;
  }
  // The next round is dealt into a slot of its own.
  if (slots_.size() == queued_.size()) AddSlot();
}

void THitMerger::MergeQueued() {
  if (queued_.empty()) return;
  const std::size_t work = queuedHits_;
  const std::size_t rounds = queued_.size();
  const int threads = team_.Threads();
  const auto merge = [&](int part, auto gradient) {
    const TRenderTarget& target = target_;
    std::int32_t* const* counts = target.counts;
    std::uint32_t* const marks = MarksOf(part);
    const std::uint32_t markMask = markMask_;
    std::vector<std::uint32_t>& pending =
        (byRegion_ ? touched_ : pending_)[static_cast<std::size_t>(part)].items;
    for (std::size_t b = static_cast<std::size_t>(part); b < buckets_; b += static_cast<std::size_t>(threads)) {
      for (std::size_t r = 0; r < rounds; ++r) {
        const std::uint64_t serialBase = queued_[r].serialBase;
        const std::uint64_t limit = queued_[r].limit;
        for (int t = 0; t < threads; ++t) {
          const TDealt& dealt = slots_[r][static_cast<std::size_t>(t)];
          const std::uint64_t* entries = dealt.hits.get() + dealt.start[b];
          const std::size_t n = dealt.Size(b);
          for (std::size_t i = 0; i < n; ++i) {
            // The cells lie all over the lists: ask for a later hit's cell now, so that the memory works on
            // several at once while this one is counted.
            if (i + kPrefetchDistance < n) {
              const std::uint32_t ahead = static_cast<std::uint32_t>(entries[i + kPrefetchDistance]) >> 2;
              __builtin_prefetch(counts[0] + ahead, 1);
              __builtin_prefetch(counts[1] + ahead, 1);
              __builtin_prefetch(counts[2] + ahead, 1);
              __builtin_prefetch(marks + (ahead & markMask), 1);
            }
            std::uint64_t position = entries[i] >> 32;
            if constexpr (decltype(gradient)::value) position &= kPositionMask;
            if (position >= limit) [[unlikely]]
              continue;
            const std::uint32_t entry = static_cast<std::uint32_t>(entries[i]);
            const std::uint32_t cell = entry >> 2;
            const std::uint32_t fourth = entry & 3;
            AddHits(target, cell, static_cast<int>(fourth));
            if constexpr (decltype(gradient)::value)
              AddColour(target, cell, static_cast<std::uint32_t>(entries[i] >> kLevelShift));
            std::uint32_t& markOfCell = marks[cell & markMask];
            const std::uint32_t mark = markOfCell;
            const std::uint32_t hit = static_cast<std::uint32_t>((serialBase + position + 1) << 2) | fourth;
            if (mark == 0) pending.push_back(cell);
            markOfCell = std::max(mark, hit);
          }
        }
      }
      if (byRegion_) FinishRegion(part);
    }
  };
  // The gradient colouring's merge is a loop of its own, so that the defined colouring's stays as it was.
  if (target_.gradient)
    RunParts(work, [&](int part) { merge(part, std::true_type{}); });
  else
    RunParts(work, [&](int part) { merge(part, std::false_type{}); });
  queued_.clear();
  queuedHits_ = 0;
  // A slot keeps the room of the largest round it held; rounds of changing lengths must not leave many slots with
  // the room of the longest.
  std::size_t room = 0;
  for (const std::vector<TDealt>& slot : slots_)
    for (const TDealt& dealt : slot) room += dealt.capacity;
  if (room > 2 * kMaxQueuedHits)
    for (std::size_t r = 1; r < slots_.size(); ++r)
      for (TDealt& dealt : slots_[r]) {
        dealt.hits.reset();
        dealt.capacity = 0;
      }
  // Painted between merges, never inside one: a painted cell forgets its last hit.
  const std::size_t waiting = Waiting();
  if (waiting >= (byRegion_ ? kRegionPendingCapacity : kPendingCapacity)) PaintAll();
}

// Merging and painting are shared out by parts. Only pictures whose pixels are whole bytes can be painted by
// several threads at once; the others are merged and painted part by part on the calling thread, as is little
// work, where waking the workers would cost more.
void THitMerger::RunParts(std::size_t work, const TWorkerTeam::TJob& job) {
  if (parallelPaint_ && work >= kMinSharedWork) {
    team_.Run(job);
  } else {
    for (int part = 0; part < team_.Threads(); ++part) job(part);
  }
}

// Part p's marks: all cells' marks, or (by region) those of the region it merges, at p << kRegionShift.
std::uint32_t* THitMerger::MarksOf(int part) {
  return byRegion_ ? marks_.data() + (static_cast<std::size_t>(part) << kRegionShift) : marks_.data();
}

// The channels of the last hits of the region just merged go from its marks, which the next region needs, to the
// cells' own channels, which wait there to be painted.
void THitMerger::FinishRegion(int part) {
  std::vector<std::uint32_t>& touched = touched_[static_cast<std::size_t>(part)].items;
  std::vector<std::uint32_t>& pending = pending_[static_cast<std::size_t>(part)].items;
  std::uint32_t* const marks = MarksOf(part);
  if (!defersPaint_) {
    // Counts only, a cell's paint is its lead byte, as cheap to write now as its channel; and a picture a host
    // looks at after every round or so is painted now, while the region's counts are in the cache.
    for (const std::uint32_t cell : touched) {
      std::uint32_t& mark = marks[cell & markMask_];
      PaintCell(target_, cell, static_cast<int>(mark & 3));
      mark = 0;
    }
    touched.clear();
    return;
  }
  std::size_t fresh = 0;
  for (const std::uint32_t cell : touched) {
    std::uint32_t& mark = marks[cell & markMask_];
    std::uint8_t& channel = lastChannel_[cell];
    fresh += channel == 0;
    channel = static_cast<std::uint8_t>((mark & 3) + 1);
    mark = 0;
  }
  if (fresh > 0) {
    const std::uint32_t region = touched.front() >> kRegionShift;
    std::uint8_t& dirty = regionDirty_[region];
    if (dirty == 0) pending.push_back(region);
    dirty = 1;
    pendingCells_[static_cast<std::size_t>(part)].items.front() += fresh;
  }
  touched.clear();
}

// By region, part p's pending list holds its regions with cells waiting to be painted, and their cells are
// painted in the order of the lists, found by a scan of the region's channels.
template <class TCell>
void THitMerger::ForPendingCells(int part, TCell cell) {
  std::vector<std::uint32_t>& regions = pending_[static_cast<std::size_t>(part)].items;
  const std::size_t cells = lastChannel_.size();
  for (const std::uint32_t region : regions) {
    const std::size_t first = static_cast<std::size_t>(region) << kRegionShift;
    const std::size_t end = std::min(cells, first + (std::size_t{1} << kRegionShift));
    std::uint8_t* channels = lastChannel_.data();
    std::size_t c = first;
    for (; c + 8 <= end; c += 8) {
      std::uint64_t word;
      std::memcpy(&word, channels + c, 8);
      if (word == 0) continue;
      for (std::size_t k = c; k < c + 8; ++k)
        if (channels[k] != 0) cell(k, channels[k]);
    }
    for (; c < end; ++c)
      if (channels[c] != 0) cell(c, channels[c]);
    regionDirty_[region] = 0;
  }
  regions.clear();
  pendingCells_[static_cast<std::size_t>(part)].items.front() = 0;
}

void THitMerger::PaintPart(int part) {
  std::vector<std::uint32_t>& pending = pending_[static_cast<std::size_t>(part)].items;
  if (byRegion_) {
    ForPendingCells(part, [&](std::size_t cell, std::uint8_t& channel) {
      PaintCell(target_, static_cast<std::int64_t>(cell), channel - 1);
      channel = 0;
    });
    return;
  }
  for (const std::uint32_t cell : pending) {
    std::uint32_t& mark = MarksOf(part)[cell & markMask_];
    PaintCell(target_, cell, static_cast<int>(mark & 3));
    mark = 0;
  }
  pending.clear();
}

// Cells waiting to be painted.
std::size_t THitMerger::Waiting() const {
  std::size_t waiting = 0;
  for (std::size_t part = 0; part < pending_.size(); ++part)
    waiting += lastChannel_.empty() ? pending_[part].items.size() : pendingCells_[part].items.front();
  return waiting;
}

void THitMerger::PaintAll() {
  MergeQueued();
  const std::size_t work = Waiting();
  if (work > 0) RunParts(work, [&](int part) { PaintPart(part); });
  serialRound_ = 0;
  ClearFaultFlags();
}

void THitMerger::DropPending() {
  queued_.clear();
  queuedHits_ = 0;
  for (int part = 0; part < team_.Threads(); ++part) {
    auto& pending = pending_[static_cast<std::size_t>(part)];
    if (byRegion_) {
      ForPendingCells(part, [](std::size_t, std::uint8_t& channel) { channel = 0; });
      continue;
    }
    for (const std::uint32_t cell : pending.items) MarksOf(part)[cell & markMask_] = 0;
    pending.items.clear();
  }
}

void THitMerger::ClearDealt(int t) { Slot()[static_cast<std::size_t>(t)].Clear(); }
