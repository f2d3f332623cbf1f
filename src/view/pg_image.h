// TPGImage: the scrolling picture view that fills a fractal window. It shows a pixel image (its own or one a
// document keeps), centres a
// picture smaller than itself, scrolls a larger one, and keeps a selection rectangle in image pixels that the user
// draws, moves and resizes with the mouse.
//
// Use from a window:
//   auto picture = std::make_unique<TPixelGraphic>();
//   picture->SetSize(400, 300, TColorRes::Bits24);
//   TPixelGraphic* shown = picture.get();          // the view owns it from here on; do not delete it
//   PGImage1->SetPixelGraphic(std::move(picture)); // frees the picture shown before
//   shown->Changed();                              // or PGImage1->PictureChanged(): lays out and repaints
//   connect(PGImage1, &TPGImage::PicBoxOnMouseUp, this, &TMDIChild::PGImage1PicBoxOnMouseUp);
//   connect(PGImage1, &TPGImage::OnNewAutoSize, this, &TMDIChild::PGImage1NewAutoSize);
//
// Handlers connected to the signals may run long nested event loops (a render pass started from a double click);
// the view does not hold on to the image or to event data across an emission.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFlags>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <memory>

#include "image/pixel_graphic.h"

class QMenu;
class QTimer;
class QWheelEvent;

// What a left-button drag on the picture does.
enum class TActionMode {
  amMoveImage,                  // pans a picture larger than the view
  amMoveResizeCreateSelection,  // creates a selection; moves it when pressed inside; resizes it at a handle
  amMoveSelection,
  amMoveSelectionMoveImage,
  amCreateSelection,
  amNone
};

