// The "XYSize" tool window: where a picture size is typed or picked from its "Size" menu before the
// window applies it. The two spin edits are the place the size passes through: the window writes them
// (SetImageSize) and reads them (ImageWidth / ImageHeight) in its Resolution.
#pragma once

#include <QWidget>

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;
class TSpinEdit;

class TXYSize : public QWidget {
  Q_OBJECT

 public:
  explicit TXYSize(QWidget* parent = nullptr);

  void SetImageSize(int width, int height);
  // The edits' values as whole numbers; text that is not an integer reads as 0.
  int ImageWidth() const;
  int ImageHeight() const;
  // Whether the user is typing a size now, which the window must not overwrite.
  bool BeingEdited() const;

 signals:
  // "Apply" was pressed: the frame's TP01 resizes its active window to ImageWidth() x ImageHeight().
  void applySize();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TSpinEdit* RxWidth;
  TSpinEdit* RxHeight;
  QPushButton* CoolBtn1;  // "Apply"
  QMenuBar* MenuBar;
  QMenu* Size1;           // "Size"
  QAction* N120by801;
  QAction* N160by1201;
  QAction* N320by2402;
  QAction* N400by3001;
  QAction* N640by4801;
  QAction* N800by6001;
  QAction* N1024by7681;
};
