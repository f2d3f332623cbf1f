#include "frame_stress.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QToolBar>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sstream>

#include "dialogs/about_box.h"
#include "dialogs/coefficients_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/size_dialog.h"
#include "shell/frame_settings.h"
#include "dialogs/spin_edit.h"
#include "engine/formula.h"
#include "files/param_file.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "windows/childwin.h"
#include "services/services.h"
#include "windows/window_test_support.h"
#include "windows/window_text.h"
#include "windows/child_probe.h"

// Present when a sanitizer runtime is linked: it calls back after printing its report, before the process dies.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

// --- Crash reports ----------------------------------------------------------------------------------------------

TFrameStress* g_stress = nullptr;
std::atomic<bool> g_reported{false};
struct sigaction g_previous[NSIG];
bool g_installed[NSIG] = {};

const char* SignalName(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGABRT: return "SIGABRT";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGALRM: return "SIGALRM (the run took too long: a hang?)";
    default: return "signal";
  }
}

void ReportOnce(const char* cause) {
  if (g_stress != nullptr && !g_reported.exchange(true)) g_stress->WriteCrashReport(STDERR_FILENO, cause);
}

void OnSanitizerDeath() { ReportOnce("sanitizer report above"); }

void OnFatalSignal(int sig, siginfo_t*, void*) {
  ReportOnce(SignalName(sig));
  // The signal is blocked while this handler runs: raised again it reaches the previous disposition (the
  // default, or a sanitizer's handler) once this one returns; a fault in the code re-faults into it as well.
  sigaction(sig, &g_previous[sig], nullptr);
  raise(sig);
}

// SIGABRT (stack protector, failed assertions, std::terminate) is chained in front of whatever was there. The
// faults are taken only when nobody handles them: a sanitizer that does reports them and calls the death callback.
// SIGALRM is the watchdog of a run that hangs.
// Every sanitizer runtime keeps its own death callback: GCC links ASan and UBSan as two shared libraries, so the
// one the weak symbol finds is not enough. A runtime linked into the program is covered by the weak symbol.
void SetDeathCallbacks(void (*callback)()) {
  if (&__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(callback);
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        if (info->dlpi_name == nullptr || std::strstr(info->dlpi_name, "san.so") == nullptr) return 0;
        if (void* library = dlopen(info->dlpi_name, RTLD_NOLOAD | RTLD_LAZY)) {
          using TSetter = void (*)(void (*)());
          if (auto set = reinterpret_cast<TSetter>(dlsym(library, "__sanitizer_set_death_callback")))
            set(reinterpret_cast<void (*)()>(data));
          dlclose(library);
        }
        return 0;
      },
      reinterpret_cast<void*>(callback));
}

void InstallCrashHandlers(TFrameStress* stress, unsigned watchdogSeconds) {
  g_stress = stress;
  g_reported = false;
  SetDeathCallbacks(&OnSanitizerDeath);
  for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGALRM}) {
    struct sigaction previous {};
    sigaction(sig, nullptr, &previous);
    const bool taken = (previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_DFL;
    if (taken && sig != SIGABRT) continue;
    struct sigaction action {};
    action.sa_sigaction = &OnFatalSignal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, &g_previous[sig]);
    g_installed[sig] = true;
  }
  alarm(watchdogSeconds);
}

void RemoveCrashHandlers() {
  alarm(0);
  for (int sig = 0; sig < NSIG; ++sig) {
    if (!g_installed[sig]) continue;
    sigaction(sig, &g_previous[sig], nullptr);
    g_installed[sig] = false;
  }
  SetDeathCallbacks(nullptr);
  g_stress = nullptr;
}

void WriteText(int fd, const char* text, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, text, length);
    if (written <= 0) return;
    text += written;
    length -= static_cast<std::size_t>(written);
  }
}
void WriteText(int fd, const char* text) { WriteText(fd, text, std::strlen(text)); }
void WriteNumber(int fd, std::uint64_t value) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  char text[24];
  for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  WriteText(fd, text, static_cast<std::size_t>(n));
}

// --- Tables ----------------------------------------------------------------------------------------------------

std::int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Typed picture sizes: refused ones, the boundaries, and text that is no number. 8192 itself is left out on
// purpose: its three 8192 x 8192 hit lists take 800 MB, which a shared test machine cannot spare.
const char* const kBadSizeTexts[] = {"",    "0",    "-7",  "1",          "8193", "100000",
                                     "abc", "12.5", " 64", "2147483648", "1e3",  "0x40"};

const char* const kBadCoefficientTexts[] = {"",    "abc", "1e308",     "-1e308", "1e-320", "nan",
                                            "inf", "0,5", "123456789", "-0",     "--1",    "1e30"};

const char* const kOptionTexts[] = {"",    "0",   "1",   "-1",  "75",         "100", "101", "300",
                                    "abc", "2.2", "0,5", "1e9", "2147483648", "-0",  "72",  "65535"};

// What a parameter file line can be made to say.
const char* const kHostileLines[] = {
    "",  "0",  "-0",  "1E308",      "-1E308", "4.9E-324", "NAN", "INF", "abc", "99999999999999999999",
    "1", "-1", "0.5", "2147483648", "1E-300", "-2"};

const char* const kExtensions[] = {"bmp", "jpg", "pbm", "pgm", "png", "ppm", "tga", "tif"};

struct TKeyPress {
  int key;
  int modifiers;
  const char* name;
};
// The frame's shortcuts except New and Exit, which are their own commands.
const TKeyPress kKeys[] = {{Qt::Key_Escape, 0, "Esc"},
                           {Qt::Key_Period, Qt::ControlModifier, "Ctrl+."},
                           {Qt::Key_F5, 0, "F5"},
                           {Qt::Key_R, Qt::ControlModifier, "Ctrl+R"},
                           {Qt::Key_F2, 0, "F2"},
                           {Qt::Key_F3, 0, "F3"},
                           {Qt::Key_S, Qt::ControlModifier, "Ctrl+S"},
                           {Qt::Key_O, Qt::ControlModifier, "Ctrl+O"}};

QString SizeText(std::uint32_t choice, std::uint32_t value) {
  const std::uint32_t k = choice % 48;
  if (k < std::size(kBadSizeTexts)) return QString::fromLatin1(kBadSizeTexts[k]);
  if (k < 20) return QString::number(1 + value % 1280);
  return QString::number(16 + value % 640);
}

QString CoefficientText(std::uint32_t choice, std::uint32_t value) {
  const std::uint32_t k = choice % 36;
  if (k < std::size(kBadCoefficientTexts)) return QString::fromLatin1(kBadCoefficientTexts[k]);
  const double number = (static_cast<double>(value % 4001) - 2000.0) / 1000.0;
  return QString::number(number, 'f', 3).replace(QLatin1Char('.'), UserDecimalPoint());
}

std::string Quoted(const QString& text) { return '"' + text.toStdString() + '"'; }

}  // namespace

// --- Set-up ----------------------------------------------------------------------------------------------------

