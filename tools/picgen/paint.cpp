// Drawing helpers shared by every kind of picture: palette, fonts, text that must fit, shadows.
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/picgen/picgen.h"

namespace picgen {

namespace {

QStringList gProblems;
QString gCurrent;

void checkFits(const QRectF& r, const QString& text, const QFont& f) {
  QFontMetricsF m(f);
  const double w = m.horizontalAdvance(text);
  if (w > r.width() + 0.5 || m.height() > r.height() + 2) {
    reportProblem(QStringLiteral("text \"%1\" (%2 x %3 px) does not fit in %4 x %5 px")
                      .arg(text)
                      .arg(w, 0, 'f', 1)
                      .arg(m.height(), 0, 'f', 1)
                      .arg(r.width())
                      .arg(r.height()));
  }
}

void drawAligned(QPainter& p, const QRectF& r, const QString& text, const QFont& f, const QColor& c,
                 Qt::Alignment align) {
  checkFits(r, text, f);
  p.save();
  p.setFont(f);
  p.setPen(c);
  p.drawText(r, static_cast<int>(align | Qt::AlignVCenter) | Qt::TextSingleLine, text);
  p.restore();
}

}  // namespace

Brand brand(Look look) {
  switch (look) {
    case Look::Taobao:
      return {QColor(0xFF, 0x50, 0x00), QColor(0xFF, 0x86, 0x30), QColor(0xE0, 0x42, 0x00)};
    case Look::Tmall:
      return {QColor(0xC4, 0x00, 0x00), QColor(0xE8, 0x2A, 0x2A), QColor(0x9E, 0x00, 0x00)};
    default:
      return {kTeal, kTealLight, kTealDark};
  }
}

QFont uiFont(double px, bool bold) {
  QFont f(QString::fromLatin1(kFontFamily));
  f.setPixelSize(static_cast<int>(std::lround(px)));
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferVerticalHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

QImage blankImage(int w, int h, const QColor& fill) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.setDotsPerMeterX(3780);  // 96 dots per inch
  img.setDotsPerMeterY(3780);
  img.fill(fill);
  return img;
}

void beginPainter(QPainter& p, QImage& img) {
  p.begin(&img);
  p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                   QPainter::SmoothPixmapTransform);
}

void drawCentred(QPainter& p, const QRectF& r, const QString& text, const QFont& f,
                 const QColor& c) {
  drawAligned(p, r, text, f, c, Qt::AlignHCenter);
}

void drawLeft(QPainter& p, const QRectF& r, const QString& text, const QFont& f, const QColor& c) {
  drawAligned(p, r, text, f, c, Qt::AlignLeft);
}

void drawRight(QPainter& p, const QRectF& r, const QString& text, const QFont& f, const QColor& c) {
  drawAligned(p, r, text, f, c, Qt::AlignRight);
}

void softShadow(QPainter& p, const QPainterPath& shape, QPointF offset, int spread, int alpha) {
  // Draw the shape's silhouette on its own layer, blur it (three box passes approach a Gaussian)
  // and lay it under what follows.
  const QSize size(p.device()->width(), p.device()->height());
  QImage layer(size, QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  {
    QPainter lp(&layer);
    lp.setRenderHint(QPainter::Antialiasing);
    lp.setTransform(p.transform());
    lp.translate(offset);
    lp.setPen(Qt::NoPen);
    lp.setBrush(QColor(0, 0, 0, alpha));
    lp.drawPath(shape);
  }
  const int w = size.width(), h = size.height();
  const int r = std::max(1, spread / 2);
  std::vector<int> a(static_cast<size_t>(w) * h), t(a.size());
  for (int y = 0; y < h; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
    for (int x = 0; x < w; ++x) a[static_cast<size_t>(y) * w + x] = qAlpha(line[x]);
  }
  auto boxPass = [&](std::vector<int>& src, std::vector<int>& dst, bool horizontal) {
    const int outer = horizontal ? h : w, inner = horizontal ? w : h;
    for (int o = 0; o < outer; ++o) {
      auto at = [&](int i) -> int& {
        return horizontal ? src[static_cast<size_t>(o) * w + i]
                          : src[static_cast<size_t>(i) * w + o];
      };
      auto out = [&](int i) -> int& {
        return horizontal ? dst[static_cast<size_t>(o) * w + i]
                          : dst[static_cast<size_t>(i) * w + o];
      };
      for (int i = 0; i < inner; ++i) {
        int sum = 0;
        for (int k = -r; k <= r; ++k) sum += at(std::clamp(i + k, 0, inner - 1));
        out(i) = sum / (2 * r + 1);
      }
    }
  };
  for (int pass = 0; pass < 3; ++pass) {
    boxPass(a, t, true);
    boxPass(t, a, false);
  }
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
    for (int x = 0; x < w; ++x) line[x] = qRgba(0, 0, 0, a[static_cast<size_t>(y) * w + x]);
  }
  p.save();
  p.resetTransform();
  p.drawImage(0, 0, layer);
  p.restore();
}

QPainterPath roundedRect(const QRectF& r, double radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

void drawCross(QPainter& p, QPointF centre, double half, double width, const QColor& c) {
  p.save();
  p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
  p.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
  p.restore();
}

void drawMagnifier(QPainter& p, QPointF lensCentre, double radius, double stroke, const QColor& c) {
  p.save();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(c, stroke));
  p.drawEllipse(lensCentre, radius, radius);
  const double d = (radius + stroke * 0.5) / std::sqrt(2.0);
  const double len = radius * 0.95;
  p.setPen(QPen(c, stroke * 1.35, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(lensCentre + QPointF(d, d), lensCentre + QPointF(d + len * 0.7, d + len * 0.7));
  p.restore();
}

void reportProblem(const QString& what) {
  gProblems << gCurrent + QStringLiteral(": ") + what;
}

QStringList takeProblems() {
  QStringList out;
  out.swap(gProblems);
  return out;
}

void setCurrentPicture(const QString& name) {
  gCurrent = name;
}

QImage cutFrom(const QImage& from, int x, int y, int w, int h) {
  if (x < 0 || y < 0 || x + w > from.width() || y + h > from.height()) {
    reportProblem(QStringLiteral("place %1,%2 %3x%4 lies outside its %5x%6 background")
                      .arg(x)
                      .arg(y)
                      .arg(w)
                      .arg(h)
                      .arg(from.width())
                      .arg(from.height()));
  }
  return from.copy(x, y, w, h);
}

}  // namespace picgen
