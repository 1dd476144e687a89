// tavlin-sample-site: a small stand-in for the police inspection web
// application, for demonstrations and end-to-end tests. It plays the web
// application's side of Tavlin's contract: an entry page that reads the start
// URL, then login, home, list, detail and photo pages whose titles carry the
// keywords Tavlin recognises, the officer labels, the page function
// Func_RedirectIndex and the photo form.
//
// Listens on 127.0.0.1 only. Every request's raw target is written to standard
// output as "REQUEST <method> <target>" (and appended to --log FILE), so that
// tests can see exactly what arrived.
#include "CodePage.h"
#include "Hostile.h"
#include "StrOper.h"

#include <httplib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Options {
    int port = 0;
    std::string logFile;
    int tourSeconds = 0;     // > 0: every page moves on to the next by itself
    std::string storeFolder; // where submitted photos are also written, as photo-N.jpg
    bool hostile = false;    // also the pages under /hostile/
    std::string certificate; // with key: https
    std::string key;
};

// What the entry page learnt from the start URL, shown on the following pages.
struct Visit {
    std::map<std::string, std::string> values; // decoded query values
    std::string rawQuery;
};

std::mutex g_lock;
Visit g_visit;
std::vector<std::string> g_photos; // submitted photos, JPEG bytes
std::string g_logFile;
int g_tourSeconds = 0;
std::string g_storeFolder;

// In a tour, the next page of each page, as an officer would click through them.
const std::map<std::string, std::string> kTour = {{"/login", "/home"},
                                                  {"/home", "/list"},
                                                  {"/list", "/detail?id=1"},
                                                  {"/detail", "/photo"},
                                                  {"/photo", "/notice"}};

std::string TourRefresh(const std::string& path) {
    const auto next = kTour.find(path);
    if (g_tourSeconds <= 0 || next == kTour.end()) {
        return "";
    }
    return "<meta http-equiv=\"refresh\" content=\"" + std::to_string(g_tourSeconds) +
           ";url=" + next->second + "\">";
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (const char c : text) {
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
            out.push_back(c);
        }
    }
    return out;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size()) {
            const std::string hex(text.substr(i + 1, 2));
            char* end = nullptr;
            const long v = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out.push_back(static_cast<char>(v));
                i += 2;
            } else {
                out.push_back('%');
            }
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Splits a raw query without decoding anything: the Base64 values carry '+'
// and '/' unescaped, which a form decoder would spoil.
std::map<std::string, std::string> RawQuery(std::string_view query) {
    std::map<std::string, std::string> values;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        values[std::string(pair.substr(0, eq))] =
            eq == std::string_view::npos ? "" : std::string(pair.substr(eq + 1));
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return values;
}

std::string Page(const std::string& title, const std::string& body, const std::string& script = "",
                 const std::string& path = "") {
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">" +
           TourRefresh(path) + "<title>" + HtmlEscape(title) +
           "</title><style>"
           "body{margin:0;font-family:'Noto Sans CJK SC','AR PL UMing CN',sans-serif;"
           "background:#eef2f7;color:#1d2b3a}"
           "header{background:linear-gradient(#2d5fa0,#1f4a80);color:#fff;padding:14px 28px;"
           "font-size:20px;letter-spacing:2px}"
           "header small{display:block;font-size:12px;opacity:.8;letter-spacing:0}"
           "nav{background:#fff;border-bottom:1px solid #c9d4e3;padding:8px 28px}"
           "nav a{margin-right:22px;color:#285ba2;text-decoration:none}"
           "main{margin:24px 28px;background:#fff;border:1px solid #c9d4e3;border-radius:4px;"
           "padding:20px 28px}"
           "h1{font-size:18px;color:#285ba2;border-bottom:2px solid #285ba2;padding-bottom:6px}"
           "table{border-collapse:collapse;width:100%}td,th{border:1px solid #d5dde8;"
           "padding:6px 10px;text-align:left}th{background:#f3f6fa}"
           ".officer{float:right;font-size:13px}.officer span{margin-left:12px}"
           "button,input[type=submit]{background:#285ba2;color:#fff;border:0;padding:7px 22px;"
           "border-radius:3px;cursor:pointer}"
           "</style></head><body><header>企业监督检查系统<small>治安管理 · 行业场所监督检查"
           "</small></header>\n" +
           body + "\n<script>" + script + "</script></body></html>\n";
}