TFrameStress::TFrameStress(TStressOptions options) : options_(std::move(options)), rng_(options_.seed) {
  DefineCommands();
  if (!options_.replayFile.isEmpty()) {
    QFile file(options_.replayFile);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
      while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).section(QLatin1Char(';'), 0, 0);
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const int at = static_cast<int>(words.indexOf(QStringLiteral("stress-cmd")));
        if (at < 0 || words.size() < at + 4 + kArgCount) continue;
        TDraw draw;
        draw.delayMs = words[at + 2].mid(1).toInt();
        const std::string name = words[at + 3].toStdString();
        draw.command = -1;
        for (std::size_t c = 0; c < commands_.size(); ++c)
          if (name == commands_[c].name) draw.command = static_cast<int>(c);
        if (draw.command < 0) continue;
        for (int i = 0; i < kArgCount; ++i) draw.args[i] = words[at + 4 + i].toUInt();
        replay_.push_back(draw);
      }
    }
    options_.commands = static_cast<std::int64_t>(replay_.size());
  }
}

TFrameStress::~TFrameStress() {
  if (g_stress == this) RemoveCrashHandlers();
}

TStressOptions TFrameStress::FromEnvironment(TStressOptions defaults) {
  bool ok = false;
  const qulonglong seed = qEnvironmentVariable("OVEL_STRESS_SEED").toULongLong(&ok);
  if (ok) defaults.seed = seed;
  const qlonglong commands = qEnvironmentVariable("OVEL_STRESS_COMMANDS").toLongLong(&ok);
  if (ok && commands > 0) defaults.commands = commands;
  defaults.replayFile = qEnvironmentVariable("OVEL_STRESS_REPLAY");
  return defaults;
}

void TFrameStress::Add(const char* name, int weight, std::function<void(const TArgs&)> run) {
  commands_.push_back({name, weight, std::move(run)});
}

// --- The commands ------------------------------------------------------------------------------------------------

