// The frame's controls under their members' names, the names they are known by outside the frame too. The toolbar
// and the render panel are named where they are made, since the remembered window state restores them by name.
#include "shell/main_form.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QTimer>

#include "dialogs/about_box.h"
#include "dialogs/coefficients_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/tool_window.h"
#include "shell/health_bar.h"
#include "shell/render_jobs.h"

void TMainForm::NameControls() {
  NameObjects({{MdiArea, "MdiArea"}, {AboutBox, "AboutBox"}, {Form2, "Form2"}, {Form4, "Form4"}, {XYSize, "XYSize"},
               {CForm, "CForm"}, {Timer1, "Timer1"}, {File1, "File1"}, {FileNewItem, "FileNewItem"},
               {FileOpenItem, "FileOpenItem"}, {FileCloseItem, "FileCloseItem"}, {FileSaveAsItem, "FileSaveAsItem"},
               {LoadFromParameterFile1, "LoadFromParameterFile1"}, {JPGFileOptions1, "JPGFileOptions1"},
               {SaveParametersAs1, "SaveParametersAs1"}, {SaveHitCounts1, "SaveHitCounts1"},
               {ContinueButton, "ContinueButton"}, {RenderToFile1, "RenderToFile1"}, {RenderJobs, "RenderJobs"},
               {FileExitItem, "FileExitItem"}, {Explore1, "Explore1"}, {MoreLikeThis1, "MoreLikeThis1"},
               {FrameSet1, "FrameSet1"}, {Edit1, "Edit1"}, {EditUndoItem, "EditUndoItem"},
               {EditRedoItem, "EditRedoItem"}, {Window1, "Window1"}, {WindowCascadeItem, "WindowCascadeItem"},
               {WindowTileItem, "WindowTileItem"}, {WindowArrangeItem, "WindowArrangeItem"},
               {WindowMinimizeItem, "WindowMinimizeItem"}, {Animation1, "Animation1"}, {Help1, "Help1"},
               {HelpAboutItem, "HelpAboutItem"},
               {OpenRecent1, "OpenRecent1"}, {ClearRecentList1, "ClearRecentList1"}, {HealthBar, "HealthBar"},
               {CoolSpeedButton3, "CoolSpeedButton3"}, {AbortButton, "AbortButton"},
               {CoolSpeedButton5, "CoolSpeedButton5"}, {ApplyButton, "ApplyButton"},
               {CoolSpeedButton1, "CoolSpeedButton1"}, {CButton, "CButton"}});
}