std::string Officer() {
    return "<div class=\"officer\">民警：<span id=\"Lbl_PoliceName\">张建国</span>"
           "警号：<span id=\"Lbl_PoliceId\">110231</span>"
           "单位：<span id=\"Lbl_PoliceOrgId\">城关派出所</span></div>";
}

std::string Nav() {
    return "<nav><a href=\"/home\">首页</a><a href=\"/list\">检查记录</a>"
           "<a href=\"/photo\">新增检查</a><a href=\"/login\">退出</a>" +
           Officer() + "</nav>";
}

const char* kRedirectIndex =
    "function Func_RedirectIndex(){window.location.href='/home?from=index';}";

std::string EnterpriseTable() {
    std::lock_guard<std::mutex> guard(g_lock);
    const auto value = [](const char* key) {
        const auto it = g_visit.values.find(key);
        return it == g_visit.values.end() ? std::string("—") : HtmlEscape(it->second);
    };
    return "<table><tr><th>企业编号</th><td>" + value("id") + "</td><th>企业名称</th><td>" +
           value("name") + "</td></tr><tr><th>行业类别</th><td>" + value("type") +
           "</td><th>身份序列号</th><td>" + value("dog") + "</td></tr><tr><th>其他信息</th><td>" +
           value("other") + "</td><th>客户端版本</th><td>" + value("version") +
           "</td></tr></table>";
}

void LogRequest(const httplib::Request& req) {
    const std::string line = "REQUEST " + req.method + " " + req.target + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_logFile.empty()) {
        std::ofstream(g_logFile, std::ios::app | std::ios::binary) << line;
    }
}

// The value of the first field called name in an application/x-www-form-
// urlencoded body, decoded ('+' is a blank, %XX a byte); empty when absent.
std::string FormField(const std::string& body, const std::string& name) {
    std::size_t begin = 0;
    while (begin <= body.size()) {
        std::size_t end = body.find('&', begin);
        if (end == std::string::npos) {
            end = body.size();
        }
        const std::string pair = body.substr(begin, end - begin);
        const std::size_t eq = pair.find('=');
        if (pair.substr(0, eq) == name) {
            const std::string raw = eq == std::string::npos ? "" : pair.substr(eq + 1);
            std::string value;
            value.reserve(raw.size());
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '+') {
                    value += ' ';
                } else if (raw[i] == '%' && i + 2 < raw.size() &&
                           std::isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
                           std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
                    value += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    value += raw[i];
                }
            }
            return value;
        }
        begin = end + 1;
    }
    return {};
}

void Html(httplib::Response& res, const std::string& html) {
    res.set_content(html, "text/html; charset=utf-8");
}

