// ovel-ifs-render --animate: an animation's frames written as pictures, or encoded into a video.
#pragma once

#include <string>

#include "cli/render.h"
#include "cli/render_options.h"

// The folder of frames a video is encoded from: beside it, named after it (out.mp4.frames). It stays when the run
// is stopped, so that the next run goes on from the frames it holds, and goes once the video is made.
std::string VideoFramesFolder(const std::string& videoPath);
inline constexpr char kVideoFramePattern[] = "frame-%06d.png";

struct TAnimateSummary {
  std::string output;  // the frames' pattern or the video
  int first = 0, last = 0;
  int written = 0, skipped = 0;
  int threads = 1;
  double seconds = 0;
  bool video = false;
  bool interrupted = false;  // Ctrl+C: the frames finished are on disk
};

// Renders the frames (and encodes the video). Raises EAnimation, ERenderFailed and what writing raises.
TAnimateSummary AnimateToFiles(const TRenderOptions& options, const TRenderReport& report);

// "rendered frames 0 to 119 (120 written, 0 already there) in 12.345 s on 2 threads: frames/frame-%04d.png"
std::string FormatAnimateSummary(const TAnimateSummary& summary);