void TFrameStress::DefineCommands() {
  auto trigger = [this](const char* action) {
    return [this, action](const TArgs&) { Control<QAction>(*frame_, action)->trigger(); };
  };

  // Toolbar, by its actions. Stop is frequent so that passes stay short.
  Add("Stop", 70, trigger("AbortButton"));
  Add("Reset", 20, trigger("CoolSpeedButton3"));
  Add("Params", 15, trigger("CoolSpeedButton5"));
  Add("Apply", 45, trigger("ApplyButton"));
  Add("Rand", 35, trigger("CoolSpeedButton1"));
  Add("Const", 15, trigger("CButton"));
  // Only issued when passes pile up and the active window is not the one drawing: each window's Stop in turn.
  Add("StopAllWindows", 0, [this](const TArgs&) {
    for (TMDIChild* w : Windows()) w->Abort();
  });
  // Toolbar buttons clicked with the mouse.
  Add("ToolButton", 35, [this](const TArgs& a) {
    QAction* actions[] = {Control<QAction>(*frame_, "CoolSpeedButton3"), Control<QAction>(*frame_, "AbortButton"),
                          Control<QAction>(*frame_, "CoolSpeedButton5"), Control<QAction>(*frame_, "ApplyButton"),
                          Control<QAction>(*frame_, "CoolSpeedButton1"), Control<QAction>(*frame_, "CButton")};
    QAction* action = actions[a[0] % std::size(actions)];
    Note(action->text().toStdString());
    ClickButton(Control<QToolBar>(*frame_, "ToolBar")->widgetForAction(action));
  });
  Add("Key", 60, [this](const TArgs& a) {
    const TKeyPress& k = kKeys[a[0] % std::size(kKeys)];
    Note(k.name);
    if (a[1] % 2 && QGuiApplication::focusWindow() != frame_->windowHandle()) {
      // The user brings the frame to the front before pressing the key; otherwise it goes to a tool window.
      frame_->activateWindow();
      Note(QTest::qWaitForWindowActive(frame_.get(), 200) ? "frame activated" : "frame not activated");
    }
    Key(k.key, k.modifiers);
  });

  // File menu.
  Add("New", 15, [this](const TArgs& a) {
    if (a[1] % 2) {
      Note("Ctrl+N");
      Key(Qt::Key_N, Qt::ControlModifier);
    } else {
      Control<QAction>(*frame_, "FileNewItem")->trigger();
    }
  });
  Add("Open", 3, trigger("FileOpenItem"));
  Add("Close", 12, [this](const TArgs& a) {
    if (a[0] % 3 == 0) {
      // The close box in the window's title bar.
      if (TMDIChild* w = Active()) w->close();
      Note("close box");
    } else {
      Control<QAction>(*frame_, "FileCloseItem")->trigger();
    }
  });
  Add("SaveAs", 15, [this](const TArgs& a) {
    if ((a[3] >> 8) % 2) {
      Note("Ctrl+S");
      Key(Qt::Key_S, Qt::ControlModifier);
    } else {
      Control<QAction>(*frame_, "FileSaveAsItem")->trigger();
    }
  });
  Add("Load", 15, [this](const TArgs& a) {
    if ((a[3] >> 8) % 2) {
      Note("Ctrl+O");
      Key(Qt::Key_O, Qt::ControlModifier);
    } else {
      Control<QAction>(*frame_, "LoadFromParameterFile1")->trigger();
    }
  });
  Add("FileOptions", 6, trigger("JPGFileOptions1"));
  Add("About", 4, trigger("HelpAboutItem"));
  Add("Exit", 2, [this](const TArgs& a) {
    if (a[0] % 2) {
      Note("Ctrl+Q");
      Key(Qt::Key_Q, Qt::ControlModifier);
    } else {
      Control<QAction>(*frame_, "FileExitItem")->trigger();
    }
  });

  // Window menu and switching windows.
  Add("Cascade", 6, trigger("WindowCascadeItem"));
  Add("Tile", 6, trigger("WindowTileItem"));
  Add("ArrangeIcons", 5, trigger("WindowArrangeItem"));
  Add("MinimizeAll", 4, trigger("WindowMinimizeItem"));
  Add("WindowMenu", 25, [this](const TArgs& a) {
    // What opening the Window menu does before it shows, then one of the windows listed at its end.
    frame_->UpdateWindowMenu();
    QList<QAction*> listed;
    bool afterSeparator = false;
    for (QAction* action : Control<QMenu>(*frame_, "Window1")->actions()) {
      if (action->isSeparator())
        afterSeparator = true;
      else if (afterSeparator)
        listed.append(action);
    }
    if (listed.isEmpty()) {
      Note("no windows listed");
      return;
    }
    QAction* chosen = listed[static_cast<qsizetype>(a[0] % listed.size())];
    Note(Quoted(chosen->text()));
    chosen->trigger();
  });
  Add("ActivateClick", 20, [this](const TArgs& a) {
    const QList<TMDIChild*> windows = Windows();
    if (windows.isEmpty()) return;
    TMDIChild* w = windows[static_cast<qsizetype>(a[0] % windows.size())];
    Note("window " + std::to_string(a[0] % windows.size()));
    if (SeenOnScreen(w->StatusBar())) {
      Mouse(w->StatusBar(), PointIn(w->StatusBar(), 500, 500), TMouse::Click);
    } else {
      // Minimised: its status bar is not on the screen; the user picks it from the Window menu instead.
      Note("from the Window menu");
      if (w->isMinimized()) w->showNormal();
      Control<QMdiArea>(*frame_, "MdiArea")->setActiveSubWindow(w);
    }
  });

  // Any entry of the menu bar, with the mouse: the title opens its menu, a click on the entry runs it, inside the
  // menu's own mouse handling.
  Add("MenuClick", 120, [this](const TArgs& a) {
    QMenuBar* bar = frame_->menuBar();
    QList<QAction*> titles;
    for (QAction* title : bar->actions())
      if (title->menu() && title->isVisible()) titles.append(title);
    if (titles.isEmpty()) return;
    QAction* title = titles[static_cast<qsizetype>(a[0] % titles.size())];
    Note(title->text().toStdString());
    Mouse(bar, bar->actionGeometry(title).center(), TMouse::Click);
    QMenu* menu = title->menu();
    if (QApplication::activePopupWidget() != menu || !menu->windowHandle()) {
      Note("did not open");
      return;
    }
    QList<QAction*> entries;
    for (QAction* entry : menu->actions())
      if (!entry->isSeparator() && entry->isVisible()) entries.append(entry);
    if (entries.isEmpty()) return;
    QAction* entry = entries[static_cast<qsizetype>(a[1] % entries.size())];
    Note("> " + entry->text().toStdString() + (entry->isEnabled() ? "" : " (disabled)"));
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    // A disabled entry leaves the menu open, as it does for the user; the next click elsewhere closes it.
  });

  // The fractal window's menus in the menu bar, by their actions (the keyboard's way into them); the mouse's way
  // is MenuClick above, which users take far more often.
  Add("Size", 20, [this](const TArgs& a) {
    TMDIChild* w = MenuWindow();
    if (!w) return;
    const std::size_t k = a[0] % kMenuSizes.size();
    Note(kMenuSizes[k].caption);
    w->Menus().sizeItems[k]->trigger();
  });
  Add("CustomSizeMenu", 4, [this](const TArgs&) {
    if (TMDIChild* w = MenuWindow()) w->Menus().CustomSize1->trigger();
  });
  Add("Mira", 30, [this](const TArgs& a) {
    TMDIChild* w = MenuWindow();
    if (!w) return;
    const std::size_t k = a[0] % w->Menus().miraItems.size();
    Note(std::to_string(k + 1));
    w->Menus().miraItems[k]->trigger();
  });
  Add("Latoocarfian", 5, [this](const TArgs&) {
    if (TMDIChild* w = MenuWindow()) w->Menus().Mira0113->trigger();
  });
  Add("IFS", 20, [this](const TArgs& a) {
    TMDIChild* w = MenuWindow();
    if (!w) return;
    const std::size_t k = a[0] % w->Menus().ifsItems.size();
    Note(std::to_string(k + 1));
    w->Menus().ifsItems[k]->trigger();
  });
  Add("Maps", 8, [this](const TArgs& a) {
    TMDIChild* w = MenuWindow();
    if (!w) return;
    Note(std::to_string(a[0] % 3 + 1) + "X");
    w->Menus().mapsItems[a[0] % 3]->trigger();
  });
  Add("ConstantsMenu", 3, [this](const TArgs&) {
    if (TMDIChild* w = MenuWindow()) w->Menus().ConstantsDialog1->trigger();
  });

  // The picture's popup menu, by its actions and by a real right click.
  Add("PopupZoom", 15, [this](const TArgs&) {
    if (TMDIChild* w = Active()) w->Menus().Zoom1->trigger();
  });
  Add("RectangleMode", 8, [this](const TArgs&) {
    if (TMDIChild* w = Active()) w->Menus().RectangleMode1->trigger();
  });
  Add("ClearRectangle", 6, [this](const TArgs&) {
    if (TMDIChild* w = Active()) w->Menus().ClearRectangle2->trigger();
  });
  Add("RightClick", 10, [this](const TArgs& a) {
    TMDIChild* w = Active();
    if (!w || !SeenOnScreen(w->PictureView()->PicBox())) {
      Note("picture not on screen");
      return;
    }
    QWidget* box = w->PictureView()->PicBox();
    Mouse(box, PointIn(box, a[0], a[1]), TMouse::RightClick);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!popup || !popup->windowHandle()) {
      Note("no popup");
      return;
    }
    const std::uint32_t choice = a[2] % 5;
    if (choice < 3) {
      QAction* items[] = {w->Menus().Zoom1, w->Menus().RectangleMode1, w->Menus().ClearRectangle2};
      Note("choose " + items[choice]->text().toStdString());
      QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {}, popup->actionGeometry(items[choice]).center());
    } else if (choice == 3) {
      Note("Esc");
      QTest::keyClick(popup->windowHandle(), Qt::Key_Escape);
    } else {
      Note("left open");
    }
  });

  // Undo and redo, by the Edit menu's actions and keys; the window's zooms and fit.
  Add("Undo", 30, trigger("EditUndoItem"));
  Add("Redo", 15, trigger("EditRedoItem"));
  Add("ZoomOut", 8, [this](const TArgs&) {
    if (TMDIChild* w = Active()) w->Menus().ZoomOut1->trigger();
  });
  Add("FitToWindow", 5, [this](const TArgs&) {
    if (TMDIChild* w = Active()) w->Menus().FitToWindow1->trigger();
  });

  // The mouse on the active window's picture.
  auto onPicture = [this](const char* what) -> QWidget* {
    TMDIChild* w = Active();
    if (!w || !SeenOnScreen(w->PictureView()->PicBox())) {
      Note(std::string(what) + ": picture not on screen");
      return nullptr;
    }
    return w->PictureView()->PicBox();
  };
  Add("Drag", 45, [this, onPicture](const TArgs& a) {
    QWidget* box = onPicture("drag");
    if (!box) return;
    const QPoint from = PointIn(box, a[0], a[1]);
    const QPoint to = PointIn(box, a[2], a[3]);
    Note("(" + std::to_string(from.x()) + "," + std::to_string(from.y()) + ")-(" + std::to_string(to.x()) + "," +
         std::to_string(to.y()) + ")");
    Mouse(box, from, TMouse::Press);
    Mouse(box, (from + to) / 2, TMouse::Move);
    Mouse(box, to, TMouse::Move);
    Mouse(box, to, TMouse::Release);
  });
  Add("DoubleClick", 25, [this, onPicture](const TArgs& a) {
    if (QWidget* box = onPicture("double click")) Mouse(box, PointIn(box, a[0], a[1]), TMouse::DoubleClick);
  });
  Add("Click", 20, [this, onPicture](const TArgs& a) {
    if (QWidget* box = onPicture("click")) Mouse(box, PointIn(box, a[0], a[1]), TMouse::Click);
  });
  Add("Wheel", 20, [this, onPicture](const TArgs& a) {
    QWidget* box = onPicture("wheel");
    if (!box) return;
    const QPoint at = PointIn(box, a[0], a[1]);
    const int notches = static_cast<int>(a[2] % 5) - 2;  // -2 .. 2, 0 leaves it to scrolling
    Note("(" + std::to_string(at.x()) + "," + std::to_string(at.y()) + ") " + std::to_string(notches));
    QWheelEvent event(QPointF(at), box->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &event);
  });
  Add("MouseMove", 12, [this, onPicture](const TArgs& a) {
    if (QWidget* box = onPicture("move")) Mouse(box, PointIn(box, a[0], a[1]), TMouse::Move);
  });

  // The tool dialogs, opened first as the user would open them: typed sizes (good, bad, not numbers), the size
  // dialog's own menu and Apply; the Parameters sliders and boxes; typed and stepped coefficients.
  Add("SizeTyped", 25, [this](const TArgs& a) {
    const QString width = SizeText(a[0], a[1]);
    const QString height = SizeText(a[2], a[3]);
    Note(Quoted(width) + " x " + Quoted(height));
    OpenToolWindow(Control<TXYSize>(*frame_, "XYSize"));
    Type(Control<TSpinEdit>(*frame_, "RxWidth"), width);
    Type(Control<TSpinEdit>(*frame_, "RxHeight"), height);
    ClickButton(Control<QPushButton>(*frame_, "CoolBtn1"));
  });
  Add("SizeDialogMenu", 8, [this](const TArgs& a) {
    TXYSize& s = *Control<TXYSize>(*frame_, "XYSize");
    QAction* items[] = {Control<QAction>(s, "N120by801"),  Control<QAction>(s, "N160by1201"),
                        Control<QAction>(s, "N320by2402"), Control<QAction>(s, "N400by3001"),
                        Control<QAction>(s, "N640by4801"), Control<QAction>(s, "N800by6001"),
                        Control<QAction>(s, "N1024by7681")};
    QAction* item = items[a[0] % std::size(items)];
    Note(item->text().toStdString());
    OpenToolWindow(&s);
    item->trigger();
    if (a[1] % 2) ClickButton(Control<QPushButton>(s, "CoolBtn1"));
  });
  Add("SizeApply", 6, [this](const TArgs&) {
    OpenToolWindow(Control<TXYSize>(*frame_, "XYSize"));
    ClickButton(Control<QPushButton>(*frame_, "CoolBtn1"));
  });
  Add("Slider", 35, [this](const TArgs& a) {
    TForm4& p = *Control<TForm4>(*frame_, "Form4");
    QSlider* sliders[] = {Control<QSlider>(p, "Intensity"),  Control<QSlider>(p, "RedBar1"),
                          Control<QSlider>(p, "GrnBar1"),    Control<QSlider>(p, "BluBar1"),
                          Control<QSlider>(p, "Randomizer"), Control<QSlider>(p, "Probability")};
    QSlider* slider = sliders[a[0] % std::size(sliders)];
    OpenToolWindow(&p);
    if (a[2] % 2 && SeenOnScreen(slider)) {
      // A click beside the handle: one page step towards it.
      Note("slider " + std::to_string(a[0] % std::size(sliders)) + " clicked");
      Mouse(slider, PointIn(slider, a[1], 500), TMouse::Click);
      return;
    }
    // The handle dragged; a little beyond either end is where the slider stops.
    const int value = static_cast<int>(a[1] % static_cast<std::uint32_t>(slider->maximum() + 3)) - 1;
    Note("slider " + std::to_string(a[0] % std::size(sliders)) + " = " + std::to_string(value));
    slider->setValue(value);
  });
  Add("CheckBox", 35, [this](const TArgs& a) {
    TForm4& p = *Control<TForm4>(*frame_, "Form4");
    QCheckBox* boxes[] = {Control<QCheckBox>(p, "square_root"),
                          Control<QCheckBox>(p, "Invert"),
                          Control<QCheckBox>(p, "Mira01"),
                          Control<QCheckBox>(p, "Latoocarfian01"),
                          Control<QCheckBox>(p, "Latoocarfian02"),
                          Control<QCheckBox>(p, "IFS_01"),
                          Control<QCheckBox>(p, "IFS_02"),
                          Control<QCheckBox>(p, "AT_01"),
                          Control<QCheckBox>(p, "AT_02"),
                          Control<QCheckBox>(p, "None"),
                          Control<QCheckBox>(p, "Linear"),
                          Control<QCheckBox>(p, "Sinusoidal"),
                          Control<QCheckBox>(p, "Spherical"),
                          Control<QCheckBox>(p, "Swirl"),
                          Control<QCheckBox>(p, "Horseshoe"),
                          Control<QCheckBox>(p, "Polar"),
                          Control<QCheckBox>(p, "Bent")};
    QCheckBox* box = boxes[a[0] % std::size(boxes)];
    Note(box->text().toStdString());
    OpenToolWindow(&p);
    ClickButton(box);
  });
  Add("CoefText", 30, [this](const TArgs& a) {
    const int k = static_cast<int>(a[0] % kDialogCoefficientCount) + 1;
    const QString text = CoefficientText(a[1], a[2]);
    Note("af[" + std::to_string(k) + "] " + Quoted(text));
    OpenToolWindow(Control<TCForm>(*frame_, "CForm"));
    Type(CoefficientEdit(*frame_, k), text);
  });
  Add("CoefStep", 10, [this](const TArgs& a) {
    const int k = static_cast<int>(a[0] % kDialogCoefficientCount) + 1;
    const int steps = static_cast<int>(a[1] % 7) - 3;
    Note("af[" + std::to_string(k) + "] " + std::to_string(steps) + " steps");
    OpenToolWindow(Control<TCForm>(*frame_, "CForm"));
    CoefficientEdit(*frame_, k)->stepBy(steps);
  });
}

