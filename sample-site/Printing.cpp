#include "Hostile.h"

#include <string>

namespace {

// An inspection record as the back end prints it: its Chinese text, a part
// shown only on paper and a part shown only on the screen.
const char* const kRecord =
    "<style>body{font-family:'Noto Sans CJK SC','AR PL UMing CN',sans-serif}"
    ".paper{display:none}"
    "@media print{.paper{display:block}.screen{display:none}}</style>"
    "<h1>治安检查记录</h1>"
    "<p>被检查单位：平安旅馆　检查民警：张三</p>"
    "<p class=\"paper\">民警签字：＿＿＿＿　单位负责人签字：＿＿＿＿</p>"
    "<p class=\"screen\">屏幕上的按钮区</p>";

} // namespace

void ServePrinting(httplib::Server& server) {
    // Prints itself /<n> times in a row once loaded (each print() returns
    // when the officer has answered), saying print-returned-<i> after each.
    server.Get(R"(/print/record/(\d{1,2}))",
               [](const httplib::Request& req, httplib::Response& res) {
                   Html(res, HostilePage("首页 - 打印", kRecord,
                                         "window.addEventListener('load',function(){"
                                         "beacon('print-ready');"
                                         "for(var i=1;i<=" +
                                             std::string(req.matches[1]) +
                                             ";i++){"
                                             "window.print();beacon('print-returned-'+i);}});"));
               });

    // Prints for ever, from its load.
    server.Get("/print/loop", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 打印", kRecord,
                              "window.addEventListener('load',function(){"
                              "beacon('loop-ready');for(;;){window.print();}});"));
    });

    // Holds a frame of another origin (http://localhost:<port>, the same
    // site's other name), which prints itself; prints itself once the frame
    // said its print() returned.
    server.Get(
        R"(/print/framed/(\d{1,5}))", [](const httplib::Request& req, httplib::Response& res) {
            Html(res, HostilePage("首页 - 打印",
                                  std::string(kRecord) + "<iframe src=\"http://localhost:" +
                                      std::string(req.matches[1]) + "/print/frame\"></iframe>",
                                  "window.addEventListener('message',function(e){"
                                  "if(e.data==='frame-returned'){beacon('top-prints');"
                                  "window.print();beacon('top-returned');}});"));
        });
    server.Get("/print/frame", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("框架", "<p>另一个来源的框架</p>",
                              "window.addEventListener('load',function(){"
                              "window.print();beacon('frame-returned');"
                              "parent.postMessage('frame-returned','*');});"));
    });
}
