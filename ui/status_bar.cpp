#include "ui/status_bar.h"

#include <QPainter>

namespace {
constexpr int kGap = 2;      // between two panels
constexpr int kPadding = 3;  // between a panel's edge and its text
}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) { setAutoFillBackground(true); }

int TStatusBar::AddPanel(int width, Qt::Alignment alignment) {
  panels_.push_back(Panel{width, alignment, QString()});
  update();
  return static_cast<int>(panels_.size()) - 1;
}

void TStatusBar::SetPanelText(int i, const QString& text) {
  if (panels_[i].text == text) return;
  panels_[i].text = text;
  update(PanelRect(i));
}

QRect TStatusBar::PanelRect(int i) const {
  int left = 0;
  for (int k = 0; k < i; ++k) left += panels_[k].width;
  const int right = i + 1 == PanelCount() ? width() : left + panels_[i].width;
  // Two pixels above the panels and the gap at each panel's right edge.
  return QRect(QPoint(left, kGap), QPoint(right - kGap - 1, height() - 1));
}

void TStatusBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor light = palette().color(QPalette::Light);
  for (int i = 0; i < PanelCount(); ++i) {
    const QRect r = PanelRect(i);
    // A sunken panel: shadow at the top and left, light at the bottom and right.
    p.setPen(shadow);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(light);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    const QRect text_rect = r.adjusted(kPadding, 1, -kPadding, -1);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(text_rect, static_cast<int>(panels_[i].alignment | Qt::AlignVCenter),
               fontMetrics().elidedText(panels_[i].text, Qt::ElideRight, text_rect.width()));
  }
}