// --- Input -------------------------------------------------------------------------------------------------------

QRect TFrameStress::ShownArea(const QWidget* target) const {
  // What can be seen of it: inside its parents and inside its top-level window.
  const QWidget* top = target->window();
  return target->visibleRegion().boundingRect() & QRect(target->mapFrom(top, QPoint(0, 0)), top->size());
}

bool TFrameStress::SeenOnScreen(const QWidget* target) const {
  return target && target->isVisible() && target->window()->windowHandle() != nullptr && !ShownArea(target).isEmpty();
}

QPoint TFrameStress::PointIn(const QWidget* target, std::uint32_t a, std::uint32_t b) const {
  QRect area = ShownArea(target);
  if (area.isEmpty()) area = target->rect();
  if (area.isEmpty()) return {};
  const int x = area.left() + static_cast<int>(static_cast<std::int64_t>(a % 1001) * (area.width() - 1) / 1000);
  const int y = area.top() + static_cast<int>(static_cast<std::int64_t>(b % 1001) * (area.height() - 1) / 1000);
  return {x, y};
}

void TFrameStress::Mouse(QWidget* target, QPoint local, TMouse action) {
  // Through the top-level window, as the window system delivers it: the event goes to whatever is at that spot.
  QWidget* top = target->window();
  QWindow* handle = top->windowHandle();
  const QPoint at = target->mapTo(top, local);
  switch (action) {
    case TMouse::Click: QTest::mouseClick(handle, Qt::LeftButton, {}, at); break;
    case TMouse::DoubleClick: QTest::mouseDClick(handle, Qt::LeftButton, {}, at); break;
    case TMouse::Press: QTest::mousePress(handle, Qt::LeftButton, {}, at); break;
    case TMouse::Move: QTest::mouseMove(handle, at); break;
    case TMouse::Release: QTest::mouseRelease(handle, Qt::LeftButton, {}, at); break;
    case TMouse::RightClick: QTest::mouseClick(handle, Qt::RightButton, {}, at); break;
  }
}

