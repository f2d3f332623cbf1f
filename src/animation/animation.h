// Animation: keyframes (parameter sets, each with a time) in, frames out. Between keyframes the coefficients,
// colours and tone interpolate and the view moves its centre and zoom so that a zoom has constant speed; every
// frame is a background render fixed by the animation, its index and the run's seed, so frames can be drawn in
// any order, on any number of threads or machines, and come out the same. No Qt here: the renderer and the desktop
// panel both build on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/background_render.h"
#include "engine/fractal_params.h"
#include "files/file_options.h"

class TPixelGraphic;

inline constexpr char kAnimationExtension[] = "ovanim";
inline constexpr char kAnimationHeader[] = "ovel-ifs animation 1";
inline constexpr double kDefaultFrameRate = 25;
inline constexpr int kDefaultAnimationWidth = 640, kDefaultAnimationHeight = 360;
inline constexpr double kDefaultAnimationQuality = 10;
inline constexpr int kDefaultAnimationOrbits = 8;
inline constexpr std::uint64_t kDefaultAnimationSeed = 1;
inline constexpr int kMaxAnimationFrames = 1'000'000;

// A bad animation: a file line that does not read (the message names the file and the line), keyframes that do not
// match, a frame outside the run, an encoder that is missing or fails.
class EAnimation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TInterpolation { Smooth, Linear };  // Smooth: Catmull-Rom over the keyframe times

struct TKeyframe {
  // The parameter file as the animation file names it (relative to the animation file's folder, or absolute);
  // empty for a set held only in memory (the desktop panel's, until the animation is saved).
  std::string path;
  double time = 0;        // seconds from the start of the animation
  TFractalParams params;  // the parameter set; its handles, size and run state are not used
};

struct TAnimation {
  std::vector<TKeyframe> keyframes;  // in strictly increasing time
  double frameRate = kDefaultFrameRate;
  int width = kDefaultAnimationWidth, height = kDefaultAnimationHeight;
  int supersample = 1;
  double filterRadius = 0;
  double quality = kDefaultAnimationQuality;  // main steps per picture pixel, used when steps is 0
  std::int64_t steps = 0;                     // main steps per frame; 0: from quality
  int orbits = kDefaultAnimationOrbits;
  int maps = 2;  // the number of maps of keyframes read from parameter files (which do not store it)
  std::uint64_t seed = kDefaultAnimationSeed;  // the run's seed unless the renderer is given another
  TInterpolation interpolation = TInterpolation::Smooth;
  bool ease = true;  // slow in at the first keyframe and out at the last

  // Frames sit at the first keyframe's time + i / frameRate, up to and including the last keyframe's time.
  int FrameCount() const;
  double TimeOfFrame(int frame) const;
  std::int64_t StepsPerFrame() const;
};

// ---- The animation file (.ovanim) ----

// Reads an animation file and the keyframes' parameter files (relative to the animation file's folder), then
// checks it (CheckAnimation). Raises EAnimation naming the file and line of anything it cannot accept, and the
// parameter file's name for a keyframe that does not read. Parameter file warnings go to `message`.
TAnimation ReadAnimation(const std::string& path, const std::function<void(const std::string&)>& message = {});
// Writes the animation file atomically; every keyframe must have a path (EAnimation otherwise). Only the text file
// is written: the keyframes' parameter files are the caller's.
void WriteAnimation(const std::string& path, const TAnimation& animation);
// The desktop's save: writes each keyframe's parameter set beside the animation file (<name>-key01.ifs, ...),
// sets the keyframes' paths to them, and writes the animation file; all files are replaced together or not at all.
void SaveAnimationWithKeyframes(const std::string& path, TAnimation& animation);

// ---- Checks ----

