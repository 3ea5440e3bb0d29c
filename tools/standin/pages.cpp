#include "tools/standin/pages.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace kv::standin::pages {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kText = "text/plain; charset=utf-8";

// The demo member's site text, the sign-in's success reply.
constexpr const char* kDemoSiteText = "http://shop20261.member.example/?lsr=20261";
constexpr const char* kDemoMemberLink = "http://shop20261.member.example/?lsr=20261";

Reply text(std::string body) {
  Reply r;
  r.body = std::move(body);
  r.contentType = kText;
  return r;
}

Reply html(std::string body, int status = 200) {
  Reply r;
  r.status = status;
  r.body = std::move(body);
  r.contentType = kHtml;
  return r;
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The value of `key` in a form-encoded text ("a=1&b=2"), decoded; empty when absent.
std::string formValue(const std::string& form, const std::string& key) {
  std::istringstream in(form);
  std::string pair;
  while (std::getline(in, pair, '&')) {
    auto eq = pair.find('=');
    std::string k = pair.substr(0, eq);
    if (k == key) return eq == std::string::npos ? "" : percentDecode(pair.substr(eq + 1), true);
  }
  return {};
}

// A page of the common frame: a coloured title band, then the body.
std::string page(const std::string& title, const std::string& colour, const std::string& body,
                 const std::string& extraCss = {}) {
  std::string out;
  out += "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>";
  out += htmlEscape(title);
  out += "</title>\n<style>\n";
  out +=
      "body{margin:0;font-family:'WenQuanYi Micro Hei','Microsoft YaHei',sans-serif;"
      "color:#333;background:#f5f5f5;font-size:13px}\n"
      "a{color:" +
      colour +
      "}\n"
      ".band{background:" +
      colour +
      ";color:#fff;padding:8px 14px;font-size:16px;font-weight:bold}\n"
      ".box{background:#fff;margin:10px;padding:10px 14px;border-radius:6px;"
      "box-shadow:0 1px 3px rgba(0,0,0,.12)}\n"
      ".btn{border:0;border-radius:4px;background:" +
      colour +
      ";color:#fff;padding:5px 14px;font-size:13px;cursor:pointer;text-decoration:none}\n"
      "label{display:inline-block;width:70px}\n"
      "input[type=text],input[type=password]{border:1px solid #ccc;border-radius:4px;"
      "padding:4px 6px;margin:3px 0;width:180px}\n"
      "table{border-collapse:collapse;width:100%}\n"
      "td,th{border-bottom:1px solid #eee;padding:4px 6px;text-align:left}\n";
  out += extraCss;
  out += "</style></head>\n<body>\n";
  out += body;
  out += "\n</body></html>\n";
  return out;
}

// ---- Member site ----

struct Product {
  const char* name;
  const char* glyph;
  const char* price;
  const char* cashBack;
};

struct Search {
  const char* key;    // the path's last part, lower case
  const char* path;   // as the client names it
  const char* title;  // the page's title
  const char* colour;
  const char* light;
  std::array<Product, 4> products;
};

const std::array<Search, 3> kSearches = {{
    {"ss_taobao",
     "/APP.PHP/index/ss_taobao",
     "搜淘宝",
     "#FF5000",
     "#FFD9C7",
     {{{"春季纯棉印花T恤", "衣", "59.00", "3.20"},
       {"无线蓝牙耳机 降噪款", "耳", "129.00", "8.50"},
       {"不锈钢保温杯 500ml", "杯", "45.90", "2.10"},
       {"北欧风桌面收纳盒", "盒", "29.80", "1.60"}}}},
    {"ss_tianmao",
     "/APP.PHP/index/ss_tianmao",
     "搜天猫",
     "#C40000",
     "#F5CFCF",
     {{{"智能电饭煲 4L 旗舰款", "煲", "399.00", "23.90"},
       {"进口全脂牛奶 1L×12", "奶", "89.00", "5.30"},
       {"男款轻便运动跑鞋", "鞋", "459.00", "27.50"},
       {"护手霜礼盒 三支装", "礼", "69.00", "4.10"}}}},
    {"ss_kelvora",
     "/APP.PHP/index/ss_kelvora",
     "Kelvora精选",
     "#0E9F8E",
     "#CDEFEA",
     {{{"家用多功能料理机", "厨", "268.00", "16.00"},
       {"有机五常大米 5kg", "米", "79.90", "4.80"},
       {"儿童益智积木 120粒", "玩", "99.00", "6.90"},
       {"纯棉床上四件套", "床", "199.00", "11.90"}}}},
}};

constexpr int kFirstItem = 1001;

std::string searchPage(const Search& s, const std::string& base, const std::string& query) {
  const std::string lsr = formValue(query, "lsr");
  const std::string q = formValue(query, "q");
  const std::string c = s.colour;
  std::string css =
      ".bar{background:" + c +
      ";color:#fff;padding:8px 12px;display:flex;align-items:center}\n"
      ".bar h1{font-size:17px;margin:0 12px 0 0;white-space:nowrap}\n"
      ".bar form{display:flex;flex:1;margin:0}\n"
      ".bar input[type=text]{flex:1;width:auto;border:0;border-radius:4px 0 0 4px;margin:0;"
      "padding:6px 8px}\n"
      ".bar button{border:0;background:#333;color:#fff;padding:0 16px;"
      "border-radius:0 4px 4px 0;cursor:pointer}\n"
      ".tip{padding:5px 12px;color:#666;font-size:12px}\n"
      ".list{display:flex;flex-wrap:wrap;padding:0 6px}\n"
      ".card{background:#fff;width:128px;margin:4px;padding:7px;border-radius:6px;"
      "box-shadow:0 1px 3px rgba(0,0,0,.12)}\n"
      ".card a{color:#333;text-decoration:none}\n"
      ".pic{height:56px;border-radius:4px;background:linear-gradient(135deg," +
      c + "," + s.light +
      ");color:#fff;font-size:26px;text-align:center;line-height:56px;margin-bottom:4px}\n"
      ".name{height:34px;overflow:hidden;line-height:17px}\n"
      ".price{color:" +
      c +
      ";font-weight:bold;font-size:14px}\n"
      ".back{color:#0A8A3A;font-size:12px}\n"
      ".card button{margin-top:4px;width:100%;border:1px solid " +
      c + ";background:#fff;color:" + c +
      ";border-radius:4px;padding:3px 0;cursor:pointer}\n"
      ".more{padding:6px 12px}\n";

  std::string b;
  b += "<div class=\"bar\"><h1>" + std::string(s.title) + "</h1>";
  b += "<form action=\"" + std::string(s.path) + "\" method=\"get\">";
  b += "<input type=\"hidden\" name=\"lsr\" value=\"" + htmlEscape(lsr) + "\">";
  b += "<input type=\"text\" name=\"q\" value=\"" + htmlEscape(q) +
       "\" placeholder=\"输入宝贝名称，搜索返现商品\">";
  b += "<button type=\"submit\">搜索</button></form></div>\n";
  b += "<div class=\"tip\">推荐码：<span id=\"lsr\">" + htmlEscape(query) +
       "</span>　购买下列商品可获得返现</div>\n<div class=\"list\">\n";
  for (size_t i = 0; i < s.products.size(); ++i) {
    const Product& p = s.products[i];
    const std::string n = std::to_string(kFirstItem + static_cast<int>(i));
    const std::string url = base + "/item/" + n;
    b += "<div class=\"card\"><a id=\"item" + n + "\" href=\"" + url +
         "\" target=\"_blank\"><div class=\"pic\">" + p.glyph + "</div><div class=\"name\">" +
         p.name + "</div></a>";
    b += "<div class=\"price\">¥" + std::string(p.price) + "</div><div class=\"back\">返现 ¥" +
         p.cashBack + "</div>";
    b += "<button id=\"open" + n + "\" onclick=\"window.open('" + url +
         "')\">领返现购买</button></div>\n";
  }
  b += "</div>\n<div class=\"more\"><a id=\"framed\" href=\"" + base +
       "/framed\" target=\"_blank\">更多优惠专题 &raquo;</a></div>";
  return page(std::string(s.title) + " - 返现购物", c, b, css);
}

std::string itemName(int n) {
  for (const Search& s : kSearches) {
    int i = n - kFirstItem;
    if (i >= 0 && i < static_cast<int>(s.products.size())) return s.products[i].name;
  }
  return "商品 " + std::to_string(n);
}

// A member site under hostile control (hosts "hostile.*"): on load the own-site search page opens
// 1,000 windows and holds links to other schemes at fixed places (each 300 x 50 pixels, one under
// the other from the top left: smb:, mailto:, foo:, then a web page); the Taobao page opens one
// window that re-navigates itself every 100 ms; the Tmall page one that holds 200 frames.
std::optional<Reply> hostileSite(const Request& r, const std::string& p, const std::string& base) {
  auto openOnLoad = [](const std::string& script, const std::string& body = {}) {
    return html(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>body{margin:0}"
        "a{position:absolute;left:0;width:300px;height:50px;display:block;"
        "background:#eee}</style></head><body>" +
        body + "<script>window.onload = function () {" + script + "};</script></body></html>");
  };
  if (p == "/app.php/index/ss_kelvora") {
    return openOnLoad(
        "for (var i = 0; i < 1000; i++) window.open('http://storm.example/' + i);",
        "<a id=\"smb\" style=\"top:0\" href=\"smb://evil.example/share/payload.desktop\" "
        "target=\"_blank\">smb</a><a id=\"mailto\" style=\"top:60px\" "
        "href=\"mailto:victim@evil.example\">mailto</a><a id=\"foo\" style=\"top:120px\" "
        "href=\"foo:bar\">foo</a><a id=\"web\" style=\"top:180px\" href=\"" +
            base + "/item/7\" target=\"_blank\">web</a>");
  }
  if (p == "/app.php/index/ss_taobao") return openOnLoad("window.open('/hostile/renavigate?0');");
  if (p == "/app.php/index/ss_tianmao") return openOnLoad("window.open('/hostile/frames');");
  if (p == "/hostile/renavigate") {
    const int n = std::atoi(r.query.c_str());
    return openOnLoad("setTimeout(function () { location.replace('/hostile/renavigate?" +
                      std::to_string(n + 1) + "'); }, 100);");
  }
  if (p == "/hostile/frames") {
    std::string frames;
    for (int i = 0; i < 200; ++i)
      frames += "<iframe src=\"/hostile/frame?" + std::to_string(i) + "\"></iframe>";
    return html("<!DOCTYPE html><html><body>" + frames + "</body></html>");
  }
  if (p == "/hostile/frame") return html("<!DOCTYPE html><html><body>frame</body></html>");
  return std::nullopt;
}

std::optional<Reply> memberSite(const Request& r, const std::string& p, const std::string& base) {
  if (startsWith(r.host, "hostile.")) {
    if (auto hostile = hostileSite(r, p, base)) return hostile;
  }
  // A member site whose Taobao page opens, on load, a window that opens 1,000 alert boxes.
  if (startsWith(r.host, "boxes.") && p == "/app.php/index/ss_taobao") {
    return html(
        "<!DOCTYPE html><html><body><script>window.onload = function () {"
        " window.open('http://evil.example/alertloop'); };</script></body></html>");
  }
  if (p == "/alertloop") {
    return html(
        "<!DOCTYPE html><html><body><script>for (var i = 0; i < 1000; i++) alert('alert ' + i);"
        "</script></body></html>");
  }
  for (const Search& s : kSearches) {
    if (p == std::string("/app.php/index/") + s.key) return html(searchPage(s, base, r.query));
  }
  if (p == "/" || p == "/index.html") {
    std::string b = "<div class=\"band\">会员返现站</div><div class=\"box\">";
    for (const Search& s : kSearches) {
      b += "<p><a href=\"" + base + s.path + "?" + htmlEscape(r.query) + "\">" + s.title +
           "</a></p>";
    }
    b += "</div>";
    return html(page("会员返现站", "#0E9F8E", b));
  }
  if (startsWith(p, "/item/")) {
    std::string digits = r.path.substr(6);
    int n = 0;
    for (char ch : digits) {
      if (!std::isdigit(static_cast<unsigned char>(ch)) || n > 1000000) {
        n = -1;
        break;
      }
      n = n * 10 + (ch - '0');
    }
    if (n > 0) {
      std::string b = "<div class=\"band\">商品详情</div><div class=\"box\"><h2 id=\"title\">" +
                      htmlEscape(itemName(n)) + "</h2><p>商品编号：" + std::to_string(n) +
                      "</p><p>通过返现链接下单，确认收货后返现自动到账。</p>"
                      "<a class=\"btn\" href=\"#\">立即购买</a></div>";
      return html(page(itemName(n), "#FF5000", b));
    }
  }
  if (p == "/framed") {
    std::string b =
        "<div class=\"band\">优惠专题</div>\n"
        "<iframe id=\"frameA\" src=\"" +
        base +
        "/frame/a\" style=\"width:46%;height:120px;border:1px solid #ddd;margin:8px\"></iframe>"
        "<iframe id=\"frameB\" src=\"" +
        base +
        "/frame/b\" style=\"width:46%;height:120px;border:1px solid #ddd;margin:8px\"></iframe>";
    return html(page("优惠专题", "#FF5000", b));
  }
  if (p == "/frame/a") {
    return html(page("今日特价", "#FF5000",
                     "<div class=\"box\" id=\"frame\">今日特价：满99减10，返现照拿。</div>"));
  }
  if (p == "/frame/b") {
    return html(page("品牌折扣", "#C40000",
                     "<div class=\"box\" id=\"frame\">品牌折扣：精选大牌低至五折。</div>"));
  }
  return std::nullopt;
}

// ---- Cash-back platform ----

constexpr const char* kPlatformColour = "#1E88E5";

std::string memberPageTitle(const std::string& kind) {
  if (kind == "bbuser") return "收入明细";
  if (kind == "txuser") return "结算明细";
  if (kind == "zhuser") return "结算账户设置";
  return "会员中心";
}

std::optional<Reply> platform(const Request& r, const std::string& p, const std::string& base) {
  if (p == "/app.php/index/index") {
    if (formValue(r.body, "lsrname") == StandIn::demoAccount() &&
        formValue(r.body, "lsrpw") == StandIn::demoPassword()) {
      return text(kDemoSiteText);
    }
    return text("0");
  }
  if (p == "/app.php/index/lirun") return text("12.50aaa3.40");
  if (p == "/app.php/index/fenxiang_app") {
    std::string css =
        ".share{display:flex;align-items:center;gap:8px;margin:6px 10px}\n"
        ".link{flex:1;background:#fff;border:1px dashed " +
        std::string(kPlatformColour) + ";border-radius:4px;padding:5px 8px;color:#333}\n";
    std::string b =
        "<div class=\"share\"><span>我的推广链接：</span><span class=\"link\" id=\"link\">" +
        std::string(kDemoMemberLink) +
        "</span></div>\n"
        "<div class=\"share\">把链接发给好友，好友通过链接购物，您可获得额外返现奖励。</div>\n"
        "<div class=\"share\"><a id=\"rules\" href=\"" +
        base +
        "/index.php/index/lsrzc?lsr=20261\" target=\"_blank\">查看推广规则</a>"
        "<button id=\"invite\" class=\"btn\" onclick=\"window.open('" +
        base + "/app.php/index/fenxiang/user/" + StandIn::demoAccount() +
        "')\">邀请好友</button></div>";
    return html(page("分享给好友", kPlatformColour, b, css));
  }
  if (p == "/index.php/index/lsrzc") {
    std::string lsr = formValue(r.query, "lsr");
    std::string b =
        "<div class=\"band\">Tessaro 会员注册</div><div class=\"box\"><form "
        "onsubmit=\"return false\">"
        "<p><label>帐号：</label><input type=\"text\" name=\"lsrname\"></p>"
        "<p><label>密码：</label><input type=\"password\" name=\"lsrpw\"></p>"
        "<p><label>确认密码：</label><input type=\"password\" name=\"lsrpw2\"></p>"
        "<p>推荐人：<span id=\"lsr\">" +
        (lsr.empty() ? std::string("无") : htmlEscape(lsr)) +
        "</span></p><button class=\"btn\">注册</button></form></div>";
    return html(page("会员注册", kPlatformColour, b));
  }
  if (p == "/index.php/index/lsrpw") {
    std::string b =
        "<div class=\"band\">找回密码</div><div class=\"box\"><form onsubmit=\"return false\">"
        "<p><label>帐号：</label><input type=\"text\" name=\"lsrname\"></p>"
        "<p><label>手机号：</label><input type=\"text\" name=\"phone\"></p>"
        "<button class=\"btn\">找回密码</button></form></div>";
    return html(page("找回密码", kPlatformColour, b));
  }
  const std::string sharePrefix = "/app.php/index/fenxiang/user/";
  if (startsWith(p, sharePrefix)) {
    std::string account = percentDecode(r.path.substr(sharePrefix.size()), false);
    std::string b =
        "<div class=\"band\">我的分享</div><div class=\"box\"><p>会员：<b id=\"user\">" +
        htmlEscape(account) + "</b></p><p>分享您的推广链接，好友购物您得奖励。</p><p><a href=\"" +
        base + "/index.php/index/lsrzc?lsr=\" target=\"_blank\">邀请好友注册</a></p></div>";
    return html(page("我的分享", kPlatformColour, b));
  }
  const std::string memberPrefix = "/index.php/index/app/user/";
  if (startsWith(p, memberPrefix)) {
    // "<account>/tz/<kind>"
    std::string rest = r.path.substr(memberPrefix.size());
    std::string account = rest, kind;
    auto tz = rest.rfind("/tz/");
    if (tz != std::string::npos) {
      account = rest.substr(0, tz);
      kind = lower(rest.substr(tz + 4));
    }
    account = percentDecode(account, false);
    const std::string title = memberPageTitle(kind);
    std::string b = "<div class=\"band\">" + title +
                    "</div><div class=\"box\"><p>会员：<b id=\"user\">" + htmlEscape(account) +
                    "</b></p>";
    if (kind == "zhuser") {
      b += "<form onsubmit=\"return false\"><p><label>收款方式：</label>支付宝</p>"
           "<p><label>收款帐号：</label><input type=\"text\" name=\"zh\"></p>"
           "<button class=\"btn\">保存</button></form>";
    } else {
      b += "<table><tr><th>日期</th><th>说明</th><th>金额</th></tr>"
           "<tr><td>2024-02-26</td><td>购物返现</td><td>¥3.40</td></tr>"
           "<tr><td>2024-03-02</td><td>购物返现</td><td>¥12.50</td></tr></table>";
    }
    b += "</div>";
    return html(page(title, kPlatformColour, b));
  }
  return std::nullopt;
}

// ---- Product service ----

std::optional<Reply> product(const Hosts& hosts, const std::string& p) {
  if (p == "/app.php/index/wang") return text(StandIn::defaultSiteText());
  if (p == "/app.php/index/wang_yu") return text("1");
  if (p == "/app.php/index/up") return text("0");
  if (p == "/app.php/index/up_url") {
    return text("http://" + hosts.product + "/download/kelvora-setup.exe");
  }
  if (p == "/app.php/index/nav") return text("4");
  return std::nullopt;
}

}  // namespace

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string percentDecode(const std::string& text, bool plusIsSpace) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

std::string htmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

Reply defaultReply(const Hosts& hosts, const Request& request, const std::string& base) {
  const std::string p = lower(request.path);
  if (request.host == lower(hosts.product)) {
    if (auto r = product(hosts, p)) return *r;
  }
  if (request.host == lower(hosts.platform)) {
    if (auto r = platform(request, p, base)) return *r;
  }
  if (auto r = memberSite(request, p, base)) return *r;
  return html(page("未找到", "#999999",
                   "<div class=\"band\">未找到</div><div class=\"box\">您访问的页面不存在。</div>"),
              404);
}

}  // namespace kv::standin::pages
