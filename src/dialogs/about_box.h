// The About box: credits, a scrolling line and the "Ovel IFS" button that closes it. Shown modally
// with exec(); it has no caption bar, so it is moved by dragging anywhere on it.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;
class QTimer;

inline constexpr char kProgramName[] = "Ovel IFS";

// A one-line text that runs from right to left along the bottom of the box.
class TScrollingText : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kStepMs = 40;

  explicit TScrollingText(const QString& text, QWidget* parent = nullptr);

  QString Text() const { return text_; }
  int Offset() const { return offset_; }

 public slots:
  // Moves the text one step left; it comes in again from the right once it has left the box.
  void Step();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QTimer* ScrollTimer;

  QString text_;
  int offset_ = 0;
};

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  static QString CreditsText();

 public slots:
  void OKButtonClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QPlainTextEdit* Credits;
  TScrollingText* ScrollLine;
  QPushButton* OKButton;  // "Ovel IFS"

  QPoint dragOffset_;
  bool dragging_ = false;
};
