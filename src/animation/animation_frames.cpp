// Frames: one background render each, and a run of them on worker threads.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "animation/animation.h"
#include "files/image_export.h"
#include "image/pixel_graphic.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr auto kRunProgressInterval = std::chrono::milliseconds(100);

// SplitMix64's finaliser: neighbouring frames get unrelated streams.
std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

void CheckFrame(const TAnimation& animation, int frame) {
  const int count = animation.FrameCount();
  if (frame < 0 || frame >= count)
    throw EAnimation("frame " + std::to_string(frame) + " is not in the animation, whose frames are 0 to " +
                     std::to_string(count - 1));
}

}  // namespace

std::uint64_t FrameSeed(std::uint64_t runSeed, int frame) {
  return Mix(runSeed + 0x9E3779B97F4A7C15ULL * (static_cast<std::uint64_t>(frame) + 1));
}

TBackgroundRenderSpec FrameSpec(const TAnimation& animation, int frame, std::uint64_t seed, int threads) {
  CheckFrame(animation, frame);
  TBackgroundRenderSpec spec;
  spec.params = FrameParams(animation, frame);
  spec.width = animation.width;
  spec.height = animation.height;
  spec.supersample = animation.supersample;
  spec.filterRadius = animation.filterRadius;
  spec.steps = animation.StepsPerFrame();
  spec.orbits = animation.orbits;
  spec.threads = std::max(threads, 1);
  spec.seed = FrameSeed(seed, frame);
  return spec;
}

std::unique_ptr<TPixelGraphic> RenderFrame(const TAnimation& animation, int frame, std::uint64_t seed, int threads,
                                           const std::atomic<bool>& cancel,
                                           const TBackgroundRender::TProgress& progress) {
  TBackgroundRender render(FrameSpec(animation, frame, seed, threads));
  render.Run(cancel, progress);
  if (render.Cancelled()) return nullptr;
  auto picture = std::make_unique<TPixelGraphic>();
  picture->Assign(render.Document().Picture());
  return picture;
}

bool RenderFrameToFile(const TAnimation& animation, int frame, std::uint64_t seed, int threads,
                       const std::string& path, const TFileOptions& fileOptions, const std::atomic<bool>& cancel,
                       const TBackgroundRender::TProgress& progress) {
  TBackgroundRender render(FrameSpec(animation, frame, seed, threads));
  render.Run(cancel, progress);
  if (render.Cancelled()) return false;
  TPixelGraphic& picture = *render.Document().Picture();
  // Nobody can be asked from here; the format is the user's choice.
  picture.SaveColorResWarningAction = TPGWarningAction::pgwaIgnore;
  const TWarningBox answerOK = [](const std::string&, const std::string&, TWarningButtons) { return true; };
  SavePixelGraphicToFile(picture, path, fileOptions, answerOK);
  return true;
}

std::string FrameFileName(const std::string& pattern, int frame) {
  std::string name;
  bool replaced = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      name.push_back(pattern[i]);
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      name.push_back('%');
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    const bool zeros = j < pattern.size() && pattern[j] == '0';
    if (zeros) ++j;
    int width = 0;
    for (; j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && width < 100; ++j)
      width = width * 10 + (pattern[j] - '0');
    if (j >= pattern.size() || pattern[j] != 'd' || replaced || width > 12)
      throw EAnimation("the frames' file name " + ("\"" + pattern + "\"") +
                       " must hold one %d, %4d or %04d for the frame's number (and %% for a %)");
    std::string number = std::to_string(frame);
    if (number.size() < static_cast<std::size_t>(width))
      number.insert(0, static_cast<std::size_t>(width) - number.size(), zeros ? '0' : ' ');
    name += number;
    replaced = true;
    i = j;
  }
  if (!replaced)
    throw EAnimation("the frames' file name \"" + pattern + "\" must hold one %d, %4d or %04d for the frame's number");
  return name;
}

TFrameRunResult RenderFrames(const TAnimation& animation, const TFrameRun& run, const std::atomic<bool>& cancel) {
  const auto start = TClock::now();
  const int count = animation.FrameCount();
  const int last = run.last < 0 ? count - 1 : run.last;
  if (run.first < 0 || run.first > last || last >= count)
    throw EAnimation("frames " + std::to_string(run.first) + " to " + std::to_string(last) +
                     " are not in the animation, whose frames are 0 to " + std::to_string(count - 1));
  FrameFileName(run.pattern, run.first);  // a bad pattern is refused before anything is drawn

  TFrameRunResult result;
  std::vector<int> todo;
  for (int frame = run.first; frame <= last; ++frame) {
    std::error_code ignored;
    if (std::filesystem::exists(FrameFileName(run.pattern, frame), ignored))
      ++result.skipped;
    else
      todo.push_back(frame);
  }
  const int frameCount = last - run.first + 1;
  const int workers = static_cast<int>(std::min<std::size_t>(std::max(run.threads, 1), todo.size()));
  // Frames side by side scale best (nothing is shared); when there are fewer frames than threads, each frame's
  // orbits take the rest. A frame's picture does not depend on its thread count.
  const int threadsPerFrame = workers > 0 ? std::max(1, run.threads / workers) : 1;

  std::atomic<bool> stop{false};
  std::atomic<int> next{0}, written{0};
  std::vector<std::atomic<double>> partial(static_cast<std::size_t>(workers));
  std::mutex mutex;
  std::condition_variable finished;
  int running = workers;
  std::exception_ptr failure;

  const auto work = [&](std::size_t slot) {
    try {
      for (int k = next++; k < static_cast<int>(todo.size()) && !stop; k = next++) {
        const auto progress = [&](const TBackgroundProgress& p) { partial[slot] = p.Fraction(); };
        if (RenderFrameToFile(animation, todo[static_cast<std::size_t>(k)], run.seed, threadsPerFrame,
                              FrameFileName(run.pattern, todo[static_cast<std::size_t>(k)]), run.fileOptions, stop,
                              progress))
          ++written;
        partial[slot] = 0;
      }
    } catch (...) {
      const std::lock_guard lock(mutex);
      if (!failure) failure = std::current_exception();
      stop = true;
    }
    const std::lock_guard lock(mutex);
    --running;
    finished.notify_all();
  };

  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(workers));
  try {
    for (int w = 0; w < workers; ++w) threads.emplace_back(work, static_cast<std::size_t>(w));
  } catch (...) {
    stop = true;
    for (std::thread& t : threads) t.join();
    throw;
  }
  const auto report = [&] {
    if (!run.progress) return;
    TFrameRunProgress p;
    p.framesSkipped = result.skipped;
    p.framesDone = result.skipped + written;
    p.frameCount = frameCount;
    double drawing = 0;
    for (const std::atomic<double>& f : partial) drawing += f;
    p.fraction = std::min(1.0, (p.framesDone + drawing) / frameCount);
    run.progress(p);
  };
  {
    std::unique_lock lock(mutex);
    while (running > 0) {
      finished.wait_for(lock, kRunProgressInterval);
      if (cancel) stop = true;
      lock.unlock();
      report();
      lock.lock();
    }
  }
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
  result.written = written;
  result.cancelled = result.skipped + result.written < frameCount;
  result.seconds = std::chrono::duration<double>(TClock::now() - start).count();
  report();
  return result;
}