void TFrameStress::ClickButton(QWidget* button) {
  if (!button) return;
  if (SeenOnScreen(button)) {
    Mouse(button, PointIn(button, 500, 500), TMouse::Click);
  } else if (auto* b = qobject_cast<QAbstractButton*>(button)) {
    // A dialog that is not shown: its control changed as the program would change it.
    Note("(hidden)");
    b->click();
  }
}

void TFrameStress::OpenToolWindow(QWidget* dialog) {
  if (dialog->isVisible()) return;
  // The toolbar's Params and Const, and the window's Custom Size, show their dialog when it is hidden.
  if (dialog == Control<TForm4>(*frame_, "Form4")) {
    Control<QAction>(*frame_, "CoolSpeedButton5")->trigger();
  } else if (dialog == Control<TCForm>(*frame_, "CForm")) {
    Control<QAction>(*frame_, "CButton")->trigger();
  } else if (TMDIChild* w = MenuWindow()) {
    w->Menus().CustomSize1->trigger();
  }
  Note(dialog->isVisible() ? "opened " + Quoted(dialog->windowTitle())
                           : "could not open " + Quoted(dialog->windowTitle()));
}

void TFrameStress::Type(QWidget* edit, const QString& text) {
  auto* line = edit->findChild<QLineEdit*>();
  if (!line) return;
  if (!edit->isVisible()) {
    // Its dialog could not be opened (no window yet): the text is set as the program sets it.
    line->setText(text);
    return;
  }
  line->selectAll();
  QTest::keyClick(line, Qt::Key_Backspace);
  QTest::keyClicks(line, text);
}

void TFrameStress::Key(int key, int modifiers) {
  QWindow* target = QGuiApplication::focusWindow();
  if (!target) target = frame_->windowHandle();
  if (target != frame_->windowHandle()) Note("to " + Quoted(target->title()));
  QTest::keyClick(target, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
}

// --- Seams: file dialogs, warnings, modal dialogs ---------------------------------------------------------------

QString TFrameStress::SavePath(const TArgs& a, int& filterIndex) const {
  filterIndex = static_cast<int>(a[2] % std::size(kExtensions));
  const QString base = QStringLiteral("s%1").arg(a[1] % 4);
  switch (a[0] % 8) {
    case 0: return {};                       // cancelled
    case 4: return folder_->filePath(base);  // no extension: the filter's is added
    case 5: {                                // another format than the filter's
      const std::size_t other = (static_cast<std::size_t>(filterIndex) + 1 + a[3] % 7) % std::size(kExtensions);
      return folder_->filePath(base + QLatin1Char('.') + QLatin1String(kExtensions[other]));
    }
    case 6: return folder_->filePath(base + QStringLiteral(".ifs"));  // the picture in its own parameter file's place
    case 7: return folder_->filePath(QStringLiteral("missing/") + base + QStringLiteral(".bmp"));
    default: return folder_->filePath(base + QLatin1Char('.') + QLatin1String(kExtensions[filterIndex]));
  }
}

QString TFrameStress::LoadPath(const TArgs& a) {
  const QString saved = folder_->filePath(QStringLiteral("s%1.ifs").arg(a[1] % 4));
  switch (a[0] % 8) {
    case 0: return {};  // cancelled
    case 1:
    case 2: return saved;  // may not exist yet
    case 3: return folder_->filePath(QStringLiteral("nothing.ifs"));
    case 4: {
      // A saved parameter file (or the active window's record) with one line replaced, perhaps cut short there.
      std::string text;
      QFile base(saved);
      if (base.open(QIODevice::ReadOnly)) {
        text = base.readAll().toStdString();
      } else if (TMDIChild* w = Active()) {
        std::ostringstream out;
        const QString point = UserDecimalPoint();
        WriteParameterFile(out, w->Params(), point.isEmpty() ? '.' : point.front().toLatin1());
        text = out.str();
      }
      std::vector<std::string> lines;
      std::istringstream in(text);
      for (std::string line; std::getline(in, line);) lines.push_back(line);
      if (lines.empty()) lines.emplace_back();
      const std::size_t at = a[2] % lines.size();
      lines[at] = std::string(kHostileLines[a[3] % std::size(kHostileLines)]) + '\r';
      if ((a[3] >> 4) % 3 == 0) lines.resize(at + 1);
      std::string mutated;
      for (const std::string& line : lines) mutated += line + '\n';
      Note("line " + std::to_string(at + 1) + " = " + kHostileLines[a[3] % std::size(kHostileLines)]);
      const QString path = folder_->filePath(QStringLiteral("mutated.ifs"));
      QFile out(path);
      if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(mutated.data(), static_cast<qint64>(mutated.size()));
      return path;
    }
    case 5: {
      std::mt19937 bytes(a[2]);
      QByteArray junk;
      for (std::uint32_t i = 0; i < a[3] % 3000; ++i) junk.append(static_cast<char>(bytes() & 0xFF));
      const QString path = folder_->filePath(QStringLiteral("junk.ifs"));
      QFile out(path);
      if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) out.write(junk);
      return path;
    }
    case 6: {
      const QString path = folder_->filePath(QStringLiteral("empty.ifs"));
      QFile out(path);
      if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) out.close();
      return path;
    }
    default: return folder_->path();  // a folder, not a file
  }
}

