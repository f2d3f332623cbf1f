// Video through Debian's ffmpeg: the frames on disk are its input, so an encoder that fails costs no render time.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "animation/animation.h"
#include "files/image_export.h"
#include "files/param_file.h"

extern char** environ;

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The ffmpeg that a shell would run, or empty.
std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + program;
    std::error_code ignored;
    if (access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate, ignored)) return candidate;
  }
  return {};
}

// The codec arguments by the output's extension. Sizes are padded to even numbers: the 4:2:0 chroma that players
// expect of H.264 and VP9 halves each side.
std::vector<std::string> CodecArguments(const std::string& extension) {
  const std::string even = "pad=ceil(iw/2)*2:ceil(ih/2)*2";
  if (extension == "mp4") return {"-vf", even, "-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf", "20"};
  if (extension == "webm")
    return {"-vf", even, "-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-crf", "34", "-b:v", "0", "-row-mt", "1"};
  // A palette made from the frames themselves, for the 256 colours a GIF has.
  return {"-vf", "split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer", "-loop", "0"};
}

std::string LastLine(const std::string& path) {
  std::ifstream in(path);
  std::string line, last;
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  return last;
}

}  // namespace

bool IsVideoPath(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  return extension == "mp4" || extension == "webm" || extension == "gif";
}

void CheckVideoEncoder(const std::string& output) {
  if (!IsVideoPath(output))
    throw EAnimation("the video " + Quoted(output) + " must end in .mp4, .webm or .gif");
  if (FindOnPath("ffmpeg").empty())
    throw EAnimation("cannot make " + Quoted(output) +
                     ": ffmpeg is not installed (Debian: apt-get install ffmpeg), or not on PATH; the frames can be "
                     "rendered without it with -o DIR/frame-%04d.png");
}

void EncodeVideo(const std::string& pattern, int first, int last, double frameRate, const std::string& output) {
  CheckVideoEncoder(output);
  // ffmpeg ends the video quietly at the first frame it does not find; a video short of frames is an error.
  for (int frame = first; frame <= last; ++frame) {
    const std::string name = FrameFileName(pattern, frame);
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(name, ignored))
      throw EAnimation("cannot make " + Quoted(output) + ": frame " + std::to_string(frame) + " is missing (" +
                       Quoted(name) + ")");
  }
  const std::string ffmpeg = FindOnPath("ffmpeg");
  const std::filesystem::path target(output);
  const std::string extension = ExtensionOf(output);
  std::string hidden = ".";
  hidden += target.filename().string();
  hidden += ".partial-";
  hidden += std::to_string(getpid());
  const std::string stem = (target.parent_path() / hidden).string();
  const std::string partial = stem + "." + extension;
  const std::string log = stem + ".log";

  std::vector<std::string> args = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-xerror", "-y",
                                   "-framerate", FormatGeneralNumber(frameRate, '.', TNumberDigits::Exact),
                                   "-start_number", std::to_string(first), "-i", pattern,
                                   "-frames:v", std::to_string(last - first + 1)};
  for (std::string& a : CodecArguments(extension)) args.push_back(std::move(a));
  args.push_back(partial);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  const auto cleanUp = [&] {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    std::filesystem::remove(log, ignored);
  };
  if (spawned != 0) {
    cleanUp();
    throw EAnimation("cannot run " + Quoted(ffmpeg) + ": " + std::strerror(spawned));
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    const std::string message = LastLine(log);
    cleanUp();
    throw EAnimation("ffmpeg could not make " + Quoted(output) +
                     (message.empty() ? std::string(WIFSIGNALED(status) ? ": it was stopped" : "") : ": " + message));
  }
  std::error_code error;
  std::filesystem::rename(partial, output, error);
  if (error) {
    cleanUp();
    throw EAnimation("Cannot replace file " + Quoted(output) + ": " + error.message());
  }
  std::error_code ignored;
  std::filesystem::remove(log, ignored);
}
