// The frame's Edit menu: undo and redo of the active window's parameter set. Each window keeps its own stack;
// the menu names the step it would undo or redo and is enabled only when there is one.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QUndoStack>

#include "shell/main_form.h"
#include "windows/childwin.h"
#include "services/command_guard.h"

namespace {
const QString kUndoCaption = QStringLiteral("&Undo");
const QString kRedoCaption = QStringLiteral("&Redo");
}  // namespace

void TMainForm::CreateEditMenu() {
  EditUndoItem = new QAction(kUndoCaption, this);
  EditUndoItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  EditUndoItem->setStatusTip(QStringLiteral("Undo the last change of the window's parameters and draw"));
  connect(EditUndoItem, &QAction::triggered, this, Guarded(services_, this, [this] { EditUndoItemClick(); }));

  EditRedoItem = new QAction(kRedoCaption, this);
  EditRedoItem->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  EditRedoItem->setStatusTip(QStringLiteral("Redo the change undone last and draw"));
  connect(EditRedoItem, &QAction::triggered, this, Guarded(services_, this, [this] { EditRedoItemClick(); }));

  // After File; the active window's menus go in after it, before Window.
  Edit1 = new QMenu(QStringLiteral("&Edit"), this);
  Edit1->menuAction()->setStatusTip(QStringLiteral("Undo and redo"));
  Edit1->addActions({EditUndoItem, EditRedoItem});
  menuBar()->insertMenu(Window1->menuAction(), Edit1);
}

void TMainForm::UpdateEditMenu() {
  TMDIChild* child = ActiveChild();
  const QUndoStack* stack = child ? child->UndoStack() : nullptr;
  const bool canUndo = stack && stack->canUndo();
  const bool canRedo = stack && stack->canRedo();
  EditUndoItem->setEnabled(canUndo);
  EditUndoItem->setText(canUndo ? kUndoCaption + QLatin1Char(' ') + stack->undoText() : kUndoCaption);
  EditRedoItem->setEnabled(canRedo);
  EditRedoItem->setText(canRedo ? kRedoCaption + QLatin1Char(' ') + stack->redoText() : kRedoCaption);
}

void TMainForm::WatchUndoStack(TMDIChild* child) {
  // The window is the connections' context: they go with it, before its stack tells of its own end.
  const auto update = Guarded(services_, this, [this] { UpdateMenuItems(); });
  connect(child->UndoStack(), &QUndoStack::indexChanged, child, update);
  connect(child->UndoStack(), &QUndoStack::undoTextChanged, child, update);
  connect(child->UndoStack(), &QUndoStack::redoTextChanged, child, update);
}

void TMainForm::EditUndoItemClick() {
  TMDIChild* child = ActiveChild();
  if (child == nullptr) return;
  // A Rand still waiting for the frame timer is the step being undone: it must not draw afterwards.
  if (!modeWord_.IsNew()) Timer1->stop();
  child->Undo();
}

void TMainForm::EditRedoItemClick() {
  if (TMDIChild* child = ActiveChild()) child->Redo();
}