void TFrameStress::InstallSeams() {
  TestServices().saveDialog = [this](QWidget*, const TFileDialogRequest&) {
    TFileDialogResult result;
    if (!dialogArgsSet_) return result;
    dialogArgsSet_ = false;
    result.fileName = SavePath(dialogArgs_, result.filterIndex);
    result.accepted = !result.fileName.isEmpty();
    Note(result.accepted ? "save " + QDir(folder_->path()).relativeFilePath(result.fileName).toStdString() +
                               " filter " + std::to_string(result.filterIndex)
                         : std::string("save cancelled"));
    return result;
  };
  TestServices().openDialog = [this](QWidget*, const TFileDialogRequest&) {
    TFileDialogResult result;
    if (!dialogArgsSet_) return result;
    dialogArgsSet_ = false;
    result.fileName = LoadPath(dialogArgs_);
    result.accepted = !result.fileName.isEmpty();
    Note(result.accepted ? "load " + QDir(folder_->path()).relativeFilePath(result.fileName).toStdString()
                         : std::string("load cancelled"));
    return result;
  };
  TestServices().warningAsker = [this](QWidget*, const QString&, const QString&, bool okCancel) {
    const bool ok = !okCancel || (dialogArgs_[3] >> 12) % 2 == 0;
    Note(ok ? "warning: OK" : "warning: Cancel");
    return ok;
  };
  TestServices().modalRunner = [this](QDialog& dialog) { return RunModal(dialog); };
  // Each box is also noted with the command that caused it.
  previousSink_ = std::exchange(TestServices().messageSink, [this](QWidget*, const QString& text) {
    RecordedMessages().append(text);
    Note("box " + Quoted(text.left(80)));
  });
}

void TFrameStress::RemoveSeams() {
  TestServices().saveDialog = {};
  TestServices().openDialog = {};
  TestServices().warningAsker = {};
  TestServices().modalRunner = {};
  TestServices().messageSink = previousSink_;
}

int TFrameStress::RunModal(QDialog& dialog) {
  const TArgs a = dialogArgsSet_ ? dialogArgs_ : TArgs{};
  dialogArgsSet_ = false;
  ++modalDepth_;
  dialog.setResult(QDialog::Rejected);
  // A modal dialog runs an event loop of its own: timers go on and may start passes meanwhile. The user's
  // commands wait (Tick), as the dialog's modality would make them.
  QElapsedTimer open;
  open.start();
  const int openMs = static_cast<int>(a[0] % 40);
  modalUntilMs_ = NowMs() + openMs;
  while (open.elapsed() < openMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  if (qobject_cast<TForm2*>(&dialog) != nullptr) {
    const QList<QLineEdit*> edits = dialog.findChildren<QLineEdit*>();
    if (!edits.isEmpty() && a[1] % 3 != 0) {
      QLineEdit* edit = edits[static_cast<qsizetype>(a[1] % edits.size())];
      edit->setText(QString::fromLatin1(kOptionTexts[a[2] % std::size(kOptionTexts)]));
      Note("option edit " + std::to_string(a[1] % edits.size()) + " = " + Quoted(edit->text()));
    }
    QList<QAbstractButton*> choices;
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
      if ((qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b)) &&
          b != Control<QCheckBox>(dialog, "UseAllCoresCB"))
        choices.append(b);
    if (!choices.isEmpty() && a[3] % 2) {
      QAbstractButton* b = choices[static_cast<qsizetype>((a[3] >> 1) % choices.size())];
      Note("option " + Quoted(b->text()));
      b->click();
    }
  }
  // OK checks the texts and may keep the dialog open; then the user cancels.
  if ((a[3] >> 8) % 3 != 0) dialog.accept();
  const bool accepted = dialog.result() == QDialog::Accepted;
  if (!accepted) dialog.reject();
  Note(accepted ? "OK" : "Cancel");
  --modalDepth_;
  return dialog.result();
}

// --- Frame state -------------------------------------------------------------------------------------------------

QList<TMDIChild*> TFrameStress::Windows() const { return frame_ ? frame_->Children() : QList<TMDIChild*>{}; }
TMDIChild* TFrameStress::Active() const { return frame_ ? frame_->ActiveChild() : nullptr; }
TMDIChild* TFrameStress::MenuWindow() const {
  if (!frame_) return nullptr;
  return frame_->MergedChild() ? frame_->MergedChild() : frame_->ActiveChild();
}

int TFrameStress::RunningPasses() const {
  int passes = 0;
  for (TMDIChild* w : Windows()) passes += w->PassDepth();
  return passes;
}

bool TFrameStress::AllIdle() const {
  for (TMDIChild* w : Windows())
    if (w->PassDepth() != 0 || w->IsFirstShowPending()) return false;
  return true;
}

// --- The run -------------------------------------------------------------------------------------------------------

void TFrameStress::BuildFrame() {
  // First, so that a tick still pending for the previous frame dies instead of driving this one while it is
  // built, outside the application's event loop.
  ++report_.frames;
  // The frame takes the drawing option from the settings, as at a start of the program.
  TestServices().OpenSettings()->setValue(settings_key::kUseAllCores, options_.useAllCores);
  frame_ = std::make_unique<TMainForm>(TestServices());
  if (frame_->DrawingOptions().useAllCores != options_.useAllCores)
    std::fprintf(stderr, "frame stress: the frame did not take the drawing option from the settings\n");
  frame_->show();
  frame_->activateWindow();
  // Shortcuts reach the frame only while it is the active window.
  if (!QTest::qWaitForWindowActive(frame_.get(), 2000))
    std::fprintf(stderr, "frame stress: the frame did not become the active window\n");
}

void TFrameStress::ScheduleTick(int delayMs) {
  // A timer of its own for every command: a Qt timer does not fire again while its own handler runs, and the
  // next command has to arrive inside the pass this one starts. Ticks of an earlier frame die with it.
  QTimer::singleShot(delayMs, this, [this, frames = report_.frames] {
    if (frames == report_.frames) Tick();
  });
}

bool TFrameStress::NextDraw(TDraw& draw) {
  if (!options_.replayFile.isEmpty()) {
    if (replayNext_ >= replay_.size()) return false;
    draw = replay_[replayNext_++];
    return true;
  }
  // Always the same number of draws per command, so that the seed alone fixes the sequence.
  int total = 0;
  for (const TCommand& c : commands_) total += c.weight;
  int pick = static_cast<int>(rng_() % static_cast<std::uint64_t>(total));
  draw.command = 0;
  for (std::size_t c = 0; c < commands_.size(); ++c) {
    if (pick < commands_[c].weight) {
      draw.command = static_cast<int>(c);
      break;
    }
    pick -= commands_[c].weight;
  }
  // The delay to the next command is mostly a few milliseconds. Now and then the user watches the picture grow
  // for a while, long enough for the progress timer (500 ms) to tick inside the passes; most often after picking
  // an entry from a menu, which is how a new picture is usually asked for.
  const std::uint64_t timing = rng_();
  const std::uint64_t kind = timing % 1000;
  const int spread = static_cast<int>((timing >> 10) % 3000);
  const bool fromMenu = std::strcmp(commands_[static_cast<std::size_t>(draw.command)].name, "MenuClick") == 0;
  if (kind < 2) {
    draw.delayMs = 1000 + spread;
  } else if (kind < (fromMenu ? 80u : 12u)) {
    draw.delayMs = 500 + spread % 500;
  } else {
    draw.delayMs = 1 + spread % 6;
  }
  for (auto& arg : draw.args) arg = static_cast<std::uint32_t>(rng_());
  return true;
}

