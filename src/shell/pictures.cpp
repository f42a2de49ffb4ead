#include "shell/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace quorvalis::pictures {
namespace {

const QColor kBrand(0, 92, 153);
const QColor kAccent(255, 170, 0);

QPixmap canvas(int size) {
  QPixmap p(size, size);
  p.fill(Qt::transparent);
  return p;
}

// The rounded brand-coloured square behind the band's touch pictures.
QPixmap badge(int size) {
  QPixmap p = canvas(size);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setBrush(kBrand);
  g.setPen(Qt::NoPen);
  g.drawRoundedRect(QRectF(0, 0, size, size), size * 0.18, size * 0.18);
  return p;
}

}  // namespace

QPixmap shrink(int size) {
  QPixmap p = badge(size);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  QPen pen(Qt::white, size * 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  g.setPen(pen);
  const qreal a = size * 0.25, b = size * 0.72;
  g.drawLine(QPointF(a, a), QPointF(b, b));
  g.drawPolyline(QPolygonF{{b - size * 0.28, b}, {b, b}, {b, b - size * 0.28}});
  return p;
}

QPixmap settings(int size) {
  QPixmap p = badge(size);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(Qt::NoPen);
  g.translate(size / 2.0, size / 2.0);
  g.setBrush(Qt::white);
  for (int i = 0; i < 8; ++i) {
    g.rotate(45);
    g.drawRect(QRectF(-size * 0.06, -size * 0.38, size * 0.12, size * 0.16));
  }
  g.drawEllipse(QPointF(0, 0), size * 0.26, size * 0.26);
  g.setBrush(kBrand);
  g.drawEllipse(QPointF(0, 0), size * 0.1, size * 0.1);
  return p;
}

QPixmap tile(int size) {
  QPixmap p = canvas(size);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setBrush(kBrand);
  g.setPen(Qt::NoPen);
  g.drawRect(QRectF(0, 0, size, size));
  g.setBrush(kAccent);
  g.drawEllipse(QPointF(size * 0.5, size * 0.45), size * 0.28, size * 0.28);
  g.setPen(QPen(Qt::white));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(qMax(8, size / 6));
  font.setBold(true);
  g.setFont(font);
  g.drawText(QRectF(0, size * 0.72, size, size * 0.25), Qt::AlignCenter, QStringLiteral("quorvalis"));
  font.setPixelSize(qMax(10, static_cast<int>(size * 0.4)));
  g.setFont(font);
  g.setPen(kBrand);
  g.drawText(QRectF(0, size * 0.17, size, size * 0.56), Qt::AlignCenter, QStringLiteral("Q"));
  return p;
}

}  // namespace quorvalis::pictures
