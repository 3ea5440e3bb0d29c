// The start panels, their hover badges, the search pages' side picture and frame strips.
#include <QLinearGradient>
#include <QPainter>
#include <map>
#include <tuple>

#include "tools/picgen/picgen.h"

namespace picgen {

namespace {

QString subtitleOf(Look look) {
  switch (look) {
    case Look::Taobao:
      return QStringLiteral("海量好货  一搜即得");
    case Look::Tmall:
      return QStringLiteral("品牌正品  放心购物");
    default:
      return QStringLiteral("精选好物  省心省钱");
  }
}

const QColor kWhite(255, 255, 255);

QColor whiteAlpha(int a) {
  return QColor(255, 255, 255, a);
}

// The coloured ground every search picture shares: a diagonal gradient of the brand colour, two
// faint circles, the product name at the top left and the cash-back tag at the top right.
void drawBackdrop(QPainter& p, Look look, int w, int h) {
  const Brand b = brand(look);
  QLinearGradient g(0, 0, w * 0.45, h);
  g.setColorAt(0, b.light);
  g.setColorAt(0.55, b.main);
  g.setColorAt(1, b.dark);
  p.fillRect(QRectF(0, 0, w, h), g);
  p.setPen(Qt::NoPen);
  p.setBrush(whiteAlpha(20));
  p.drawEllipse(QPointF(w + 10, -24), 132, 132);
  p.setBrush(whiteAlpha(14));
  p.drawEllipse(QPointF(-36, h - 34), 118, 118);

  drawLeft(p, QRectF(18, 12, 90, 24), QStringLiteral("Kelvora"), uiFont(15, true), kWhite);
  const QRectF tag(w - 18 - 66, 14, 66, 20);
  p.setPen(Qt::NoPen);
  p.setBrush(whiteAlpha(46));
  p.drawRoundedRect(tag, 10, 10);
  drawCentred(p, tag, QStringLiteral("购物返现"), uiFont(12), kWhite);
}

void drawHalo(QPainter& p, QPointF c, double r) {
  p.setPen(Qt::NoPen);
  p.setBrush(whiteAlpha(26));
  p.drawEllipse(c, r, r);
  p.setBrush(whiteAlpha(34));
  p.drawEllipse(c, r * 0.8, r * 0.8);
}

void drawBag(QPainter& p, QPointF c, const Brand& b) {
  const QRectF body(c.x() - 37, c.y() - 16, 74, 60);
  softShadow(p, roundedRect(body, 9), QPointF(0, 4), 8, 70);
  p.setPen(QPen(kWhite, 5.5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  QPainterPath handle;
  handle.moveTo(c.x() - 17, c.y() - 10);
  handle.cubicTo(c.x() - 17, c.y() - 48, c.x() + 17, c.y() - 48, c.x() + 17, c.y() - 10);
  p.drawPath(handle);
  p.setPen(Qt::NoPen);
  QLinearGradient g(body.topLeft(), body.bottomLeft());
  g.setColorAt(0, kWhite);
  g.setColorAt(1, QColor(0xFF, 0xF4, 0xEC));
  p.setBrush(g);
  p.drawRoundedRect(body, 9, 9);
  p.setBrush(b.dark);
  p.drawEllipse(QPointF(c.x() - 17, c.y() - 6), 3.2, 3.2);
  p.drawEllipse(QPointF(c.x() + 17, c.y() - 6), 3.2, 3.2);
  drawCentred(p, QRectF(body.left(), body.top() + 10, body.width(), 46), QStringLiteral("淘"),
              uiFont(32, true), b.main);
}

void drawGift(QPainter& p, QPointF c, const Brand& b) {
  const QRectF lid(c.x() - 41, c.y() - 12, 82, 18);
  const QRectF box(c.x() - 35, c.y() + 6, 70, 40);
  QPainterPath whole = roundedRect(lid, 4).united(roundedRect(box, 4));
  softShadow(p, whole, QPointF(0, 4), 8, 70);
  // The bow: two loops and a knot above the lid.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kWhite, 6));
  p.drawEllipse(QRectF(c.x() - 27, c.y() - 33, 25, 19));
  p.drawEllipse(QRectF(c.x() + 2, c.y() - 33, 25, 19));
  p.setPen(Qt::NoPen);
  p.setBrush(kWhite);
  p.drawRoundedRect(box, 4, 4);
  p.setBrush(QColor(0xFF, 0xEE, 0xEE));
  p.drawRoundedRect(lid, 4, 4);
  p.setBrush(b.main);
  p.drawRect(QRectF(c.x() - 7, lid.top(), 14, box.bottom() - lid.top()));
  p.setBrush(b.dark);
  p.drawRect(QRectF(c.x() - 7, lid.bottom() - 1, 14, 3));
  p.setBrush(b.light);
  p.drawEllipse(QPointF(c.x(), c.y() - 15), 6, 6);
}

void drawLens(QPainter& p, QPointF c, double scale) {
  const QPointF lens = c + QPointF(-9, -9) * scale;
  const double r = 30 * scale;
  QPainterPath glass;
  glass.addEllipse(lens, r + 5 * scale, r + 5 * scale);
  softShadow(p, glass, QPointF(0, 4), 8, 55);
  p.setPen(Qt::NoPen);
  p.setBrush(whiteAlpha(60));
  p.drawEllipse(lens, r, r);
  drawMagnifier(p, lens, r, 9 * scale, kWhite);
  drawCentred(p, QRectF(lens.x() - r, lens.y() - r, 2 * r, 2 * r), QStringLiteral("K"),
              uiFont(34 * scale, true), kWhite);
}

void drawIllustration(QPainter& p, Look look, QPointF c) {
  const Brand b = brand(look);
  switch (look) {
    case Look::Taobao:
      drawBag(p, c, b);
      break;
    case Look::Tmall:
      drawGift(p, c, b);
      break;
    default:
      drawLens(p, c, 1.0);
      break;
  }
}

// Title with a faint drop shadow, in white.
void drawTitle(QPainter& p, const QRectF& r, const QString& text, double px) {
  drawCentred(p, r.translated(0, 2), text, uiFont(px, true), QColor(0, 0, 0, 45));
  drawCentred(p, r, text, uiFont(px, true), kWhite);
}

const Pic* panelOf(Look look) {
  for (const Pic& p : pictures())
    if (p.kind == Kind::Panel && p.look == look) return &p;
  return nullptr;
}

}  // namespace

QImage panelImage(const Pic& panel) {
  static std::map<std::tuple<Look, int, int>, QImage> cache;
  const Look look = panel.look;
  const int w = panel.w, h = panel.h;
  const auto key = std::make_tuple(look, w, h);
  if (auto it = cache.find(key); it != cache.end()) return it->second;

  const Brand b = brand(look);
  QImage img = blankImage(w, h, b.main);
  QPainter p;
  beginPainter(p, img);
  drawBackdrop(p, look, w, h);
  const QPointF c(w / 2.0, 132);
  drawHalo(p, c, 74);
  drawIllustration(p, look, c);

  drawTitle(p, QRectF(0, 214, w, 44), QString::fromUtf8(panel.text), 34);
  drawCentred(p, QRectF(0, 260, w, 22), subtitleOf(look), uiFont(15), whiteAlpha(235));

  const QRectF button(w / 2.0 - 78, 300, 156, 40);
  softShadow(p, roundedRect(button, 20), QPointF(0, 3), 8, 80);
  p.setPen(Qt::NoPen);
  p.setBrush(kWhite);
  p.drawRoundedRect(button, 20, 20);
  drawCentred(p, button, QStringLiteral("立即搜索  ›"), uiFont(16, true), b.main);
  p.end();
  cache[key] = img;
  return img;
}

QImage drawPanel(const Pic& pic) {
  return panelImage(pic);
}

// The hover badge is cut from its panel at its place and a gold sticker is drawn on it, so that
// it lies on the panel without a seam.
QImage drawPanelBadge(const Pic& pic) {
  const Pic* panel = panelOf(pic.look);
  if (!panel) {
    reportProblem(QStringLiteral("no panel for this badge"));
    return blankImage(pic.w, pic.h, Qt::white);
  }
  QImage img = cutFrom(panelImage(*panel), pic.x, pic.y, pic.w, pic.h);
  QPainter p;
  beginPainter(p, img);
  QPainterPath shape;
  QRectF textRect;
  if (pic.w == pic.h) {
    const double r = pic.w / 2.0 - 3;
    shape.addEllipse(QPointF(pic.w / 2.0, pic.h / 2.0 - 1), r, r);
    textRect = QRectF(0, 0, pic.w, pic.h - 2);
  } else if (pic.h * 2 < pic.w) {
    const QRectF r(2, 2, pic.w - 4, pic.h - 6);
    shape = roundedRect(r, r.height() / 2);
    textRect = r;
  } else {
    const QRectF r(2, 2, pic.w - 4, pic.h - 13);
    shape = roundedRect(r, 9);
    QPainterPath tail;
    tail.moveTo(pic.w / 2.0 - 7, r.bottom() - 1);
    tail.lineTo(pic.w / 2.0, r.bottom() + 7);
    tail.lineTo(pic.w / 2.0 + 7, r.bottom() - 1);
    tail.closeSubpath();
    shape = shape.united(tail);
    textRect = r;
  }
  softShadow(p, shape, QPointF(0, 1.5), 4, 110);
  QLinearGradient g(0, 0, 0, pic.h);
  g.setColorAt(0, kGoldTop);
  g.setColorAt(1, kGoldBottom);
  p.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
  p.setBrush(g);
  p.drawPath(shape);
  drawCentred(p, textRect, QString::fromUtf8(pic.text), uiFont(pic.w == pic.h ? 12 : 13, true),
              kGoldText);
  p.end();
  return img;
}

// The own-site search page's picture: the same ground as the panels, the mark, and three steps.
QImage drawSearchSide(const Pic& pic) {
  const Brand b = brand(pic.look);
  QImage img = blankImage(pic.w, pic.h, b.main);
  QPainter p;
  beginPainter(p, img);
  drawBackdrop(p, pic.look, pic.w, pic.h);
  const QPointF c(pic.w / 2.0, 104);
  drawHalo(p, c, 54);
  drawLens(p, c + QPointF(2, 2), 0.72);
  drawTitle(p, QRectF(0, 166, pic.w, 40), QString::fromUtf8(pic.text), 30);
  drawCentred(p, QRectF(0, 206, pic.w, 22), subtitleOf(pic.look), uiFont(14), whiteAlpha(235));

  const QString steps[] = {QStringLiteral("输入关键词，搜索好物"),
                           QStringLiteral("在浏览器中查看商品"),
                           QStringLiteral("下单购物，获得返现")};
  const QRectF card(34, 244, pic.w - 68, 102);
  p.setPen(Qt::NoPen);
  p.setBrush(whiteAlpha(34));
  p.drawRoundedRect(card, 10, 10);
  for (int i = 0; i < 3; ++i) {
    const double y = card.top() + 10 + i * 28;
    const QRectF dot(card.left() + 16, y + 3, 20, 20);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawEllipse(dot);
    drawCentred(p, dot, QString::number(i + 1), uiFont(13, true), b.main);
    drawLeft(p, QRectF(dot.right() + 10, y, card.right() - dot.right() - 16, 26), steps[i],
             uiFont(14), kWhite);
  }
  p.end();
  return img;
}

// A frame strip: the brand colour, flat, so the top and bottom strips can be one picture.
QImage drawStrip(const Pic& pic) {
  return blankImage(pic.w, pic.h, brand(pic.look).main);
}

}  // namespace picgen