void TFrameStress::Tick() {
  if (finishing_ || failed_ || !frame_) return;
  if (frame_->ExitRequested()) {
    // The user has asked to leave: the event loop must end once the passes have unwound; Run builds a new frame.
    if (exitSeenMs_ == 0) exitSeenMs_ = NowMs();
    if (NowMs() - exitSeenMs_ > 30000) {
      // The application refuses to quit while a top-level window other than a popup is still shown.
      std::string shown;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
          shown += std::string(" ") + w->metaObject()->className() + " " + Quoted(w->windowTitle()) + ",";
      return Fail("Exit has not ended the event loop within 30 s; shown:" + (shown.empty() ? " nothing" : shown));
    }
    ScheduleTick(50);
    return;
  }
  exitSeenMs_ = 0;
  // While a modal dialog is up the user's commands wait for it, as its modality makes them. A dialog whose
  // time is up has been answered: its event loop may still be on the stack under a pass started inside it.
  if (modalDepth_ > 0 && NowMs() < modalUntilMs_) {
    ScheduleTick(10);
    return;
  }
  if (QWidget* modal = QApplication::activeModalWidget()) {
    if (modalSeenMs_ == 0) modalSeenMs_ = NowMs();
    if (NowMs() - modalSeenMs_ > 10000)
      return Fail(std::string("a modal ") + modal->metaObject()->className() + " has shut out the user for 10 s" +
                  (RunningPasses() > 0 ? " while a pass runs inside it" : ""));
    ScheduleTick(10);
    return;
  }
  modalSeenMs_ = 0;
  if (std::string problem = CheckWindows(false); !problem.empty()) return Fail(problem);
  if (std::string problem = CheckMessages(); !problem.empty()) return Fail(problem);
  TDraw draw;
  if (issued_ >= options_.commands || !NextDraw(draw)) return BeginFinish();
  ScheduleTick(draw.delayMs);
  Issue(draw);
}

void TFrameStress::Issue(TDraw draw) {
  auto index = [this](const char* name) {
    for (std::size_t c = 0; c < commands_.size(); ++c)
      if (std::strcmp(commands_[c].name, name) == 0) return static_cast<int>(c);
    return 0;
  };
  const int passes = RunningPasses();
  std::string forced;
  if (options_.replayFile.isEmpty()) {
    if (std::max(passes, issueDepth_) >= options_.maxDepth) {
      // Too deep: Stop, or when the active window is not drawing, every window's Stop.
      TMDIChild* w = Active();
      draw.command = w && w->PassDepth() > 0 && forcedStopsInARow_ < 3 ? index("Stop") : index("StopAllWindows");
      forced = " (depth limit)";
      if (++forcedStopsInARow_ > 200) return Fail("200 Stops in a row have not ended the passes");
    } else {
      forcedStopsInARow_ = 0;
    }
    if (std::strcmp(commands_[draw.command].name, "New") == 0 &&
        Windows().size() >= static_cast<qsizetype>(options_.maxWindows)) {
      draw.command = index("WindowMenu");
      forced = " (window limit)";
    }
  }

  const TCommand& command = commands_[static_cast<std::size_t>(draw.command)];
  const QList<TMDIChild*> windows = Windows();
  const int active = static_cast<int>(windows.indexOf(Active()));
  std::ostringstream line;
  line << "stress-cmd " << issued_ << " +" << draw.delayMs << ' ' << command.name;
  for (std::uint32_t arg : draw.args) line << ' ' << arg;
  line << " ; passes " << passes << " nested " << issueDepth_ << " window " << active << '/' << windows.size()
       << forced;
  log_.push_back(line.str());

  ++issued_;
  ++report_.counts[command.name];
  if (passes > 0) ++report_.duringPass;
  if (passes > 1) ++report_.nested;
  report_.deepest = std::max(report_.deepest, passes);
  if (issued_ % 10000 == 0) {
    std::printf("frame stress: %lld commands, %lld s\n", static_cast<long long>(issued_),
                static_cast<long long>((NowMs() - startedMs_) / 1000));
    std::fflush(stdout);
  }

  current_.push_back(log_.size() - 1);
  dialogArgs_ = draw.args;
  dialogArgsSet_ = true;
  ++issueDepth_;
  try {
    command.run(draw.args);
  } catch (const std::exception& error) {
    Fail(std::string("the driver's command raised: ") + error.what());
  }
  --issueDepth_;
  dialogArgsSet_ = false;
  current_.pop_back();
}

void TFrameStress::Note(const std::string& text) {
  if (current_.empty()) return;
  std::string& line = log_[current_.back()];
  line += line.find(" : ") == std::string::npos ? " : " : ", ";
  line += text;
}

void TFrameStress::Fail(const std::string& what) {
  if (!failed_) {
    failed_ = true;
    report_.failure = what;
    std::fprintf(stderr, "\n=== frame stress: %s ===\n%s", what.c_str(), Transcript().c_str());
    std::fflush(stderr);
  }
  BeginFinish();
}

void TFrameStress::BeginFinish() {
  if (finishing_) return;
  finishing_ = true;
  phase_ = "stopping every pass after the last command";
  finishStartMs_ = NowMs();
  auto* timer = new QTimer(this);
  timer->setInterval(5);
  connect(timer, &QTimer::timeout, this, [this, timer] {
    if (!frame_) return;
    for (TMDIChild* w : Windows()) w->Abort();
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    const bool quiet = AllIdle() && issueDepth_ == 0 && modalDepth_ == 0 &&
                       !Control<QTimer>(*frame_, "Timer1")->isActive() && QApplication::activeModalWidget() == nullptr;
    if (quiet) {
      timer->stop();
      timer->deleteLater();
      // Not quit(): that closes the frame, which is the user's Exit.
      QCoreApplication::exit(0);
    } else if (NowMs() - finishStartMs_ > 30000 && !failed_) {
      Fail("the passes have not ended 30 s after Stop in every window");
    }
  });
  timer->start();
}