// Keys and mouse buttons held during a mouse event, and whether a press is the second press of a double click.
enum TShiftFlag : unsigned {
  ssShift = 0x01,
  ssAlt = 0x02,
  ssCtrl = 0x04,
  ssLeft = 0x08,
  ssRight = 0x10,
  ssMiddle = 0x20,
  ssDouble = 0x40
};
Q_DECLARE_FLAGS(TShiftState, TShiftFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

TShiftState ShiftStateOf(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons, bool doubleClick = false);

// The mouse operation in progress. The numbering is the order in which a press tests the handles.
enum class TDragState : int {
  dsIdle = 0,
  dsPan = 1,
  dsMoveSelection = 2,
  dsCreateSelection = 3,
  dsResizeTopLeft = 4,
  dsResizeTop = 5,
  dsResizeTopRight = 6,
  dsResizeLeft = 7,
  dsResizeRight = 8,
  dsResizeBottomLeft = 9,
  dsResizeBottom = 10,
  dsResizeBottomRight = 11
};

class TPGImage;

// The picture box: a child of the view's viewport with the size of the picture. It paints the picture and the
// selection frame and hands its mouse events to the view.
class TPicBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPicBox(TPGImage* view, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  TPGImage* view_;
};

class TPGImage : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kNoLimit = 2147483647;

  explicit TPGImage(QWidget* parent = nullptr);
  ~TPGImage() override;

  // --- The picture -------------------------------------------------------------------------------------------
  // The image shown; nullptr without one.
  TPixelGraphic* PixelGraphic() const { return image_; }
  // Adopts an image (or none), destroys the one shown so far if the view owned it, hooks the image's OnChange,
  // lays out and repaints.
  void SetPixelGraphic(std::unique_ptr<TPixelGraphic> image);
  // The same for an image its owner keeps (a fractal document): the owner shows its next image, or none, before
  // it frees this one.
  void ShowPixelGraphic(TPixelGraphic* image);
  // Lays out (firing OnNewAutoSize) and repaints from the pixel memory. This is what the image's Changed runs;
  // call either after the engine has written pixels.
  void PictureChanged();
  TPicBox* PicBox() const { return picBox_; }
  // Fit to window: a picture larger than the view is shown scaled down, whole, keeping its aspect; the picture
  // itself keeps its size, and the selection and the box-to-image conversions follow the scale. A picture that
  // fits is shown at its natural size either way. Off at creation.
  bool FitToWindow() const { return fitToWindow_; }
  void SetFitToWindow(bool fit);
  // Whether the picture is shown at another size than its own just now.
  bool PictureScaled() const;

  // --- Modes and look ----------------------------------------------------------------------------------------
  TActionMode ActionMode() const { return actionMode_; }
  void SetActionMode(TActionMode mode);
  bool Center() const { return center_; }
  void SetCenter(bool center);
  QColor Color() const { return color_; }  // around the picture
  void SetColor(const QColor& color);
  QColor PicBoxColor() const { return picBoxColor_; }  // the picture box while there is no picture
  void SetPicBoxColor(const QColor& color);
  QColor SelectionColor1() const { return selectionColor1_; }
  void SetSelectionColor1(const QColor& color);
  QColor SelectionColor2() const { return selectionColor2_; }
  void SetSelectionColor2(const QColor& color);
  // A right click on the picture or around it pops this menu up (not owned; nullptr for none).
  QMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

  // --- Automatic size: the bounds of the size that OnNewAutoSize reports --------------------------------------
  int AutoSizeMinWidth() const { return autoSizeMinWidth_; }
  int AutoSizeMaxWidth() const { return autoSizeMaxWidth_; }
  int AutoSizeMinHeight() const { return autoSizeMinHeight_; }
  int AutoSizeMaxHeight() const { return autoSizeMaxHeight_; }
  void SetAutoSizeMinWidth(int value);
  void SetAutoSizeMaxWidth(int value);
  void SetAutoSizeMinHeight(int value);
  void SetAutoSizeMaxHeight(int value);
  // When true the view also resizes itself to the reported size.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  // The size the view needs to show the current picture whole, within the bounds above.
  QSize NewAutoSize() const;

  // --- Selection, in image pixels --------------------------------------------------------------------------
  // Selection says whether the rectangle exists and is drawn; the rectangle keeps its values while it is false.
  bool Selection() const { return selection_; }
  void SetSelection(bool selection);
  int SelectionLeft() const { return selLeft_; }
  int SelectionTop() const { return selTop_; }
  int SelectionWidth() const { return selWidth_; }
  int SelectionHeight() const { return selHeight_; }
  void SetSelectionLeft(int value);
  void SetSelectionTop(int value);
  void SetSelectionWidth(int value);
  void SetSelectionHeight(int value);
  QRect SelectionRect() const { return QRect(selLeft_, selTop_, selWidth_, selHeight_); }
  void SetSelectionRect(const QRect& rect);  // one change, one OnSelectionChange
  // Animation phase 0..7 of the striped frame; advances every 50 ms while Selection is true.
  int SelectionPhase() const { return phase_; }

  // --- Coordinates and state ---------------------------------------------------------------------------------
  // Picture-box pixels to image pixels (integer division; 0 while the box or the image has no size), and back.
  QPoint PicBoxToImage(const QPoint& boxPoint) const;
  QPoint ImageToPicBox(const QPoint& imagePoint) const;
  TDragState DragState() const { return dragState_; }

  // --- Hint (pg_hint.cpp) --------------------------------------------------------------------------------------
  // A short text painted over the picture area, never into the picture: a saved picture does not contain it.
  // Empty for none. shortText stands in for it where the picture is too small to hold it.
  const QString& HintText() const { return hint_; }
  void SetHintText(const QString& text, const QString& shortText = {});

 signals:
  // After every layout of a changed picture: the outer size the view needs (bounded by the AutoSize limits).
  void OnNewAutoSize(int pgImageWidth, int pgImageHeight);
  // The rectangle or Selection changed.
  void OnSelectionChange();
  // A selection drag (create, move, resize) ended; emitted after PicBoxOnMouseUp.
  void OnSelectionMade();
  // Mouse over the picture box, in picture-box pixels. For a press and a move the view has handled the event
  // before these fire; PicBoxOnMouseUp fires before the view ends its drag.
  void PicBoxOnMouseDown(Qt::MouseButton button, TShiftState shift, int x, int y);
  void PicBoxOnMouseMove(TShiftState shift, int x, int y);
  void PicBoxOnMouseUp(Qt::MouseButton button, TShiftState shift, int x, int y);
  void PicBoxOnDblClick();
  // The wheel turned over the view without a modifier key: angleDelta in eighths of a degree (forwards
  // positive), at the picture-box point under the cursor, kept inside the picture box. With a modifier key the
  // wheel scrolls as usual.
  void PicBoxOnWheel(int angleDelta, TShiftState shift, int x, int y);
  // A release over the view outside the picture box, in the view's client (viewport) coordinates.
  void OnMouseUp(Qt::MouseButton button, TShiftState shift, int x, int y);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  friend class TPicBox;
  // A turn of the wheel at a point in picture-box pixels (pg_fit.cpp).
  void Wheel(QWheelEvent* event, QPoint boxPoint);

  // The data of a press kept across a possible nested event loop.
  struct TPress {
    bool valid = false;
    QPoint pos;        // picture-box pixels
    QPoint globalPos;  // screen pixels
    Qt::MouseButton button = Qt::NoButton;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
  };

  // Layout and painting.
  void Layout();
  void ArrangePicBox();
  void PlacePicBox();
  int HorizontalBarHeight() const;
  int VerticalBarWidth() const;
  void PaintPicBox(QPainter& painter, const QRegion& exposed);
  void PaintSelectionFrame(QPainter& painter);
  void PaintHint(QPainter& painter);
  QRect SelectionBoxRect() const;  // the rectangle in picture-box pixels, right = left + width
  QRegion FrameRegion() const;     // what a change of the rectangle must repaint
  QRect HandleRect(int handle) const;
  void ChangeSelection(int left, int top, int width, int height);
  void AdvancePhase();

  // Mouse.
  void PicBoxPress(QMouseEvent* event);
  void PicBoxMove(QMouseEvent* event);
  void PicBoxRelease(QMouseEvent* event);
  void PicBoxDoubleClick(QMouseEvent* event);
  void HandlePress(const TPress& press, bool doubleClick, bool startDrag);
  void StartDrag(const TPress& press);
  void DragTo(const QPoint& boxPoint);
  void DragTimerTick();
  void EndDrag();
  void FlushPendingPress();
  void PopUp(const QPoint& globalPos);
  bool ScrollBarsShown() const;

  TPixelGraphic* image_ = nullptr;
  std::unique_ptr<TPixelGraphic> owned_;  // image_ when the view owns it
  TPicBox* picBox_ = nullptr;
  QImage display_;  // top-down copy of the pixel memory for painting, refreshed when the picture changed
  bool displayStale_ = true;
  bool fitToWindow_ = false;
  QImage scaled_;  // display_ at the picture box's size while fit to window scales it (pg_fit.cpp)
  bool scaledStale_ = true;
  const QImage& ShownImage();

  TActionMode actionMode_ = TActionMode::amNone;
  bool center_ = true;
  QColor color_{128, 0, 0};
  QColor picBoxColor_{128, 0, 0};
  QColor selectionColor1_{255, 255, 255};
  QColor selectionColor2_{255, 0, 0};
  QMenu* popupMenu_ = nullptr;

  int autoSizeMinWidth_ = 0;
  int autoSizeMaxWidth_ = kNoLimit;
  int autoSizeMinHeight_ = 0;
  int autoSizeMaxHeight_ = kNoLimit;
  bool autoSize_ = false;

  bool selection_ = false;
  int selLeft_ = 0, selTop_ = 0, selWidth_ = 1, selHeight_ = 1;
  int phase_ = 0;
  QTimer* selectionTimer_ = nullptr;

  // Layout results: the box's offset in the viewport before scrolling.
  QPoint boxOffset_;
  QRect arrangedBox_;
  QSize arrangedRange_{-1, -1};
  bool arranging_ = false;

  TDragState dragState_ = TDragState::dsIdle;
  QPoint dragGlobal_;     // pan: the last cursor position, in screen coordinates
  QPoint grabOffset_;     // move and resize: cursor minus the edges the drag moves, in image pixels
  QPoint anchor_;         // create: the pixel pressed
  QTimer* dragTimer_ = nullptr;

  QPoint cursorGlobal_;    // the cursor at the last press or move, for the drag timer
  int releaseCount_ = 0;   // tells whether the button came up during a nested event loop

  // The toolkit delivers the second press of a double click before the double click itself; such a press is held
  // until the double click arrives, so that the window sees the double click first and then a press marked
  // ssDouble (which it must not take for the start of a new drag).
  TPress pendingPress_;
  TPress lastPress_;
  quint64 lastPressTime_ = 0;

  QString hint_, shortHint_;
};
