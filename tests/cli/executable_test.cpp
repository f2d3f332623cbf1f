// Runs the real ovel-ifs-render as a user's shell would: arguments, working folder, exit status, the two streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/render.h"
#include "cli_test_support.h"
#include "ovel_version.h"

using namespace cli_test;

namespace {

struct TRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Drain(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // end of file, or EIO once a terminal's last user has closed it
    }
  }
  return text;
}

// Runs the executable in folder. stdout and stderr go to files, or stderr to a pseudo-terminal when asked.
// asNobody: when the tests run as root, the program runs as the unprivileged user nobody, for whom permission
// bits count.
TRun RunExecutable(const std::vector<std::string>& args, const std::string& folder, bool stderrOnTerminal = false,
                   bool asNobody = false) {
  TRun run;
  const std::string outPath = folder + "/.stdout";
  const std::string errPath = folder + "/.stderr";
  int master = -1;
  std::string slaveName;
  if (stderrOnTerminal) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return run;
    }
    slaveName = ptsname(master);
  }
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = stderrOnTerminal ? open(slaveName.c_str(), O_RDWR | O_NOCTTY)
                                     : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0) _exit(127);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (asNobody && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(126);
    std::vector<char*> argv;
    std::string program = OVEL_RENDER_EXE;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (stderrOnTerminal) run.err = Drain(master);
  int status = 0;
  waitpid(child, &status, 0);
  if (stderrOnTerminal) close(master);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadBytes(outPath);
  if (!stderrOnTerminal) run.err = ReadBytes(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return run;
}

const std::regex kSummaryLine(
    R"(rendered (\d+) steps in \d+\.\d{3} s: \d+ steps/s, \d+ restarts, (\d+) orbits? on (\d+) threads?\n)");

}  // namespace

TEST(Executable, WithoutArgumentsRendersTheExampleIntoTheWorkingFolder) {
  TempFolder folder;
  const TRun run = RunExecutable({}, folder.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  std::smatch match;
  ASSERT_TRUE(std::regex_match(run.err, match, kSummaryLine)) << run.err;
  EXPECT_EQ(match[1], "5000000");
  EXPECT_EQ(match[2], "8") << "eight orbits by default";
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  EXPECT_EQ(match[3], std::to_string(std::min(cores, 8))) << "on the machine's cores";
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"ovel-ifs.png"});
  const auto [width, height] = PngSize(ReadBytes(folder / "ovel-ifs.png"));
  EXPECT_EQ(width, 400u);
  EXPECT_EQ(height, 300u);
}

TEST(Executable, DrawsTheSamePictureAsTheLibraryForTheSameSeed) {
  TempFolder folder;
  const TRun run = RunExecutable({"-o", "exe.bmp", "--seed", "5", "--steps", "200000", "--size", "321x123", "--quiet"},
                       folder.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  TRenderOptions o;
  o.outputPath = folder / "lib.ppm";
  o.seed = 5;
  o.steps = 200000;
  o.width = 321;
  o.height = 123;
  o.fileOptions.PXMWriteBinary = true;
  RenderParameterSet(o);

  const TRgbPicture fromExe = DecodeBmp24(ReadBytes(folder / "exe.bmp"));
  const TRgbPicture fromLibrary = DecodePpm(ReadBytes(folder / "lib.ppm"));
  EXPECT_EQ(fromExe.width, 321);
  EXPECT_EQ(fromExe.height, 123);
  EXPECT_GT(fromExe.LitCount(), 1000);
  EXPECT_TRUE(fromExe.rgb == fromLibrary.rgb) << "decoded pixels differ";
}

TEST(Executable, BadArgumentsGiveUsageAndStatusTwo) {
  TempFolder folder;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--nope"}, {"--maps", "7"}, {"a.ifs", "b.ifs"}, {"--steps", "1", "--seconds", "1"},
        {"--orbits", "0"}, {"--threads", "many"}}) {
    const TRun run = RunExecutable(args, folder.Path());
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_EQ(run.err.rfind("ovel-ifs-render: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\nUsage: ovel-ifs-render [PARAMS.ifs]"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_TRUE(folder.Names().empty());
}

TEST(Executable, HelpGoesToStandardOutput) {
  TempFolder folder;
  const TRun run = RunExecutable({"--help"}, folder.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, RenderHelpText());
  EXPECT_EQ(run.err, "");
}

TEST(Executable, VersionIsTheProjectVersionOnStandardOutput) {
  TempFolder folder;
  const TRun run = RunExecutable({"--version"}, folder.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("ovel-ifs-render ") + kOvelVersion + "\n" + kOvelVersionNotice);
  EXPECT_NE(run.out.find("\nLicense GPLv3+: "), std::string::npos);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(folder.Names().empty());
}

TEST(Executable, ErrorsGiveOneLineStatusOneAndNoPicture) {
  TempFolder folder;
  TRun run = RunExecutable({"missing.ifs", "-o", "x.png"}, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("ovel-ifs-render: error: Cannot open file \"missing.ifs\"", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;

  run = RunExecutable({"-o", "x.gif"}, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "ovel-ifs-render: error: Unknown file extension \"gif\"\n");
  EXPECT_TRUE(folder.Names().empty());
}

TEST(Executable, AFolderThatRefusesNewFilesIsNamedInTheErrorLineAndItsFileStays) {
  TempFolder folder;
  fs::create_directory(folder / "locked");
  WriteBytes(folder / "locked/pic.png", "earlier picture");
  fs::permissions(folder / "locked", fs::perms::owner_write, fs::perm_options::remove);
  const TRun run = RunExecutable({"-o", "locked/pic.png", "--steps", "1000", "--quiet"}, folder.Path(), false, true);
  fs::permissions(folder / "locked", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "ovel-ifs-render: error: Cannot create file \"locked/pic.png\": Permission denied\n");
  EXPECT_EQ(ReadBytes(folder / "locked/pic.png"), "earlier picture");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "locked"), fs::directory_iterator()), 1);
}

TEST(Executable, ParameterFileMessagesAreWarnings) {
  TempFolder folder;
  WriteBytes(folder / "short.ifs", "Ovel-IFS v0.005\r\n");
  const TRun run = RunExecutable({"short.ifs", "-o", "x.png"}, folder.Path());
  EXPECT_EQ(run.status, 1) << "a file that selects nothing cannot be drawn";
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 124);
  EXPECT_EQ(run.err.rfind("ovel-ifs-render: warning: Missing variable in parameter file: short.ifs using defaults\n", 0),
            0u);
  EXPECT_NE(run.err.find("ovel-ifs-render: error: the parameter set selects nothing to draw"), std::string::npos);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"short.ifs"});
}

TEST(Executable, ShowsAProgressBarOnlyWhenStandardErrorIsATerminal) {
  TempFolder folder;
  const TRun run = RunExecutable({"-o", "x.bmp", "--steps", "300000", "--seed", "1"}, folder.Path(), true);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("\r["), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("100%"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("rendered 300000 steps in "), std::string::npos) << run.err;

  const TRun piped = RunExecutable({"-o", "x.bmp", "--steps", "300000", "--seed", "1"}, folder.Path());
  EXPECT_EQ(piped.err.find('\r'), std::string::npos);
  EXPECT_TRUE(std::regex_match(piped.err, kSummaryLine)) << piped.err;
}