TStressReport TFrameStress::Run() {
  startedMs_ = NowMs();
  folder_ = std::make_unique<QTemporaryDir>();
  savedGamma_ = TPixelGraphic::DefaultGamma();
  RecordedMessages().clear();
  SeedEngineRandom(options_.seed);
  InstallSeams();
  InstallCrashHandlers(this, static_cast<unsigned>(180 + options_.commands / 10));

  phase_ = "issuing commands";
  for (;;) {
    BuildFrame();
    ScheduleTick(0);
    QApplication::exec();
    if (!frame_->ExitRequested() || finishing_) break;
    // The user's Exit: every pass has ended and the loop has unwound. The next frame goes on with the commands.
    phase_ = "destroying the frame after Exit";
    if (RunningPasses() != 0 && !failed_) Fail("passes still running after Exit ended the event loop");
    if (frame_->isVisible() && !failed_) Fail("the frame is still shown after Exit");
    frame_.reset();
    if (failed_) break;
    phase_ = "issuing commands";
  }

  // The checks after the run ask a frame that still answers: one the user had just left is replaced.
  if (!failed_ && frame_->ExitRequested()) {
    frame_.reset();
    BuildFrame();
  }
  if (!failed_) {
    phase_ = "checking after the run";
    if (std::string problem = CheckWindows(true); !problem.empty()) Fail(problem);
  }
  if (!failed_)
    if (std::string problem = CheckMessages(); !problem.empty()) Fail(problem);
  if (!failed_) {
    phase_ = "New and a drawing after the run";
    if (std::string problem = CheckFrameAnswers(); !problem.empty()) Fail(problem);
  }

  // Counted by kind: numbers and the temporary folder's name vary from box to box.
  static const QRegularExpression kNumbers(QStringLiteral("-?\\d+"));
  for (QString message : RecordedMessages())
    ++report_.messages
          [message.replace(folder_->path(), QStringLiteral("<tmp>")).replace(kNumbers, QStringLiteral("#")).left(110)];
  const QString logPath = qEnvironmentVariable("OVEL_STRESS_LOG");
  if (!logPath.isEmpty()) {
    QFile log(logPath);
    if (log.open(QIODevice::WriteOnly | QIODevice::Truncate)) log.write(QByteArray::fromStdString(Transcript()));
  }
  report_.issued = issued_;
  report_.ok = !failed_;
  report_.seconds = static_cast<double>(NowMs() - startedMs_) / 1000.0;

  phase_ = "destroying the frame after the run";
  if (frame_)
    for (TMDIChild* w : Windows()) w->Abort();
  frame_.reset();
  RemoveSeams();
  TPixelGraphic::SetDefaultGamma(savedGamma_);
  ReseedEngineRandomFromClock();
  RemoveCrashHandlers();
  return report_;
}

// --- Checks --------------------------------------------------------------------------------------------------------

std::string TFrameStress::CheckWindows(bool idle) const {
  const QList<TMDIChild*> windows = Windows();
  for (qsizetype i = 0; i < windows.size(); ++i) {
    const TMDIChild& w = *windows[i];
    if (w.IsFirstShowPending()) continue;
    const TFractalParams& v = w.Params();
    const std::string who = "window " + std::to_string(i) + ": ";
    if (v.image == nullptr) return who + "no picture";
    if (w.PictureView()->PixelGraphic() != v.image) return who + "the view shows another picture than the record's";
    if (v.image->Width() != v.imageWidth || v.image->Height() != v.imageHeight)
      return who + "picture " + std::to_string(v.image->Width()) + " x " + std::to_string(v.image->Height()) +
             ", record " + std::to_string(v.imageWidth) + " x " + std::to_string(v.imageHeight);
    if (v.plotWidth != v.imageWidth || v.plotHeight != v.imageHeight)
      return who + "plot size " + std::to_string(v.plotWidth) + " x " + std::to_string(v.plotHeight) +
             " differs from the image size";
    const std::size_t n = static_cast<std::size_t>(std::max(v.imageWidth, v.imageHeight));
    for (const THitList* list : {v.redList, v.greenList, v.blueList}) {
      if (list == nullptr) return who + "a hit list is missing";
      if (list->size() != n * n)
        return who + "a hit list holds " + std::to_string(list->size()) + " cells for N = " + std::to_string(n);
    }
    if (idle) {
      if (w.PassDepth() != 0) return who + "a pass is still running";
      if (!v.abort) return who + "idle but not stopped (abort is false)";
      if (w.ProgressTimerActive()) return who + "the progress timer still runs";
      if (w.windowTitle() != TMDIChildProbe::TitleText(w))
        return who + "caption " + Quoted(w.windowTitle()) + " is not the title " + Quoted(TMDIChildProbe::TitleText(w));
    }
  }
  return {};
}

std::string TFrameStress::CheckMessages() {
  // Errors that only a broken window can cause: a pass without a picture or with lists that do not fit it.
  static const char* const kFaults[] = {"hit-count lists", "no picture to draw into", "needs a parameter record",
                                        "unknown error", "Out of memory"};
  const QStringList& messages = RecordedMessages();
  for (; messagesSeen_ < messages.size(); ++messagesSeen_)
    for (const char* fault : kFaults)
      if (messages[messagesSeen_].contains(QLatin1String(fault), Qt::CaseInsensitive))
        return "error box: " + Quoted(messages[messagesSeen_]);
  return {};
}

std::string TFrameStress::CheckFrameAnswers() {
  const qsizetype before = Windows().size();
  Control<QAction>(*frame_, "FileNewItem")->trigger();
  if (Windows().size() != before + 1) return "New opened no window after the run";
  TMDIChild* w = Windows().back();
  if (!WaitUntil([w] { return FirstShowDone(*w); })) return "the new window never had its first show";
  if (Active() != w) return "the new window is not the active one";
  bool drew = false;
  When([w] { return Drawing(*w, 1, 2000); },
       [&] {
         drew = true;
         Control<QAction>(*frame_, "AbortButton")->trigger();
       },
       [w] { w->Abort(); });
  w->Menus().miraItems[0]->trigger();
  if (!drew) return "Martin 01 did not draw in a new window after the run";
  if (w->PassDepth() != 0) return "the pass in the new window did not end on Stop";
  const TPixelGraphic& picture = *w->Params().image;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      if ((picture.GetPixel(x, y) & 0xFFFFFF) != 0) return CheckWindows(true);
  return "the new window's picture stayed black after 2000 iterations";
}

// --- Transcript ------------------------------------------------------------------------------------------------------

std::string TFrameStress::Transcript() const {
  std::ostringstream out;
  out << "stress-seed " << options_.seed << " commands " << options_.commands << " phase \"" << phase_ << "\"\n";
  for (const std::string& line : log_) out << line << '\n';
  out << "To repeat: OVEL_STRESS_SEED=" << options_.seed << " OVEL_STRESS_COMMANDS=" << options_.commands
      << ", or these stress-cmd lines in a file named by OVEL_STRESS_REPLAY.\n";
  return out.str();
}

void TFrameStress::WriteCrashReport(int fd, const char* cause) const {
  WriteText(fd, "\n=== frame stress: ");
  WriteText(fd, cause);
  WriteText(fd, " ===\nstress-seed ");
  WriteNumber(fd, options_.seed);
  WriteText(fd, " commands ");
  WriteNumber(fd, static_cast<std::uint64_t>(options_.commands));
  WriteText(fd, " phase \"");
  WriteText(fd, phase_);
  WriteText(fd, "\"\n");
  for (const std::string& line : log_) {
    WriteText(fd, line.data(), line.size());
    WriteText(fd, "\n");
  }
  WriteText(fd, "Running when it happened (outermost first):");
  for (std::size_t entry : current_) {
    WriteText(fd, " ");
    WriteNumber(fd, entry);
  }
  WriteText(fd, "\nTo repeat: OVEL_STRESS_SEED=");
  WriteNumber(fd, options_.seed);
  WriteText(fd, ", or these stress-cmd lines in a file named by OVEL_STRESS_REPLAY.\n");
}
