#ifndef ORVANTOR_UI_STATUS_BAR_H_
#define ORVANTOR_UI_STATUS_BAR_H_

#include <QString>
#include <QVector>
#include <QWidget>

// A status bar of fixed panels along the bottom edge of the window. Each
// panel has a width and an alignment for its text; the last panel reaches
// the right edge whatever its width, as the window system's status bar
// lays it out.
class TStatusBar : public QWidget {
  Q_OBJECT

 public:
  explicit TStatusBar(QWidget* parent = nullptr);

  // Adds a panel at the right; returns its index.
  int AddPanel(int width, Qt::Alignment alignment = Qt::AlignLeft);
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  int PanelWidth(int i) const { return panels_[i].width; }
  Qt::Alignment PanelAlignment(int i) const { return panels_[i].alignment; }
  QString PanelText(int i) const { return panels_[i].text; }
  void SetPanelText(int i, const QString& text);
  // Where panel i is drawn, in the bar's coordinates.
  QRect PanelRect(int i) const;

  QSize sizeHint() const override { return {200, 19}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Panel {
    int width;
    Qt::Alignment alignment;
    QString text;
  };
  QVector<Panel> panels_;
};

#endif  // ORVANTOR_UI_STATUS_BAR_H_
