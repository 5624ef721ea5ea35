// A panel painted with a three-colour gradient from top to bottom: start colour at the top edge,
// middle colour half-way down, end colour at the bottom edge.
#pragma once

#include <QColor>
#include <QWidget>

namespace tc::app {

class GradientPanel : public QWidget {
  Q_OBJECT

 public:
  GradientPanel(const QColor& start, const QColor& middle, const QColor& end,
                QWidget* parent = nullptr);

  QColor StartColor() const { return start_; }
  QColor MiddleColor() const { return middle_; }
  QColor EndColor() const { return end_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor start_;
  QColor middle_;
  QColor end_;
};

}  // namespace tc::app
