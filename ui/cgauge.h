#ifndef ORVANTOR_UI_CGAUGE_H_
#define ORVANTOR_UI_CGAUGE_H_

#include <QColor>
#include <QWidget>

// The percentage gauge of the window: a horizontal bar filled to the
// progress, with the percentage written across it. Progress runs from 0 to
// 100; values above 100 (a stage that counts more records than its divisor
// foresaw) show as a full gauge, values below 0 as an empty one.
class TCGauge : public QWidget {
  Q_OBJECT

 public:
  explicit TCGauge(QWidget* parent = nullptr);

  int Progress() const { return progress_; }
  // Sets the progress; the gauge is drawn anew at the next paint, or, while
  // paints are held, at the next PaintIfChanged.
  void SetProgress(int value);
  // While held, a new progress waits for PaintIfChanged to be drawn: a run
  // moves the gauge hundreds of times, and every paint that reaches the
  // screen costs about a millisecond of the run. Letting go schedules the
  // paint of a progress not yet drawn.
  void HoldPaints(bool hold);
  // Draws the gauge now if its progress changed since it was last drawn.
  void PaintIfChanged();
  // "0%" to "100%", as drawn.
  QString PercentText() const;

  QColor ForeColor() const { return fore_; }  // the bar
  QColor BackColor() const { return back_; }  // the unfilled part
  QColor TextColor() const { return text_; }  // the percentage
  void SetForeColor(const QColor& c);
  void SetBackColor(const QColor& c);
  void SetTextColor(const QColor& c);

  QSize sizeHint() const override { return {100, 25}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int progress_ = 0;
  bool hold_paints_ = false;
  bool changed_ = false;  // the progress differs from the one last drawn
  QColor fore_{Qt::black};
  QColor back_{Qt::white};
  QColor text_{Qt::black};
};

#endif  // ORVANTOR_UI_CGAUGE_H_
