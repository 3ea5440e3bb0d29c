// The questions window: the card behind its pages, its tabs, and the five pages of questions and
// answers, wrapped inside the card with the same margins on every page.
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QTextLayout>
#include <vector>

#include "tools/picgen/picgen.h"

namespace picgen {

namespace {

struct QA {
  const char* question;
  const char* answer;
};

struct Topic {
  const char* title;  // the tab's title
  std::vector<QA> items;
};

// clang-format off
const std::vector<Topic>& topics() {
  static const std::vector<Topic> kTopics = {
      {"搜索与购物", {
          {"怎样搜索淘宝和天猫的商品？",
           "在首页点击“搜淘宝”或“搜天猫”面板，或点击导航条上的同名标签，在打开的搜索页中输入关键词即可搜索。"},
          {"“搜Kelvo”可以搜什么？",
           "“搜Kelvo”搜索Kelvo网站上的精选商品，用法与淘宝、天猫搜索相同。"},
          {"点击商品后为什么打开了浏览器？",
           "商品和搜索结果会在您电脑的默认浏览器中打开，您可以在浏览器中照常浏览、下单购物。"},
      }},
      {"返现说明", {
          {"什么是购物返现？",
           "通过Kelvora搜索并购买淘宝、天猫商品，交易成功后可获得一部分返现，计入您的Tessaro帐号收入。"},
          {"怎样才能获得返现？",
           "请先用Tessaro帐号登录客户端再购物。如提示网站未生成，请到Tessaro网页版“会员中心”生成网站，完成后再登录。"},
          {"返现收入什么时候更新？",
           "返现收入是隔天更新的：今天购买宝贝所得到的返现收入，将在明天不定时更新。"},
      }},
      {"登录与账户", {
          {"怎样登录？",
           "点击导航条上的“登录”，输入Tessaro帐号和密码，再点击“登录”按钮。登录成功后客户端会自动重新载入。"},
          {"忘记密码或还没有帐号怎么办？",
           "在登录窗口点击“忘记密码”可找回密码，点击“注册帐号”可免费注册Tessaro帐号。"},
          {"登录失败后为什么要等几秒？",
           "帐号或密码错误时，登录按钮会暂停几秒，倒计时结束后即可重新登录。"},
      }},
      {"收入与结算", {
          {"在哪里查看我的收入？",
           "登录后点击导航条上的“我的账户”，即可看到本月预计收入和上月预计收入。"},
          {"什么时候结算？",
           "本月收入将在下个月22-23号结算，上月收入将在本月22-23号结算。"},
          {"结算后的钱会打到哪里？",
           "结算后将自动打款到您设置的结算账户里，无需提现操作。点击“结算账户设置”可设置或修改结算账户。"},
      }},
      {"分享与其他", {
          {"怎样把Kelvora分享给好友？",
           "点击导航条上的“分享”，再点击“立即去分享”，在浏览器中打开您的专属分享页面，把链接发给好友即可。"},
          {"怎样最小化到通知区域？",
           "点击导航条右侧的“—”按钮，客户端即隐藏到通知区域，只留一个图标。"},
          {"怎样恢复窗口？",
           "双击通知区域中的“Kelvo搜”图标，即可恢复导航条和首页。"},
          {"怎样退出？",
           "点击导航条最右侧的“×”按钮。"},
      }},
  };
  return kTopics;
}
// clang-format on

// The white card behind the pages, in the window's pixels. Every page lies inside it.
const QRectF kCard(160, 80, 500, 239);
// Where the text goes: the same on every page, whatever the page's own size and place.
const QRectF kTextArea = kCard.adjusted(20, 14, -20, -10);

// Lays out one paragraph with a hanging prefix ("问：" / "答：") and returns its height; draws it
// when a painter is given.
double paragraph(QPainter* p, double top, const QString& prefix, const QString& text,
                 const QFont& f, const QColor& prefixColour, const QColor& colour,
                 double lineHeight) {
  const double prefixWidth = QFontMetricsF(f).horizontalAdvance(prefix);
  const double textLeft = kTextArea.left() + prefixWidth;
  QTextLayout layout(text, f);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  int lines = 0, lastLength = 0;
  auto wrap = [&](double width) {
    layout.beginLayout();
    lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      line.setPosition(QPointF(0, lines * lineHeight + (lineHeight - line.height()) / 2));
      lastLength = line.textLength();
      ++lines;
    }
    layout.endLayout();
  };
  // A last line of one or two characters looks lost: narrow the lines a little (keeping their
  // number) until it carries a few more.
  const double fullWidth = kTextArea.right() - textLeft;
  wrap(fullWidth);
  const int wanted = lines;
  for (int step = 1; lines > 1 && lastLength < 4 && step <= 6; ++step) {
    wrap(fullWidth - step * f.pixelSize());
    if (lines != wanted) {
      wrap(fullWidth - (step - 1) * f.pixelSize());
      break;
    }
  }
  if (p) {
    p->setPen(prefixColour);
    p->setFont(f);
    const double firstBaseline =
        top + (lineHeight - QFontMetricsF(f).height()) / 2 + QFontMetricsF(f).ascent();
    p->drawText(QPointF(kTextArea.left(), firstBaseline), prefix);
    p->setPen(colour);
    layout.draw(p, QPointF(textLeft, top));
  }
  return lines * lineHeight;
}

// Lays out a whole topic at a font size; returns its height, drawing it when a painter is given.
double topicBlock(QPainter* p, const Topic& t, int px) {
  const QFont question = uiFont(px, true);
  const QFont answer = uiFont(px);
  const double lineHeight = std::round(px * 1.46);
  const double afterQuestion = 2, betweenItems = px >= 13 ? 9 : 7;
  double y = kTextArea.top();
  for (size_t i = 0; i < t.items.size(); ++i) {
    if (i) y += betweenItems;
    y += paragraph(p, y, QStringLiteral("问："), QString::fromUtf8(t.items[i].question), question,
                   kTealDark, kTealDark, lineHeight);
    y += afterQuestion;
    y += paragraph(p, y, QStringLiteral("答："), QString::fromUtf8(t.items[i].answer), answer,
                   kText, kText, lineHeight);
  }
  return y - kTextArea.top();
}

const Topic* topicTitled(const QString& title) {
  for (const Topic& t : topics())
    if (QString::fromUtf8(t.title) == title) return &t;
  return nullptr;
}

}  // namespace