void Serve(httplib::Server& server) {
    server.set_payload_max_length(64u << 20);

    server.Get("/inspect", [](const httplib::Request& req, httplib::Response& res) {
        const std::size_t q = req.target.find('?');
        const std::string query = q == std::string::npos ? "" : req.target.substr(q + 1);
        Visit visit;
        visit.rawQuery = query;
        for (const auto& [key, raw] : RawQuery(query)) {
            // id, type and dog are Base64 of code page text; the rest URL form encoded UTF-8.
            if (key == "id" || key == "type" || key == "dog") {
                visit.values[key] = CodePage::ToUtf8(TStrOper::DecodeBase64(raw));
            } else {
                visit.values[key] = PercentDecode(raw);
            }
        }
        {
            std::lock_guard<std::mutex> guard(g_lock);
            g_visit = visit;
        }
        res.set_redirect("/login");
    });

    server.Get("/login", [](const httplib::Request&, httplib::Response& res) {
        Html(res, Page("民警登录 - 企业监督检查系统",
                       "<main style=\"max-width:560px;margin:40px auto\"><h1>民警登录</h1>"
                       "<p>本机登记的企业：</p>" +
                           EnterpriseTable() +
                           "<form method=\"post\" action=\"/login\" style=\"margin-top:18px\">"
                           "<p>警号 <input name=\"user\" value=\"110231\"></p>"
                           "<p>密码 <input name=\"password\" type=\"password\" value=\"demo\"></p>"
                           "<input type=\"submit\" id=\"Btn_Login\" value=\"登 录\"></form></main>",
                       "", "/login"));
    });
    server.Post("/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/home", 303);
    });

    server.Get("/home", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             Page("首页 - 企业监督检查系统",
                  Nav() + "<main><h1>首页</h1><p>欢迎使用企业监督检查系统。当前检查的企业：</p>" +
                      EnterpriseTable() +
                      "<p style=\"margin-top:18px\"><a href=\"/photo\">新增监督检查记录</a>"
                      " · <a href=\"/list\">查看检查记录</a></p></main>",
                  kRedirectIndex, "/home"));
    });

    server.Get("/list", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             Page("检查记录列表 - 企业监督检查系统",
                  Nav() + "<main><h1>检查记录列表</h1><table><tr><th>日期</th><th>检查民警</th>"
                          "<th>结果</th><th></th></tr>"
                          "<tr><td>2026-12-01</td><td>张建国</td><td>合格</td>"
                          "<td><a href=\"/detail?id=1\">详情</a></td></tr>"
                          "<tr><td>2026-11-12</td><td>李卫东</td><td>限期整改</td>"
                          "<td><a href=\"/detail?id=2\">详情</a></td></tr></table></main>",
                  kRedirectIndex, "/list"));
    });

    server.Get("/detail", [](const httplib::Request&, httplib::Response& res) {
        Html(res, Page("检查记录详情 - 企业监督检查系统",
                       Nav() + "<main><h1>检查记录详情</h1>" + EnterpriseTable() +
                           "<p>检查结果：合格。消防通道畅通，住宿登记规范。</p></main>",
                       kRedirectIndex, "/detail"));
    });

    // A chain of pages for the navigation benchmark: /chain/<n>/<k> moves on to
    // page k+1 until page n-1; the titles cycle through the page kinds an
    // inspection walks (首页, 列表, 详情, 照片), each with the officer's details.
    // How a page moves on: inside its load event (/chain/<n>/<k>), just after
    // it (.../timeout: a script redirect's setTimeout 0), or by a click on a
    // link 300 ms after it (.../click, as an officer who read the page). A
    // click's address carries the time of the click (c=, ms since the epoch)
    // and the time from the previous click to this page's load event (d=, ms).
    server.Get(R"(/chain/(\d+)/(\d+)(/timeout|/click)?)", [](const httplib::Request& req,
                                                             httplib::Response& res) {
        static const char* const kKinds[] = {"首页", "列表", "详情", "照片"};
        const long count = std::strtol(req.matches[1].str().c_str(), nullptr, 10);
        const long page = std::strtol(req.matches[2].str().c_str(), nullptr, 10);
        const std::string move = req.matches[3].str();
        const std::string next =
            "/chain/" + std::to_string(count) + "/" + std::to_string(page + 1) + move;
        std::string script;
        if (page + 1 < count && move.empty()) {
            script = "window.addEventListener('load',function(){location.href='" + next + "';});";
        } else if (page + 1 < count && move == "/timeout") {
            script = "window.addEventListener('load',function(){setTimeout(function(){"
                     "location.href='" +
                     next + "';},0);});";
        } else if (page + 1 < count) {
            script = "window.addEventListener('load',function(){"
                     "var now=performance.timeOrigin+performance.now();"
                     "var c=parseFloat(new URLSearchParams(location.search).get('c'));"
                     "var t=performance.getEntriesByType('navigation')[0]||{};"
                     "var d=isNaN(c)?'':(now-c).toFixed(2)+'&n='+(performance.timeOrigin-c)"
                     ".toFixed(2)+'&q='+(t.requestStart||0).toFixed(2)+'&r='+(t.responseStart||0)"
                     ".toFixed(2)+'&e='+(t.responseEnd||0).toFixed(2)+'&l='+Math.max(0,"
                     "performance.timing.domLoading-performance.timing.navigationStart)"
                     ".toFixed(2)+'&i='+(t.domInteractive||0)"
                     ".toFixed(2)+'&w='+innerWidth+'x'+innerHeight+'x'+devicePixelRatio;"
                     "setTimeout(function(){var a=document.getElementById('next');"
                     "a.href='" +
                     next +
                     "?c='+(performance.timeOrigin+performance.now()).toFixed(2)+'&d='+d;"
                     "a.click();},300);});";
        }
        Html(res, Page(std::string(kKinds[page % 4]) + " - 第" + std::to_string(page) + "页",
                       Nav() + "<main><h1>" + kKinds[page % 4] + "</h1>" + EnterpriseTable() +
                           "<p><a id=\"next\" href=\"" + next + "\">下一页</a></p></main>",
                       script));
    });

    server.Get("/photo", [](const httplib::Request&, httplib::Response& res) {
        Html(res, Page("企业监督检查信息添加",
                       Nav() + "<main><h1>企业监督检查信息添加</h1>" + EnterpriseTable() +
                           "<form method=\"post\" action=\"/photo\" style=\"margin-top:18px\">"
                           "<p>检查情况 <input name=\"remark\" size=\"40\" value=\"现场检查\"></p>"
                           "<p>现场照片（请点击窗口上方的“拍照”按钮）</p>"
                           "<img id=\"Img_InspectPhoto\" alt=\"\" style=\"width:320px;height:240px;"
                           "border:1px solid #c9d4e3;background:#f3f6fa;object-fit:contain\">"
                           "<input type=\"hidden\" id=\"Txt_InspectPhotoStr\" "
                           "name=\"Txt_InspectPhotoStr\">"
                           "<p><input type=\"submit\" id=\"Btn_Submit\" value=\"提 交\"></p>"
                           "</form></main>",
                       kRedirectIndex, "/photo"));
    });
    // The photo form posts URL-encoded text of some MB. The library refuses
    // such bodies over 8 KB when it parses them itself, so this handler reads
    // the body and takes the field out of it.
    server.Post("/photo", [](const httplib::Request&, httplib::Response& res,
                             const httplib::ContentReader& reader) {
        std::string body;
        reader([&body](const char* data, std::size_t length) {
            body.append(data, length);
            return true;
        });
        const std::string bytes = TStrOper::DecodeBase64(FormField(body, "Txt_InspectPhotoStr"));
        std::size_t number = 0;
        {
            std::lock_guard<std::mutex> guard(g_lock);
            g_photos.push_back(bytes);
            number = g_photos.size();
            if (!g_storeFolder.empty()) {
                std::ofstream(g_storeFolder + "/photo-" + std::to_string(number) + ".jpg",
                              std::ios::binary)
                    << bytes;
            }
        }
        const std::string shown =
            bytes.empty() ? "<p>没有收到照片。</p>"
                          : "<p>已收到照片（" + std::to_string(bytes.size()) +
                                " 字节）：</p><img id=\"Img_Stored\" src=\"/stored/" +
                                std::to_string(number) + ".jpg\" style=\"max-width:480px\">";
        Html(res,
             Page("检查信息已保存 - 详情",
                  Nav() + "<main><h1>检查信息已保存</h1>" + shown + "</main>", kRedirectIndex));
    });
    server.Get(R"(/stored/(\d+)\.jpg)", [](const httplib::Request& req, httplib::Response& res) {
        const std::size_t n = std::strtoul(req.matches[1].str().c_str(), nullptr, 10);
        std::lock_guard<std::mutex> guard(g_lock);
        if (n == 0 || n > g_photos.size()) {
            res.status = 404;
            return;
        }
        res.set_content(g_photos[n - 1], "image/jpeg");
    });

    // Pages for the odd cases.
    server.Get("/frames", [](const httplib::Request&, httplib::Response& res) {
        // The frames' own titles would mislead a client that counted their completions.
        Html(res, Page("首页 - 企业监督检查系统",
                       Nav() + "<main><h1>首页</h1><iframe src=\"/frame/login\" width=\"45%\" "
                               "height=\"120\"></iframe> <iframe src=\"/frame/notice\" "
                               "width=\"45%\" height=\"120\"></iframe></main>",
                       kRedirectIndex));
    });
    server.Get("/frame/login", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>民警登录</title></head>"
             "<body>框架中的登录</body></html>");
    });
    server.Get("/frame/notice", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>系统公告</title></head>"
             "<body>框架中的公告</body></html>");
    });
    server.Get("/notice", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             Page("系统公告",
                  Nav() + "<main><h1>系统公告</h1><p>本页的标题不属于任何已知页面。</p></main>",
                  kRedirectIndex));
    });
    server.Get("/nolabels", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             Page("检查记录详情 - 无民警信息",
                  "<main><h1>检查记录详情</h1><p>本页没有民警信息。</p></main>", kRedirectIndex));
    });
    server.Get("/noname", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             Page("首页 - 缺少姓名",
                  "<nav><span id=\"Lbl_PoliceId\">110231</span> "
                  "<span id=\"Lbl_PoliceOrgId\">城关派出所</span></nav><main><h1>首页</h1></main>",
                  kRedirectIndex));
    });
    server.Get("/orgonly", [](const httplib::Request&, httplib::Response& res) {
        Html(
            res,
            Page(
                "检查记录列表 - 仅单位",
                "<nav><span id=\"Lbl_PoliceOrgId\">治安大队</span></nav><main><h1>列表</h1></main>",
                kRedirectIndex));
    });
    server.Get("/noindex", [](const httplib::Request&, httplib::Response& res) {
        Html(res, Page("首页 - 无首页函数", Officer() + "<main><h1>首页</h1></main>"));
    });
    server.Get("/rightclick", [](const httplib::Request&, httplib::Response& res) {
        // Reports every right-button event that reaches the page, and left clicks.
        Html(res,
             Page("首页 - 右键测试",
                  Officer() + "<main id=\"area\" style=\"height:400px\"><h1>右键测试</h1></main>",
                  std::string(kRedirectIndex) +
                      "function report(e){fetch('/report?event='+e.type+'&button='+e.button);}"
                      "['mousedown','mouseup','auxclick','dblclick'].forEach(function(t){"
                      "document.addEventListener(t,function(e){if(e.button===2)report(e);});});"
                      "document.addEventListener('contextmenu',report);"
                      "document.addEventListener('click',report);"));
    });
    // Photo pages for the odd cases of the photo import.
    const auto photoVariant = [&server](const char* path, const char* title, std::string fields) {
        server.Get(path, [title, fields](const httplib::Request&, httplib::Response& res) {
            Html(res, Page(title,
                           Nav() + "<main><h1>" + std::string(title) +
                               "</h1><form method=\"post\" "
                               "action=\"/photo\">" +
                               fields + "</form></main>",
                           kRedirectIndex));
        });
    };
    photoVariant("/photo-notext", "照片 - 无照片文本框",
                 "<img id=\"Img_InspectPhoto\" alt=\"\" style=\"width:320px\">");
    photoVariant("/photo-noimage", "照片 - 无照片图片",
                 "<input type=\"hidden\" id=\"Txt_InspectPhotoStr\" name=\"Txt_InspectPhotoStr\">");
    photoVariant("/photo-textarea", "照片 - 多行文本框",
                 "<textarea id=\"Txt_InspectPhotoStr\" name=\"Txt_InspectPhotoStr\"></textarea>"
                 "<img id=\"Img_InspectPhoto\" alt=\"\" style=\"width:320px\">");
    photoVariant("/photo-divimage", "照片 - 图片是块元素",
                 "<input type=\"hidden\" id=\"Txt_InspectPhotoStr\" name=\"Txt_InspectPhotoStr\">"
                 "<div id=\"Img_InspectPhoto\"></div>");

    server.Get("/report",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    // A page sent with an HTTP error status: /status/<code>/<title>.
    server.Get(R"(/status/(\d{3})/([^/]*))",
               [](const httplib::Request& req, httplib::Response& res) {
                   res.status = std::stoi(req.matches[1]);
                   Html(res, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" +
                                 std::string(req.matches[2]) + "</title></head><body><p>" +
                                 std::string(req.matches[1]) + "</p></body></html>");
               });
    server.Get("/error500", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        Html(res,
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>500 服务器内部错误</title>"
             "</head><body><h1>500</h1></body></html>");
    });

    server.Get("/",
               [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/login"); });
    // Links that lead to no new document: an answer without content and a download.
    server.Get("/nocontent",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server.Get("/download", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Disposition", "attachment; filename=\"report.txt\"");
        res.set_content("report", "application/octet-stream");
    });
    server.Get("/favicon.ico",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });

    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        LogRequest(req);
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) {
                return false;
            }
            options.port = static_cast<int>(port);
        } else if (arg == "--log" && i + 1 < argc) {
            options.logFile = argv[++i];
        } else if (arg == "--store" && i + 1 < argc) {
            options.storeFolder = argv[++i];
        } else if (arg == "--tour" && i + 1 < argc) {
            options.tourSeconds = std::atoi(argv[++i]);
        } else if (arg == "--hostile") {
            options.hostile = true;
        } else if (arg == "--tls" && i + 2 < argc) {
            options.certificate = argv[++i];
            options.key = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: tavlin-sample-site [--port N] [--log FILE] [--tour SECONDS] [--store DIR]\n"
            "                          [--hostile] [--tls CERTIFICATE KEY]\n"
            "Serves the sample inspection web application on 127.0.0.1:N "
            "(N = 0: any free port).\n"
            "--tour: each page moves on to the next after SECONDS, from the login "
            "page through home, list, detail and photo to a page Tavlin does not "
            "know.\n"
            "--hostile: also serve pages under /hostile/ that attack the shell (tests).\n"
            "--tls: serve https with the given PEM certificate and key.\n");
        return 2;
    }
    g_logFile = options.logFile;
    g_tourSeconds = options.tourSeconds;
    g_storeFolder = options.storeFolder;
    std::unique_ptr<httplib::Server> owned;
    if (options.certificate.empty()) {
        owned = std::make_unique<httplib::Server>();
    } else {
        owned =
            std::make_unique<httplib::SSLServer>(options.certificate.c_str(), options.key.c_str());
    }
    httplib::Server& server = *owned;
    Serve(server);
    if (options.hostile) {
        ServeHostile(server);
    }
    const int port = options.port == 0
                         ? server.bind_to_any_port("127.0.0.1")
                         : (server.bind_to_port("127.0.0.1", options.port) ? options.port : -1);
    if (port < 0) {
        std::fprintf(stderr, "tavlin-sample-site: cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    std::printf("LISTENING %d\n", port);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
