// The picture generator: every picture of the interface, drawn with QPainter at the exact size
// its control has, with the Chinese texts in WenQuanYi Micro Hei.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <span>

class QPainter;

namespace picgen {

// What a picture is. The drawing code of each kind lives in one of the draw_*.cpp files.
enum class Kind {
  Panel,          // start panel (also the search pages' side picture of Taobao and Tmall)
  PanelBadge,     // hover overlay of a start panel; x, y: its place on the panel
  SearchSide,     // the own-site search page's side picture
  Strip,          // frame strip of a search page
  NavTab,         // tab of the navigation bar
  NavMinimise,    // minimise button of the bar
  NavExit,        // exit button of the bar
  AppIcon,        // the bar's window icon (PNG with transparency)
  Background,     // a dialog window's background; text: its title
  Button,         // filled button face on a dialog
  OutlineButton,  // outlined button face on a dialog
  TitleButton,    // small outlined button on a dialog's title band
  Link,           // text link on a dialog
  Close,          // close cross on a dialog's title band
  Hint,           // question-mark hint icon
  FaqTab,         // tab of the questions window
  FaqPage,        // page of the questions window; text: its tab's title
};

// The colour scheme (search pictures and bar tabs) or the window a dialog piece belongs to.
enum class Look { Taobao, Tmall, Kelvo, Neutral, Form7, Form8, Form9, Form10 };

struct Pic {
  const char* file;  // "img/<name>.jpg" or "pictures/<name>.jpg|png"
  int w, h;          // pixels (15 twips each)
  Kind kind;
  Look look;
  const char* text = "";
  int x = 0, y = 0;  // place on its window's background or panel, in pixels
  bool selected = false;
};

std::span<const Pic> pictures();

// Draws one picture at its size.
QImage render(const Pic& pic);

// ---- drawing helpers shared by the draw_*.cpp files ----

struct Brand {
  QColor main, light, dark;
};
Brand brand(Look look);

inline const QColor kText{0x33, 0x33, 0x33};
inline const QColor kMuted{0x8A, 0x92, 0x9B};
inline const QColor kLine{0xDD, 0xE2, 0xE8};
inline const QColor kBody{0xF3, 0xF5, 0xF7};
inline const QColor kTeal{0x0E, 0x9F, 0x8E};
inline const QColor kTealLight{0x1F, 0xB8, 0xA4};
inline const QColor kTealDark{0x0A, 0x80, 0x72};
inline const QColor kGoldTop{0xFF, 0xE3, 0x6E};
inline const QColor kGoldBottom{0xFF, 0xC2, 0x1A};
inline const QColor kGoldText{0x6B, 0x38, 0x00};

inline constexpr const char* kFontFamily = "WenQuanYi Micro Hei";

QFont uiFont(double px, bool bold = false);
QImage blankImage(int w, int h, const QColor& fill);
void beginPainter(QPainter& p, QImage& img);

// Text drawn centred in (or left-aligned at) a rectangle; text that does not fit is reported.
void drawCentred(QPainter& p, const QRectF& r, const QString& text, const QFont& f,
                 const QColor& c);
void drawLeft(QPainter& p, const QRectF& r, const QString& text, const QFont& f, const QColor& c);
void drawRight(QPainter& p, const QRectF& r, const QString& text, const QFont& f, const QColor& c);

// A soft shadow under a shape: its blurred silhouette, offset, laid under what is drawn next.
void softShadow(QPainter& p, const QPainterPath& shape, QPointF offset, int spread, int alpha);

QPainterPath roundedRect(const QRectF& r, double radius);
void drawCross(QPainter& p, QPointF centre, double half, double width, const QColor& c);
// The product's mark: a magnifying glass.
void drawMagnifier(QPainter& p, QPointF lensCentre, double radius, double stroke, const QColor& c);

// Problems found while drawing (text that does not fit); the generator fails on any.
void reportProblem(const QString& what);
QStringList takeProblems();
void setCurrentPicture(const QString& name);

// Window-sized backgrounds from which the pieces on them are cut, so that they match exactly.
QImage panelImage(const Pic& panel);
QImage dialogBackground(Look look);
QImage barBackground(int w, int h);
QImage cutFrom(const QImage& from, int x, int y, int w, int h);
void drawDialogFrame(QPainter& p, int w, int h, int band, const QString& title, const QColor& body);
void drawFaqBackdrop(QPainter& p);  // the card behind the questions window's pages

// Per-kind drawing.
QImage drawPanel(const Pic& pic);
QImage drawPanelBadge(const Pic& pic);
QImage drawSearchSide(const Pic& pic);
QImage drawStrip(const Pic& pic);
QImage drawNavTab(const Pic& pic);
QImage drawNavButton(const Pic& pic);
QImage drawAppIcon(const Pic& pic);
QImage drawDialogPiece(const Pic& pic);
QImage drawFaqTab(const Pic& pic);
QImage drawFaqPage(const Pic& pic);

}  // namespace picgen
