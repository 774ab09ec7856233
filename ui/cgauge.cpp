#include "ui/cgauge.h"

#include <QPaintEvent>
#include <QPainter>

TCGauge::TCGauge(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void TCGauge::SetProgress(int value) {
  value = value < 0 ? 0 : (value > 100 ? 100 : value);
  if (value == progress_) return;
  progress_ = value;
  changed_ = true;
  if (!hold_paints_) update();
}

void TCGauge::HoldPaints(bool hold) {
  hold_paints_ = hold;
  if (!hold && changed_) update();
}

void TCGauge::PaintIfChanged() {
  if (changed_) repaint();
}

QString TCGauge::PercentText() const { return QString::number(progress_) + QLatin1Char('%'); }

void TCGauge::SetForeColor(const QColor& c) {
  fore_ = c;
  update();
}

void TCGauge::SetBackColor(const QColor& c) {
  back_ = c;
  update();
}

void TCGauge::SetTextColor(const QColor& c) {
  text_ = c;
  update();
}

void TCGauge::paintEvent(QPaintEvent* event) {
  // A paint of a part only (an exposure) leaves the rest as it was drawn.
  if (event->rect().contains(rect())) changed_ = false;
  QPainter p(this);
  const QRect outer = rect();
  // A single dark border, as the gauge of the window resource has.
  p.setPen(palette().color(QPalette::Dark));
  p.setBrush(Qt::NoBrush);
  p.drawRect(outer.adjusted(0, 0, -1, -1));
  const QRect inner = outer.adjusted(1, 1, -1, -1);
  p.fillRect(inner, back_);
  const int filled = inner.width() * progress_ / 100;
  if (filled > 0) p.fillRect(QRect(inner.left(), inner.top(), filled, inner.height()), fore_);
  p.setPen(text_);
  p.setFont(font());
  p.drawText(inner, Qt::AlignCenter, PercentText());
}
