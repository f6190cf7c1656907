#pragma once
// Shows a label's text on one line, eliding it in the middle when it is wider
// than the label, so that both ends of a long path stay visible. The label's
// text() stays whole; the label no longer asks for the width of its text, so
// a long text never widens its window.

#include <QObject>

class QLabel;

class CMiddleElider : public QObject {
 public:
  // Takes over the painting of `label` and is owned by it.
  explicit CMiddleElider(QLabel* label);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* m_label;
};
