// Every picture of the interface, one line each. The build reads the file names from this table
// (the lines that start with {"img/ or {"pictures/), so a new line is all a new picture needs.
// Sizes are in pixels: the windows' twips divided by 15, rounded. x, y: where the picture sits on
// its window's background (or on its start panel), so that its face is cut from the same drawing.
// clang-format off
#include "tools/picgen/picgen.h"

namespace picgen {

namespace {

using K = Kind;
using L = Look;

const Pic kTable[] = {
  // Start panels and their hover overlays.
  {"pictures/form1/image1.jpg", 316, 365, K::Panel, L::Taobao, "搜淘宝"},
  {"pictures/form1/image2.jpg", 41, 41, K::PanelBadge, L::Taobao, "进入", 136, 72},
  {"pictures/form2/image1.jpg", 316, 365, K::Panel, L::Tmall, "搜天猫"},
  {"pictures/form2/image2.jpg", 92, 32, K::PanelBadge, L::Tmall, "点击进入 ›", 64, 64},
  {"pictures/form3/image1.jpg", 317, 365, K::Panel, L::Kelvo, "搜Kelvo"},
  {"pictures/form3/image2.jpg", 61, 44, K::PanelBadge, L::Kelvo, "进入 ›", 88, 56},

  // Search pages: frame strips (top, bottom, right) and the picture beside the page.
  {"pictures/form4/image1.jpg", 694, 11, K::Strip, L::Taobao},
  {"pictures/form4/image2.jpg", 694, 11, K::Strip, L::Taobao},
  {"pictures/form4/image3.jpg", 11, 368, K::Strip, L::Taobao},
  {"pictures/form4/image4.jpg", 316, 365, K::Panel, L::Taobao, "搜淘宝"},
  {"pictures/form5/image1.jpg", 694, 11, K::Strip, L::Tmall},
  {"pictures/form5/image2.jpg", 694, 11, K::Strip, L::Tmall},
  {"pictures/form5/image3.jpg", 11, 368, K::Strip, L::Tmall},
  {"pictures/form5/image4.jpg", 316, 365, K::Panel, L::Tmall, "搜天猫"},
  {"pictures/form6/image1.jpg", 694, 11, K::Strip, L::Kelvo},
  {"pictures/form6/image2.jpg", 694, 11, K::Strip, L::Kelvo},
  {"pictures/form6/image3.jpg", 11, 368, K::Strip, L::Kelvo},
  {"pictures/form6/image4.jpg", 316, 365, K::SearchSide, L::Kelvo, "搜Kelvo"},

  // Account window.
  {"pictures/form7/background.jpg", 379, 191, K::Background, L::Form7, "会员信息"},
  {"pictures/form7/hint.jpg", 21, 23, K::Hint, L::Form7, "?", 336, 62},
  {"pictures/form7/image2.jpg", 24, 23, K::Close, L::Form7, "", 344, 8},
  {"pictures/form7/image3.jpg", 66, 25, K::OutlineButton, L::Form7, "收入明细", 128, 144},
  {"pictures/form7/image4.jpg", 66, 25, K::OutlineButton, L::Form7, "结算明细", 201, 144},
  {"pictures/form7/image5.jpg", 88, 25, K::OutlineButton, L::Form7, "结算账户设置", 275, 144},
  {"pictures/form7/image6.jpg", 41, 19, K::TitleButton, L::Form7, "注销", 296, 10},

  // Sign-in window.
  {"pictures/form8/background.jpg", 378, 192, K::Background, L::Form8, "会员登录"},
  {"pictures/form8/image1.jpg", 58, 20, K::Link, L::Form8, "注册帐号", 302, 80},
  {"pictures/form8/image2.jpg", 53, 21, K::Link, L::Form8, "忘记密码", 304, 112},
  {"pictures/form8/image3.jpg", 64, 27, K::Button, L::Form8, "登 录", 303, 144},
  {"pictures/form8/image4.jpg", 24, 23, K::Close, L::Form8, "", 344, 8},

  // Questions window: background, the tabs as stored (unselected), the pages, close.
  {"pictures/form9/background.jpg", 688, 365, K::Background, L::Form9, "常见问题"},
  {"pictures/form9/image1.jpg", 126, 34, K::FaqTab, L::Form9, "搜索与购物", 24, 80},
  {"pictures/form9/image2.jpg", 126, 34, K::FaqTab, L::Form9, "返现说明", 24, 130},
  {"pictures/form9/image3.jpg", 126, 34, K::FaqTab, L::Form9, "登录与账户", 24, 179},
  {"pictures/form9/image4.jpg", 126, 34, K::FaqTab, L::Form9, "收入与结算", 24, 227},
  {"pictures/form9/image5.jpg", 126, 34, K::FaqTab, L::Form9, "分享与其他", 24, 275},
  {"pictures/form9/image6.jpg", 478, 239, K::FaqPage, L::Form9, "搜索与购物", 168, 80},
  {"pictures/form9/image11.jpg", 500, 239, K::FaqPage, L::Form9, "返现说明", 160, 80},
  {"pictures/form9/image7.jpg", 488, 239, K::FaqPage, L::Form9, "登录与账户", 168, 80},
  {"pictures/form9/image8.jpg", 488, 239, K::FaqPage, L::Form9, "收入与结算", 168, 80},
  {"pictures/form9/image9.jpg", 488, 239, K::FaqPage, L::Form9, "分享与其他", 168, 80},
  {"pictures/form9/image10.jpg", 29, 28, K::Close, L::Form9, "", 650, 13},

  // Sharing window.
  {"pictures/form10/background.jpg", 688, 364, K::Background, L::Form10, "分享给好友"},
  {"pictures/form10/image1.jpg", 156, 37, K::Button, L::Form10, "立即去分享", 496, 264},
  {"pictures/form10/image2.jpg", 29, 28, K::Close, L::Form10, "", 650, 13},

  // Navigation bar: the pictures it is designed with, and its window icon.
  {"pictures/form12/image1.jpg", 77, 39, K::NavTab, L::Taobao, "搜淘宝"},
  {"pictures/form12/image2.jpg", 76, 39, K::NavTab, L::Tmall, "搜天猫"},
  {"pictures/form12/image3.jpg", 76, 39, K::NavTab, L::Kelvo, "搜Kelvo"},
  {"pictures/form12/image6.jpg", 86, 39, K::NavTab, L::Kelvo, "登录"},
  {"pictures/form12/image8.jpg", 59, 39, K::NavTab, L::Kelvo, "分享"},
  {"pictures/form12/image7.jpg", 59, 39, K::NavTab, L::Kelvo, "问题"},
  {"pictures/form12/image4.jpg", 44, 39, K::NavMinimise, L::Neutral},
  {"pictures/form12/image5.jpg", 46, 39, K::NavExit, L::Neutral},
  {"pictures/form12/icon.png", 128, 128, K::AppIcon, L::Kelvo},

  // The img folder: the bar's tab pictures, unselected and selected.
  {"img/nav_taobao.jpg", 77, 39, K::NavTab, L::Taobao, "搜淘宝", 0, 0, true},
  {"img/nav_taobao2.jpg", 77, 39, K::NavTab, L::Taobao, "搜淘宝"},
  {"img/nav_tianmao.jpg", 76, 39, K::NavTab, L::Tmall, "搜天猫", 0, 0, true},
  {"img/nav_tianmao2.jpg", 76, 39, K::NavTab, L::Tmall, "搜天猫"},
  {"img/nav_kelvo.jpg", 76, 39, K::NavTab, L::Kelvo, "搜Kelvo", 0, 0, true},
  {"img/nav_kelvo2.jpg", 76, 39, K::NavTab, L::Kelvo, "搜Kelvo"},
  {"img/dl0.jpg", 86, 39, K::NavTab, L::Kelvo, "登录"},
  {"img/dl02.jpg", 86, 39, K::NavTab, L::Kelvo, "登录", 0, 0, true},
  {"img/dl1.jpg", 86, 39, K::NavTab, L::Kelvo, "我的账户"},
  {"img/dl12.jpg", 86, 39, K::NavTab, L::Kelvo, "我的账户", 0, 0, true},
  {"img/nav_fenxiang.jpg", 59, 39, K::NavTab, L::Kelvo, "分享", 0, 0, true},
  {"img/nav_fenxiang2.jpg", 59, 39, K::NavTab, L::Kelvo, "分享"},
  {"img/faq.jpg", 59, 39, K::NavTab, L::Kelvo, "问题"},
  {"img/faq2.jpg", 59, 39, K::NavTab, L::Kelvo, "问题", 0, 0, true},

  // The img folder: the questions window's tab pictures, unselected and selected.
  {"img/faq_1.jpg", 126, 34, K::FaqTab, L::Form9, "搜索与购物", 24, 80},
  {"img/faq_12.jpg", 126, 34, K::FaqTab, L::Form9, "搜索与购物", 24, 80, true},
  {"img/faq_12x.jpg", 126, 34, K::FaqTab, L::Form9, "返现说明", 24, 130},
  {"img/faq_122.jpg", 126, 34, K::FaqTab, L::Form9, "返现说明", 24, 130, true},
  {"img/faq_6.jpg", 126, 34, K::FaqTab, L::Form9, "登录与账户", 24, 179},
  {"img/faq_062.jpg", 126, 34, K::FaqTab, L::Form9, "登录与账户", 24, 179, true},
  {"img/faq_08.jpg", 126, 34, K::FaqTab, L::Form9, "收入与结算", 24, 227},
  {"img/faq_082.jpg", 126, 34, K::FaqTab, L::Form9, "收入与结算", 24, 227, true},
  {"img/faq_10.jpg", 126, 34, K::FaqTab, L::Form9, "分享与其他", 24, 275},
  {"img/faq_102.jpg", 126, 34, K::FaqTab, L::Form9, "分享与其他", 24, 275, true},
};

}  // namespace

std::span<const Pic> pictures() { return kTable; }

}  // namespace picgen
