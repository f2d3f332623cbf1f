// A seeded random-command driver of the real frame. It issues commands a user can give (menus, toolbar buttons
// clicked and triggered, shortcuts, presets, sizes from the menu and typed ones, good and bad, zooms by drag,
// double click and popup, Stop, Apply, Rand, Reset, edits in the three tool dialogs, new, closed and switched
// windows, Save As and Load in a temporary folder, the modal dialogs, Exit) from the event loop, a few
// milliseconds apart, so that most of them arrive while a render pass draws and many start passes nested in
// passes. Between commands it checks that every window's picture, record and hit lists agree.
//
// Every command is logged, with its raw arguments, before it runs. A failed check, a sanitizer report and a
// crashing signal print the seed and that log to stderr; the log read back (OVEL_STRESS_REPLAY) issues the same
// commands with the same delays. The seed alone gives the same draws. Which commands arrive inside which pass
// depends on timing, so a fault that needs a particular nesting may take a few runs, or a shorter log, to recur.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "files/file_options.h"
#include "windows/window_test_support.h"

class TMainForm;
class TMDIChild;
class QDialog;
class QWidget;

struct TStressOptions {
  std::uint64_t seed = 8008;
  std::int64_t commands = 2000;
  // A log printed by an earlier run (lines "stress-cmd ..."); when set, its commands are issued instead of draws.
  QString replayFile;
  // Passes running at once (all windows) or commands nested in commands: at this depth the next command is Stop.
  int maxDepth = 5;
  // New is not issued beyond this many windows: every window keeps its picture and lists until the frame goes.
  int maxWindows = 6;
  // "Use all processor cores" in every frame of the run: passes draw with parallel orbits on worker threads, or
  // with the single orbit on the GUI thread. The Options dialog's commands leave it alone.
  bool useAllCores = false;
};

struct TStressReport {
  bool ok = false;
  std::string failure;  // what went wrong; empty when ok
  std::int64_t issued = 0;
  std::int64_t duringPass = 0;  // issued while at least one pass ran
  std::int64_t nested = 0;      // issued while two or more passes ran
  int deepest = 0;              // most passes running at once when a command was issued
  int frames = 0;               // frames built (one more after every Exit)
  double seconds = 0;
  std::map<std::string, std::int64_t> counts;  // commands issued, by name
  std::map<QString, int> messages;             // message boxes, by text with its numbers left out
};

class TFrameStress : public QObject {
 public:
  explicit TFrameStress(TStressOptions options);
  ~TFrameStress() override;

  // Builds a frame, issues the commands, then stops every pass, waits until all have ended and checks the
  // windows and that the frame still opens a window and draws in it. Runs the application's event loop.
  TStressReport Run();

  // A replay issues every command of its file.
  const TStressOptions& Options() const { return options_; }

  // "stress-seed ..." and one "stress-cmd ..." line per command issued so far.
  std::string Transcript() const;

  // Options from OVEL_STRESS_SEED, OVEL_STRESS_COMMANDS and OVEL_STRESS_REPLAY over the given defaults.
  static TStressOptions FromEnvironment(TStressOptions defaults);

  // Writes the seed, the phase and the log to fd using only write(2); for crash handlers.
  void WriteCrashReport(int fd, const char* cause) const;

 private:
  static constexpr int kArgCount = 4;
  using TArgs = std::array<std::uint32_t, kArgCount>;

  struct TCommand {
    const char* name;
    int weight;
    std::function<void(const TArgs&)> run;
  };

  struct TDraw {
    int delayMs = 0;
    int command = 0;
    TArgs args{};
  };

  void DefineCommands();
  void Add(const char* name, int weight, std::function<void(const TArgs&)> run);

  // Event-loop side.
  void BuildFrame();
  void ScheduleTick(int delayMs);
  void Tick();
  bool NextDraw(TDraw& draw);
  void Issue(TDraw draw);
  void Note(const std::string& text);
  void Fail(const std::string& what);
  void BeginFinish();
  void FinishTick();

  // Checks.
  std::string CheckWindows(bool idle) const;
  std::string CheckMessages();
  std::string CheckFrameAnswers();

  // State of the frame.
  TMDIChild* Active() const;
  TMDIChild* MenuWindow() const;
  QList<TMDIChild*> Windows() const;
  int RunningPasses() const;
  bool AllIdle() const;

  // Input through the window system where the widget can be seen, directly otherwise.
  enum class TMouse { Click, DoubleClick, Press, Move, Release, RightClick };
  void Mouse(QWidget* target, QPoint local, TMouse action);
  QRect ShownArea(const QWidget* target) const;
  bool SeenOnScreen(const QWidget* target) const;
  QPoint PointIn(const QWidget* target, std::uint32_t a, std::uint32_t b) const;
  void Key(int key, int modifiers);
  void ClickButton(QWidget* button);
  // Shows a hidden tool dialog the way the user does, from the toolbar or the window's menu.
  void OpenToolWindow(QWidget* dialog);
  // Replaces an edit's text by typing, or sets it when the edit cannot be seen.
  void Type(QWidget* edit, const QString& text);

  // Seams: answers the next file dialog / warning / modal dialog according to the command being issued.
  void InstallSeams();
  void RemoveSeams();
  int RunModal(QDialog& dialog);
  QString SavePath(const TArgs& a, int& filterIndex) const;
  QString LoadPath(const TArgs& a);

  TStressOptions options_;
  std::mt19937_64 rng_;
  std::vector<TCommand> commands_;
  std::deque<std::string> log_;
  std::vector<TDraw> replay_;
  std::size_t replayNext_ = 0;

  std::unique_ptr<TMainForm> frame_;
  std::unique_ptr<QTemporaryDir> folder_;
  long double savedGamma_ = 0;

  std::int64_t issued_ = 0;
  int issueDepth_ = 0;
  int modalDepth_ = 0;
  int forcedStopsInARow_ = 0;
  bool finishing_ = false;
  bool failed_ = false;
  bool exitIssued_ = false;
  qsizetype messagesSeen_ = 0;
  std::int64_t startedMs_ = 0;
  std::int64_t finishStartMs_ = 0;
  std::int64_t exitSeenMs_ = 0;
  std::int64_t modalSeenMs_ = 0;
  std::int64_t modalUntilMs_ = 0;
  const char* phase_ = "not started";
  std::vector<std::size_t> current_;  // log entries of the commands running now, innermost last

  TMessageSink previousSink_;
  TArgs dialogArgs_{};  // the arguments of the command that opens a file, warning or modal dialog
  bool dialogArgsSet_ = false;

  TStressReport report_;
};
