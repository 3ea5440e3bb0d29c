// The dialog windows' backgrounds (account, sign-in, questions, sharing) and the button faces on
// them. A face is cut from its window's background at its place before it is drawn, so it sits
// on the title band or the body without a seam.
#include <QLinearGradient>
#include <QPainter>
#include <map>

#include "tools/picgen/picgen.h"

namespace picgen {

namespace {

const Pic* backgroundOf(Look look) {
  for (const Pic& p : pictures())
    if (p.kind == Kind::Background && p.look == look) return &p;
  return nullptr;
}

int bandHeight(Look look) {
  return look == Look::Form7 || look == Look::Form8 ? 40 : 54;
}

// A text box's frame, drawn on the background around the box's place (the box itself is a
// control laid over it). `right` limits the frame where a hint icon follows the box.
void drawBoxFrame(QPainter& p, QRectF box, double right = 1e9) {
  QRectF r = box.adjusted(-2, -2, 2, 2);
  r.setRight(std::min(r.right(), right));
  p.save();
  p.setPen(QPen(QColor(0xC9, 0xD0, 0xD8), 1));
  p.setBrush(QColor(0xFA, 0xFB, 0xFC));
  p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  p.restore();
}

// Twips to pixels, for the places of the boxes that the background frames.
QRectF tw(double l, double t, double w, double h) {
  return {l / 15, t / 15, w / 15, h / 15};
}

void drawAccountBody(QPainter& p, int w) {
  // Member avatar: a person on a pale teal disc.
  const QPointF c(50, 100);
  QPainterPath disc;
  disc.addEllipse(c, 31, 31);
  softShadow(p, disc, QPointF(0, 2), 6, 50);
  p.setPen(QPen(Qt::white, 3));
  p.setBrush(QColor(0xDD, 0xF3, 0xEF));
  p.drawPath(disc);
  p.save();
  p.setClipPath(disc);
  p.setPen(Qt::NoPen);
  p.setBrush(kTealLight);
  p.drawEllipse(c + QPointF(0, -8), 11, 11);
  p.drawEllipse(QRectF(c.x() - 21, c.y() + 8, 42, 40));
  p.restore();

  const QFont label = uiFont(13);
  drawRight(p, QRectF(84, 64, 112, 18), QStringLiteral("Tessaro帐号："), label, kText);
  drawRight(p, QRectF(84, 90, 128, 18), QStringLiteral("本月预计收入："), label, kText);
  drawRight(p, QRectF(84, 116, 128, 18), QStringLiteral("上月预计收入："), label, kText);
  drawBoxFrame(p, tw(3000, 960, 1575, 270));
  drawBoxFrame(p, tw(3240, 1360, 1815, 255), 334);
  drawBoxFrame(p, tw(3240, 1750, 1860, 240), 334);
  p.setPen(QPen(kLine, 1));
  p.drawLine(QPointF(16, 139.5), QPointF(w - 16, 139.5));
}

void drawSignInBody(QPainter& p) {
  drawLeft(p, QRectF(24, 50, 260, 22), QStringLiteral("请使用Tessaro帐号登录"), uiFont(12), kMuted);
  const QFont label = uiFont(13);
  drawRight(p, QRectF(14, 82, 58, 20), QStringLiteral("帐号："), label, kText);
  drawRight(p, QRectF(14, 114, 58, 20), QStringLiteral("密码："), label, kText);
  drawBoxFrame(p, tw(1150, 1250, 3135, 270));
  drawBoxFrame(p, tw(1150, 1730, 3135, 255));
}

void drawSharingBody(QPainter& p, int w) {
  drawLeft(p, QRectF(32, 62, w - 64, 22),
           QStringLiteral("把Kelvora推荐给好友，和好友一起购物拿返现。"), uiFont(13), kText);
  const QRectF panel = tw(480, 1320, 9375, 2535).adjusted(-1, -1, 1, 1);
  softShadow(p, roundedRect(panel, 6), QPointF(0, 2), 8, 45);
  p.setPen(QPen(kLine, 1));
  p.setBrush(Qt::white);
  p.drawRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  drawLeft(p, QRectF(32, 270, 400, 24),
           QStringLiteral("点击右侧按钮，在浏览器中打开您的专属分享页面。"), uiFont(12), kMuted);
}

}  // namespace

// The common frame: body colour, the teal title band with the mark and the title, and a hairline
// border around the whole window (the windows have no frame of their own).
void drawDialogFrame(QPainter& p, int w, int h, int band, const QString& title,
                     const QColor& body) {
  p.fillRect(QRectF(0, 0, w, h), body);
  QLinearGradient g(0, 0, 0, band);
  g.setColorAt(0, kTealLight);
  g.setColorAt(1, kTeal);
  p.fillRect(QRectF(0, 0, w, band), g);
  const double markR = band >= 50 ? 7.5 : 6;
  const QPointF mark(band >= 50 ? 26 : 22, band / 2.0 - 1.5);
  drawMagnifier(p, mark, markR, 2.4, Qt::white);
  const double textLeft = mark.x() + markR + 12;
  drawLeft(p, QRectF(textLeft, 0, w / 2.0, band), title, uiFont(band >= 50 ? 18 : 15, true),
           Qt::white);
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(kTealDark);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(0, 0, w - 1, h - 1));
  p.restore();
}

