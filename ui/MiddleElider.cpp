#include "ui/MiddleElider.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

CMiddleElider::CMiddleElider(QLabel* label) : QObject(label), m_label(label) {
  label->setWordWrap(false);
  label->setTextInteractionFlags(Qt::NoTextInteraction);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  label->installEventFilter(this);
}

bool CMiddleElider::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_label || event->type() != QEvent::Paint) return false;
  QPainter painter(m_label);
  const QRect area = m_label->contentsRect();
  painter.setPen(m_label->palette().color(m_label->foregroundRole()));
  painter.drawText(area, int(m_label->alignment()) | Qt::TextSingleLine,
                   m_label->fontMetrics().elidedText(m_label->text(), Qt::ElideMiddle,
                                                     area.width()));
  return true;
}
