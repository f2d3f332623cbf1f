#include "dialogs/about_box.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/tool_window.h"
#include "ovel_version.h"

namespace {

constexpr int kScrollStep = 2;

QString NameAndVersion() {
  return QStringLiteral("%1 %2").arg(QLatin1String(kProgramName), QLatin1String(kOvelVersion));
}

}  // namespace

TScrollingText::TScrollingText(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
  ScrollTimer = new QTimer(this);
  ScrollTimer->setInterval(kStepMs);
  connect(ScrollTimer, &QTimer::timeout, this, &TScrollingText::Step);
  setFixedHeight(QFontMetrics(font()).height() + 4);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  NameObjects({{ScrollTimer, "ScrollTimer"}});
}

void TScrollingText::Step() {
  const int textWidth = QFontMetrics(font()).horizontalAdvance(text_);
  offset_ += kScrollStep;
  if (offset_ > width() + textWidth) offset_ = 0;
  update();
}

void TScrollingText::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(Qt::white);
  const int x = width() - offset_;
  painter.drawText(QRect(x, 0, QFontMetrics(font()).horizontalAdvance(text_) + 1, height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text_);
}

// The line moves only while someone can see it.
void TScrollingText::showEvent(QShowEvent*) { ScrollTimer->start(); }
void TScrollingText::hideEvent(QHideEvent*) { ScrollTimer->stop(); }

QString TAboutBox::CreditsText() {
  // One paragraph per credit; the text box wraps them to its width.
  return NameAndVersion() + QStringLiteral(
      "\n"
      "Fractal pictures from the orbit of a single point under two-dimensional maps.\n"
      "\n"
      "The maps and methods it draws come from the work of:\n"
      "- Igor Gumowski and Christian Mira, whose recurrences are the G-Mira attractors;\n"
      "- Barry Martin, whose \"hopalong\" map is drawn beside them;\n"
      "- Clifford A. Pickover, after whose Latoocarfian attractors two families are named;\n"
      "- Scott Draves and Erik Reckase, whose fractal-flame variations (linear, sinusoidal, spherical, swirl, "
      "horseshoe, polar, bent) bend every step;\n"
      "- Michael Barnsley, for iterated function systems and the chaos game;\n"
      "- Aleksandr Lyapunov, whose exponent tells a settling orbit from a wild one, and J. C. Sprott, who showed "
      "how to hunt strange attractors with it.\n"
      "\n"
      "Built in C++ with the Qt toolkit, libjpeg, libpng and zlib.\n");
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About"));
  // No caption bar: the box is moved by dragging its face.
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  setModal(true);
  QPalette light = palette();
  light.setColor(QPalette::WindowText, Qt::white);
  setPalette(light);

  Credits = new QPlainTextEdit(this);
  Credits->setReadOnly(true);
  Credits->setPlainText(CreditsText());
  OKButton = new QPushButton(QLatin1String(kProgramName), this);
  OKButton->setDefault(true);
  ScrollLine = new TScrollingText(
      NameAndVersion() + QStringLiteral("  -  fractals from iterated maps, attractors and flame variations"), this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 4);
  layout->addWidget(Credits, 1);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  layout->addWidget(ScrollLine);
  resize(460, 317);

  connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
  NameObjects({{Credits, "Credits"}, {ScrollLine, "ScrollLine"}, {OKButton, "OKButton"}});
}

void TAboutBox::OKButtonClick() { accept(); }

void TAboutBox::paintEvent(QPaintEvent*) { PaintGradient(this, kMaroon); }

void TAboutBox::showEvent(QShowEvent* event) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  QDialog::showEvent(event);
}

void TAboutBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(event);
}

void TAboutBox::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
  } else {
    dragging_ = false;
  }
  QDialog::mouseMoveEvent(event);
}