void drawFaqBackdrop(QPainter& p) {
  softShadow(p, roundedRect(kCard, 8), QPointF(0, 2), 10, 40);
  p.setPen(QPen(kLine, 1));
  p.setBrush(Qt::white);
  p.drawRoundedRect(kCard.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

// A tab: unselected a white rounded face with teal text; selected filled teal with white text and
// an arrow towards the page.
QImage drawFaqTab(const Pic& pic) {
  QImage img = cutFrom(dialogBackground(pic.look), pic.x, pic.y, pic.w, pic.h);
  QPainter p;
  beginPainter(p, img);
  const QRectF face(1, 1, pic.w - 2, pic.h - 3);
  const QString text = QString::fromUtf8(pic.text);
  if (pic.selected) {
    softShadow(p, roundedRect(face, 6), QPointF(0, 1), 3, 70);
    QLinearGradient g(0, 0, 0, pic.h);
    g.setColorAt(0, kTealLight);
    g.setColorAt(1, kTeal);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(face, 6, 6);
    drawCentred(p, face, text, uiFont(14, true), Qt::white);
    drawCentred(p, QRectF(face.right() - 20, face.top(), 14, face.height()), QStringLiteral("›"),
                uiFont(16, true), Qt::white);
  } else {
    p.setPen(QPen(kLine, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    drawCentred(p, face, text, uiFont(14, true), kTeal);
  }
  p.end();
  return img;
}

QImage drawFaqPage(const Pic& pic) {
  QImage img = cutFrom(dialogBackground(pic.look), pic.x, pic.y, pic.w, pic.h);
  const Topic* topic = topicTitled(QString::fromUtf8(pic.text));
  const QRectF place(pic.x, pic.y, pic.w, pic.h);
  if (!topic) {
    reportProblem(QStringLiteral("no questions for this page"));
    return img;
  }
  if (!place.contains(kTextArea)) reportProblem(QStringLiteral("page does not hold the text area"));
  // The largest size at which the topic fits; below 12 pixels the text is not readable enough.
  int px = 13;
  while (px > 12 && topicBlock(nullptr, *topic, px) > kTextArea.height()) --px;
  if (topicBlock(nullptr, *topic, px) > kTextArea.height())
    reportProblem(QStringLiteral("the questions do not fit on the page"));
  QPainter p;
  beginPainter(p, img);
  p.translate(-pic.x, -pic.y);
  p.setClipRect(place);
  topicBlock(&p, *topic, px);
  p.end();
  return img;
}

}  // namespace picgen
