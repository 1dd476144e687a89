#include "Hostile.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

// beacon(what) asks /beacon?what of the page's own server.
// A synchronous request, so that it leaves before a script that never yields.
const char* const kBeacon =
    "function beacon(what){try{var x=new XMLHttpRequest();"
    "x.open('GET','/beacon?'+encodeURIComponent(what)+'&t='+Date.now()+Math.random(),false);"
    "x.send();}catch(e){}}";

std::string HostilePage(const std::string& title, const std::string& body,
                        const std::string& script) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head><body>" + body + "<script>" + kBeacon + "\n" + script +
           "</script></body></html>\n";
}

void Html(httplib::Response& res, const std::string& html) {
    res.set_content(html, "text/html; charset=utf-8");
}

} // namespace

void ServeHostile(httplib::Server& server) {
    server.Get("/beacon",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });

    // Tries to read the photo under every address it can guess, as a picture
    // and by fetch, then says it is done.
    server.Get("/hostile/steal-photo", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 取照片", "<p>steal</p>",
                              "var tries=[];for(var k=1;k<=8;k++)(function(k){"
                              " var u='tavlin-photo://photo/'+k+'.jpg';"
                              " tries.push(new Promise(function(done){var i=new Image();"
                              "  i.onload=function(){beacon('stolen-image-'+k);done();};"
                              "  i.onerror=function(){done();};i.src=u;}));"
                              " tries.push(fetch(u).then(function(r){return r.arrayBuffer();})"
                              "  .then(function(b){beacon('stolen-fetch-'+k+'-'+b.byteLength);})"
                              "  .catch(function(){}));"
                              "})(k);"
                              "Promise.all(tries).then(function(){beacon('steal-done');});"));
    });

    // Opens alert after alert, for ever.
    server.Get("/hostile/alert-loop", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 对话框", "<p>alerts</p>",
                              "setTimeout(function(){beacon('alerts-start');"
                              "for(;;){alert('请稍候');}},100);"));
    });

    // Sends the main frame to ?to=<address> and says afterwards that it is
    // still there.
    server.Get("/hostile/navigate", [](const httplib::Request& req, httplib::Response& res) {
        const std::string to = req.get_param_value("to");
        std::string literal;
        for (const char c : to) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            literal += hex;
        }
        Html(res, HostilePage("首页 - 跳转", "<p>navigate</p>",
                              "setTimeout(function(){location.href='" + literal +
                                  "';},50);setTimeout(function(){beacon('still-here');},1500);"));
    });

    // Loads the program's own pictures and skin.
    server.Get("/hostile/own-resources", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 资源", "<p>resources</p>",
                              "var i=new Image();i.onload=function(){beacon('qrc-image-loaded');};"
                              "i.onerror=function(){beacon('qrc-image-refused');};"
                              "i.src='qrc:/pictures/title.jpg';"
                              "fetch('qrc:/skin/skin.qss').then(function(r){return r.text();})"
                              ".then(function(t){beacon('qrc-fetched-'+t.length);})"
                              ".catch(function(){beacon('qrc-fetch-refused');});"));
    });

    // Accepts the request and answers only after ?seconds= (default 120).
    server.Get("/hostile/never-answers", [](const httplib::Request& req, httplib::Response& res) {
        const std::string seconds = req.get_param_value("seconds");
        std::this_thread::sleep_for(
            std::chrono::seconds(seconds.empty() ? 120 : std::stoi(seconds)));
        Html(res, HostilePage("首页", "<p>late</p>", ""));
    });

    // A script that never yields, after the page has loaded.
    server.Get("/hostile/busy", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 忙", "<p>busy</p>",
                              "setTimeout(function(){beacon('busy-start');for(;;){}},300);"));
    });

    // A home page whose index function never returns.
    server.Get("/hostile/busy-index", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页", "<p>index</p>",
                              "function Func_RedirectIndex(){beacon('index-start');for(;;){}}"));
    });

    // Reports the context menu, drops, keys and clicks it receives.
    server.Get("/hostile/events", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage(
                      "首页 - 事件",
                      "<div style=\"position:fixed;left:0;top:0;right:0;bottom:0\">events</div>",
                      "document.addEventListener('contextmenu',function(e){beacon('contextmenu');"
                      "e.preventDefault();});"
                      "document.addEventListener('dragover',function(e){e.preventDefault();});"
                      "document.addEventListener('drop',function(e){e.preventDefault();"
                      "beacon('drop');});"
                      "document.addEventListener('keydown',function(e){beacon('key-'+e.key);});"
                      "document.addEventListener('wheel',function(e){if(e.ctrlKey)"
                      "beacon('ctrl-wheel');});"));
    });
}