QImage dialogBackground(Look look) {
  static std::map<Look, QImage> cache;
  if (auto it = cache.find(look); it != cache.end()) return it->second;
  const Pic* bg = backgroundOf(look);
  if (!bg) {
    reportProblem(QStringLiteral("no background for this window"));
    return blankImage(1, 1, Qt::white);
  }
  QImage img = blankImage(bg->w, bg->h, Qt::white);
  QPainter p;
  beginPainter(p, img);
  const bool grey = look == Look::Form9 || look == Look::Form10;
  drawDialogFrame(p, bg->w, bg->h, bandHeight(look), QString::fromUtf8(bg->text),
                  grey ? kBody : QColor(Qt::white));
  switch (look) {
    case Look::Form7:
      drawAccountBody(p, bg->w);
      break;
    case Look::Form8:
      drawSignInBody(p);
      break;
    case Look::Form9:
      drawFaqBackdrop(p);
      break;
    case Look::Form10:
      drawSharingBody(p, bg->w);
      break;
    default:
      break;
  }
  p.end();
  cache[look] = img;
  return img;
}

QImage drawDialogPiece(const Pic& pic) {
  if (pic.kind == Kind::Background) return dialogBackground(pic.look);
  QImage img = cutFrom(dialogBackground(pic.look), pic.x, pic.y, pic.w, pic.h);
  QPainter p;
  beginPainter(p, img);
  const QString text = QString::fromUtf8(pic.text);
  const QRectF all(0, 0, pic.w, pic.h);
  switch (pic.kind) {
    case Kind::Close: {
      const QPointF c(pic.w / 2.0, pic.h / 2.0);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 255, 255, 36));
      p.drawEllipse(c, pic.h / 2.0 - 1.5, pic.h / 2.0 - 1.5);
      drawCross(p, c, pic.h >= 26 ? 5.5 : 4.5, 2, Qt::white);
      break;
    }
    case Kind::TitleButton: {
      const QRectF r = all.adjusted(0.5, 0.5, -0.5, -0.5);
      p.setPen(QPen(QColor(255, 255, 255, 210), 1));
      p.setBrush(QColor(255, 255, 255, 30));
      p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
      drawCentred(p, all, text, uiFont(12), Qt::white);
      break;
    }
    case Kind::Button: {
      const QRectF r = all.adjusted(1, 1, -1, -2);
      const double radius = pic.h >= 32 ? 7 : 5;
      softShadow(p, roundedRect(r, radius), QPointF(0, 1), 3, 80);
      QLinearGradient g(0, 0, 0, pic.h);
      g.setColorAt(0, kTealLight);
      g.setColorAt(1, kTeal);
      p.setPen(Qt::NoPen);
      p.setBrush(g);
      p.drawRoundedRect(r, radius, radius);
      drawCentred(p, r, text, uiFont(pic.h >= 32 ? 17 : 14, true), Qt::white);
      break;
    }
    case Kind::OutlineButton: {
      const QRectF r = all.adjusted(0.5, 0.5, -0.5, -0.5);
      p.setPen(QPen(kTeal, 1));
      p.setBrush(QColor(0xF2, 0xFB, 0xFA));
      p.drawRoundedRect(r, 4, 4);
      drawCentred(p, all, text, uiFont(12), kTealDark);
      break;
    }
    case Kind::Link: {
      QFont f = uiFont(12);
      f.setUnderline(true);
      drawCentred(p, all, text, f, kTeal);
      break;
    }
    case Kind::Hint: {
      const QPointF c(pic.w / 2.0, pic.h / 2.0);
      p.setPen(QPen(kTeal, 1.2));
      p.setBrush(QColor(0xE6, 0xF6, 0xF3));
      p.drawEllipse(c, 7.5, 7.5);
      drawCentred(p, QRectF(c.x() - 7, c.y() - 8, 14, 16), text, uiFont(11, true), kTealDark);
      break;
    }
    default:
      reportProblem(QStringLiteral("not a dialog piece"));
      break;
  }
  p.end();
  return img;
}

}  // namespace picgen
