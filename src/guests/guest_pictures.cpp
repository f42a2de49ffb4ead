#include "guests/guest_pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvalis::pictures {

QPixmap person(bool woman, PersonLook look, QSize size) {
  QPixmap p(size);
  const QColor background = look == PersonLook::kChosen        ? QColor(60, 170, 80)
                            : look == PersonLook::kHighlighted ? QColor(255, 200, 60)
                                                               : QColor(225, 230, 238);
  p.fill(background);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  const qreal w = size.width(), h = size.height();
  const QColor figure = look == PersonLook::kPlain ? QColor(0, 92, 153) : Qt::white;
  g.setPen(Qt::NoPen);
  g.setBrush(figure);
  g.drawEllipse(QPointF(w / 2, h * 0.2), w * 0.15, w * 0.15);  // head
  QPainterPath body;
  if (woman) {  // a dress
    body.moveTo(w / 2 - w * 0.14, h * 0.34);
    body.lineTo(w / 2 + w * 0.14, h * 0.34);
    body.lineTo(w / 2 + w * 0.3, h * 0.72);
    body.lineTo(w / 2 - w * 0.3, h * 0.72);
    body.closeSubpath();
    g.drawPath(body);
    g.drawRect(QRectF(w / 2 - w * 0.12, h * 0.72, w * 0.07, h * 0.18));
    g.drawRect(QRectF(w / 2 + w * 0.05, h * 0.72, w * 0.07, h * 0.18));
  } else {  // shoulders and trousers
    g.drawRoundedRect(QRectF(w / 2 - w * 0.22, h * 0.34, w * 0.44, h * 0.34), w * 0.08, w * 0.08);
    g.drawRect(QRectF(w / 2 - w * 0.18, h * 0.62, w * 0.15, h * 0.3));
    g.drawRect(QRectF(w / 2 + w * 0.03, h * 0.62, w * 0.15, h * 0.3));
  }
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(static_cast<int>(h * 0.08));
  font.setBold(true);
  g.setFont(font);
  g.setPen(figure);
  g.drawText(QRectF(0, h * 0.91, w, h * 0.09), Qt::AlignCenter,
             woman ? QStringLiteral("Frau") : QStringLiteral("Mann"));
  return p;
}

}  // namespace quorvalis::pictures