// Raises EAnimation when the keyframes cannot be interpolated: the first family, variant, variation or other
// switch (or the map count, colouring or gradient) that differs, naming the field and the two keyframes.
void CheckKeyframesMatch(const std::vector<TKeyframe>& keyframes);
// The whole animation: at least one keyframe, times increasing, frame rate, size, supersampling, steps, orbits,
// then CheckKeyframesMatch. Raises EAnimation.
void CheckAnimation(const TAnimation& animation);

// ---- Interpolation ----

// The parameter set at `time` (clamped to the keyframes' span): a keyframe's own set, exactly, at its time, and
// between two keyframes the first one's set with the moving fields interpolated. The record's handles are null.
TFractalParams ParamsAtTime(const TAnimation& animation, double time);
TFractalParams FrameParams(const TAnimation& animation, int frame);

// ---- Frames ----

// The seed of one frame: a mix of the run's seed and the frame's index.
std::uint64_t FrameSeed(std::uint64_t runSeed, int frame);
// The background render that draws one frame (EAnimation for a frame outside 0 .. FrameCount() - 1).
TBackgroundRenderSpec FrameSpec(const TAnimation& animation, int frame, std::uint64_t seed, int threads);
// Draws one frame on the calling thread; null when cancelled. Raises what TBackgroundRender raises.
std::unique_ptr<TPixelGraphic> RenderFrame(const TAnimation& animation, int frame, std::uint64_t seed, int threads,
                                           const std::atomic<bool>& cancel,
                                           const TBackgroundRender::TProgress& progress = {});
// Draws one frame and saves it by the writer of path's extension (written under a temporary name and renamed, so
// a file at path is always a whole frame). False, and nothing written, when cancelled.
bool RenderFrameToFile(const TAnimation& animation, int frame, std::uint64_t seed, int threads,
                       const std::string& path, const TFileOptions& fileOptions, const std::atomic<bool>& cancel,
                       const TBackgroundRender::TProgress& progress = {});

// ---- A run of frames ----

// The frame's file: pattern with its printf-style %d, %4d or %04d (exactly one) replaced by the frame's index.
// Raises EAnimation for a pattern without one or with another % directive.
std::string FrameFileName(const std::string& pattern, int frame);

struct TFrameRunProgress {
  int framesDone = 0;     // written or skipped
  int framesSkipped = 0;  // already on disk
  int frameCount = 0;     // in the run's range
  double fraction = 0;    // 0..1, the frames being drawn counted by their steps
};

struct TFrameRun {
  int first = 0, last = -1;  // the range of frames, inclusive; last -1: to the animation's last frame
  std::uint64_t seed = kDefaultAnimationSeed;
  int threads = 1;           // frames are drawn side by side, one per thread; spare threads share the orbits
  std::string pattern;       // the frames' file names (FrameFileName)
  TFileOptions fileOptions;
  std::function<void(const TFrameRunProgress&)> progress;  // from the calling thread, a few times a second
};

struct TFrameRunResult {
  int written = 0, skipped = 0;
  bool cancelled = false;  // the frames finished before the cancel are on disk; none is half written
  double seconds = 0;
};

// Draws the run's frames whose files do not exist yet, on run.threads workers, until all are written or `cancel`
// is set. Raises EAnimation for a bad range or pattern and the first error of a frame (the other workers stop).
TFrameRunResult RenderFrames(const TAnimation& animation, const TFrameRun& run, const std::atomic<bool>& cancel);

// ---- Video ----

// The video formats by the output's extension: mp4 (H.264), webm (VP9), gif.
bool IsVideoPath(const std::string& path);
// Raises EAnimation when output is no video path or ffmpeg is not installed: before any frame is drawn for it.
void CheckVideoEncoder(const std::string& output);
// Encodes frames first..last of pattern into output with ffmpeg, found on PATH: under a temporary name beside it,
// renamed when complete. Raises EAnimation when ffmpeg is not installed or fails (with its last message).
void EncodeVideo(const std::string& pattern, int first, int last, double frameRate, const std::string& output);
