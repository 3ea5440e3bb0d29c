// The navigation bar's pictures and its window icon. Every piece of the bar has the same ground
// (a vertical gradient with a hairline at the bottom), so side by side they read as one strip
// wherever the bar's layout puts them.
#include <QLinearGradient>
#include <QPainter>

#include "tools/picgen/picgen.h"

namespace picgen {

QImage barBackground(int w, int h) {
  QImage img = blankImage(w, h, Qt::white);
  QPainter p;
  beginPainter(p, img);
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
  g.setColorAt(1, QColor(0xEE, 0xF1, 0xF4));
  p.fillRect(img.rect(), g);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(0, h - 1, w, 1), QColor(0xD5, 0xDA, 0xE0));
  p.end();
  return img;
}

// A tab: unselected it shows its text in its colour; selected, a filled rounded pill in its
// colour with white text. The pill stays 6 pixels inside the picture's sides, clear of the few
// pixels by which neighbouring tabs overlap.
QImage drawNavTab(const Pic& pic) {
  const Brand b = brand(pic.look);
  QImage img = barBackground(pic.w, pic.h);
  QPainter p;
  beginPainter(p, img);
  const QRectF pill(6, 5, pic.w - 12, pic.h - 11);
  const QString text = QString::fromUtf8(pic.text);
  if (pic.selected) {
    softShadow(p, roundedRect(pill, 7), QPointF(0, 1.5), 4, 90);
    QLinearGradient g(0, pill.top(), 0, pill.bottom());
    g.setColorAt(0, b.light);
    g.setColorAt(1, b.main);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(pill, 7, 7);
    drawCentred(p, pill, text, uiFont(14, true), Qt::white);
  } else {
    drawCentred(p, pill, text, uiFont(14, true), b.main);
  }
  p.end();
  return img;
}

// Minimise and exit: grey glyphs on the bar's ground; the minimise button carries a faint
// divider that separates the window buttons from the tabs.
QImage drawNavButton(const Pic& pic) {
  QImage img = barBackground(pic.w, pic.h);
  QPainter p;
  beginPainter(p, img);
  const QColor glyph(0x7A, 0x82, 0x8C);
  const QPointF c(pic.w / 2.0, pic.h / 2.0 - 0.5);
  if (pic.kind == Kind::NavMinimise) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(1, 11, 1, pic.h - 22), QColor(0xD5, 0xDA, 0xE0));
    p.fillRect(QRectF(c.x() - 7, c.y() + 0.5, 14, 2), glyph);
  } else {
    drawCross(p, c, 6, 2, glyph);
  }
  p.end();
  return img;
}

// The window icon (also the notification-area icon): the teal rounded square with the mark.
QImage drawAppIcon(const Pic& pic) {
  QImage img = blankImage(pic.w, pic.h, Qt::transparent);
  QPainter p;
  beginPainter(p, img);
  const double s = pic.w / 128.0;
  const QRectF tile(6 * s, 6 * s, 116 * s, 116 * s);
  QLinearGradient g(tile.topLeft(), tile.bottomRight());
  g.setColorAt(0, kTealLight);
  g.setColorAt(1, kTealDark);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(tile, 26 * s, 26 * s);
  const QPointF lens(57 * s, 55 * s);
  p.setBrush(QColor(255, 255, 255, 50));
  p.drawEllipse(lens, 30 * s, 30 * s);
  drawMagnifier(p, lens, 30 * s, 10 * s, Qt::white);
  drawCentred(p, QRectF(lens.x() - 30 * s, lens.y() - 30 * s, 60 * s, 60 * s), QStringLiteral("K"),
              uiFont(38 * s, true), Qt::white);
  p.end();
  return img;
}

}  // namespace picgen
