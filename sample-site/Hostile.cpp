#include "Hostile.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

namespace {

// beacon(what) asks /beacon?what of the page's own server.
// A synchronous request, so that it leaves before a script that never yields.
const char* const kBeacon =
    "function beacon(what){try{var x=new XMLHttpRequest();"
    "x.open('GET','/beacon?'+encodeURIComponent(what)+'&t='+Date.now()+Math.random(),false);"
    "x.send();}catch(e){}}";

} // namespace

std::string HostilePage(const std::string& title, const std::string& body,
                        const std::string& script) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head><body>" + body + "<script>" + kBeacon + "\n" + script +
           "</script></body></html>\n";
}

void Html(httplib::Response& res, const std::string& html) {
    res.set_content(html, "text/html; charset=utf-8");
}

void ServeHostile(httplib::Server& server) {
    ServePrinting(server);
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

    // Says it has loaded before it has: a load event of its own making, under
    // a title it drops before its real load.
    server.Get("/hostile/early-load", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("列表 - 提前", "<p>early load</p>",
                              "document.title='照片 - 伪造';"
                              "window.dispatchEvent(new Event('load'));"
                              "setTimeout(function(){document.title='列表 - 提前';},0);"));
    });

    // Replaces every function and getter the program's own script could use
    // later, with ones that tell on it; stops every load and drag listener
    // after its own and clears every timer at its load event; then starts a
    // drag of its own making and says whether it was cancelled.
    server.Get("/hostile/poisoned", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             HostilePage(
                 "列表 - 毒", "<p id=\"Lbl_PoliceName\">poisoned</p>",
                 "function tell(what){return function(){beacon(what);return '';};}"
                 "console.log=function(m){beacon('log-'+String(m).slice(0,12));};"
                 "console.info=console.warn=console.error=console.log;"
                 "JSON.stringify=tell('stringify-called');"
                 "Reflect.apply=tell('apply-called');"
                 "Event.prototype.preventDefault=tell('prevent-called');"
                 "NodeList.prototype.item=tell('item-called');"
                 "Document.prototype.querySelectorAll=tell('query-called');"
                 "Element.prototype.getAttribute=tell('attribute-called');"
                 "Object.defineProperty(Document.prototype,'title',{configurable:true,"
                 " get:function(){beacon('title-read');return '照片 - 伪造';}});"
                 "Object.defineProperty(HTMLElement.prototype,'innerText',{configurable:true,"
                 " get:function(){beacon('text-read');return '伪造';}});"
                 "window.addEventListener('load',function(e){e.stopImmediatePropagation();"
                 " for(var i=0;i<100000;++i)clearTimeout(i);"
                 " var d=document.getElementById('Lbl_PoliceName');"
                 " d.dispatchEvent(new DragEvent('dragstart',{bubbles:true,cancelable:true}));"
                 "},true);"
                 "window.addEventListener('dragstart',function(e){"
                 " beacon('dragstart-'+e.defaultPrevented);e.stopImmediatePropagation();},true);"));
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

    // A page-wide button that, clicked by the officer, asks for the PC's
    // files: ?do=input (a file input), folder (a folder upload), open
    // (showOpenFilePicker) or save (showSaveFilePicker, then writes).
    server.Get("/hostile/files", [](const httplib::Request& req, httplib::Response& res) {
        const std::string mode = req.get_param_value("do");
        std::string action;
        if (mode == "input" || mode == "folder") {
            action = "var i=document.createElement('input');i.type='file';" +
                     std::string(mode == "folder" ? "i.webkitdirectory=true;" : "") +
                     "i.onchange=function(){beacon('file-chosen-'+i.files.length);};"
                     "document.body.appendChild(i);i.click();"
                     "setTimeout(function(){beacon('file-done-'+i.files.length);},1500);";
        } else if (mode == "open") {
            action = "showOpenFilePicker().then(function(h){return h[0].getFile();})"
                     ".then(function(f){return f.text();})"
                     ".then(function(t){beacon('file-read-'+t.length);})"
                     ".catch(function(e){beacon('file-done-'+e.name);});";
        } else {
            action = "showSaveFilePicker({suggestedName:'kept.txt'})"
                     ".then(function(h){return h.createWritable();})"
                     ".then(function(w){return w.write('x').then(function(){return w.close();});})"
                     ".then(function(){beacon('file-written');})"
                     ".catch(function(e){beacon('file-done-'+e.name);});";
        }
        Html(res, HostilePage("首页 - 文件",
                              "<button id=\"go\" style=\"position:fixed;left:0;top:0;width:100%;"
                              "height:100%\">files</button>",
                              "document.getElementById('go').onclick=function(){" + action +
                                  "};beacon('files-ready');"));
    });

    // A frame whose whole area is a link to ?to= (mailto:, tel:, a custom
    // scheme); with &how=script the frame goes there by itself.
    server.Get("/hostile/launch", [](const httplib::Request& req, httplib::Response& res) {
        const std::string query = req.get_param_value("to");
        std::string encoded;
        for (const char c : query) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            encoded += hex;
        }
        Html(res, HostilePage("首页 - 链接",
                              "<p>links</p><iframe src=\"/hostile/launch-frame?how=" +
                                  req.get_param_value("how") + "&to=" + encoded +
                                  "\" style=\"width:900px;height:500px;border:0\"></iframe>",
                              "document.addEventListener('mousedown',function(e){"
                              "beacon('top-mousedown');});"));
    });
    server.Get("/hostile/launch-frame", [](const httplib::Request& req, httplib::Response& res) {
        std::string literal;
        for (const char c : req.get_param_value("to")) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            literal += hex;
        }
        const bool script = req.get_param_value("how") == "script";
        Html(res, HostilePage("链接",
                              "<a id=\"link\" style=\"position:fixed;left:0;top:0;"
                              "width:100%;height:100%;display:block;background:#eef\">"
                              "link</a>",
                              "var a=document.getElementById('link');a.href='" + literal +
                                  "';a.addEventListener('click',function(){"
                                  "beacon('link-clicked');});"
                                  "document.addEventListener('mousedown',function(e){"
                                  "beacon('frame-mousedown-'+e.target.id);});" +
                                  (script ? "setTimeout(function(){beacon('link-clicked');"
                                            "location.href='" +
                                                literal + "';},100);"
                                          : "") +
                                  "beacon('frame-ready');"));
    });

    // Refused navigations with long addresses in a loop, and a flood of long
    // console messages, then says it is done.
    server.Get("/hostile/flood", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 洪水", "<p>flood</p>",
                              "var big='a'.repeat(60000);var n=0;"
                              "for(var k=0;k<300;k++)console.error('flood '+k+' '+big);"
                              "var timer=setInterval(function(){"
                              " location.href='qrc:/pictures/title.jpg?'+n+big;"
                              " if(++n>=400){clearInterval(timer);"
                              "  setTimeout(function(){beacon('flood-done-'+n);},500);}"
                              "},5);"));
    });

    // A photo page that moves on by its own timer, ms after it loaded, to the
    // photo trap of the server on 127.0.0.1:port (with this server's port: the
    // same origin; with another: another origin of the same site).
    server.Get(R"(/hostile/photo-moves/(\d+)/(\d+))", [](const httplib::Request& req,
                                                         httplib::Response& res) {
        Html(res, HostilePage("企业监督检查信息添加",
                              "<input type=\"hidden\" id=\"Txt_InspectPhotoStr\">"
                              "<img id=\"Img_InspectPhoto\" alt=\"\">",
                              "beacon('moves-ready');setTimeout(function(){"
                              "location.href='http://127.0.0.1:" +
                                  std::string(req.matches[1]) + "/hostile/photo-trap';}," +
                                  std::string(req.matches[2]) + ");"));
    });

    // A photo page of any origin that reports what reaches its photo fields.
    server.Get("/hostile/photo-trap", [](const httplib::Request&, httplib::Response& res) {
        Html(res,
             HostilePage("企业监督检查信息添加",
                         "<input type=\"hidden\" id=\"Txt_InspectPhotoStr\">"
                         "<img id=\"Img_InspectPhoto\" alt=\"\">",
                         "var f=document.getElementById('Txt_InspectPhotoStr');"
                         "var i=document.getElementById('Img_InspectPhoto');"
                         "i.onload=function(){beacon('trap-image-'+i.naturalWidth);};"
                         "setInterval(function(){if(f.value)beacon('trap-text-'+f.value.length);"
                         "},100);beacon('trap-ready');"));
    });

    // confirm() and prompt() on the officer's click; reports the answers.
    server.Get("/hostile/dialogs", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 对话",
                              "<button id=\"go\" style=\"position:fixed;left:0;top:0;width:100%;"
                              "height:100%\">dialogs</button>",
                              "document.getElementById('go').onclick=function(){"
                              " var c=confirm('确认删除?');beacon('confirm-'+c);"
                              " var p=prompt('名称','默认');beacon('prompt-'+p);};"
                              "beacon('dialogs-ready');"));
    });

    // A home page that asks before it is left, once the officer has clicked it.
    server.Get("/hostile/leave", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - 离开",
                              "<button id=\"go\" style=\"position:fixed;left:0;top:0;width:100%;"
                              "height:100%\">leave</button>",
                              "function Func_RedirectIndex(){location.href='/home?from=leave';}"
                              "window.addEventListener('beforeunload',function(e){"
                              " e.preventDefault();e.returnValue='';});"
                              "document.getElementById('go').onclick=function(){"
                              " beacon('leave-clicked');};beacon('leave-ready');"));
    });

    // A start page that stops its own load while a picture is still coming;
    // the folder after stopped/ is its title.
    server.Get(
        R"(/hostile/stopped/([^/]+)/.*)", [](const httplib::Request& req, httplib::Response& res) {
            const std::string title = req.matches[1];
            Html(res, HostilePage(title, "<img src=\"/hostile/never-answers?seconds=30\">",
                                  "setTimeout(function(){window.stop();beacon('stopped');},300);"));
        });

    // A capability a page may try, ?name=, and what it got: result-<outcome>.
    server.Get("/hostile/capability", [](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.get_param_value("name");
        static const std::map<std::string, std::string> kTries = {
            {"notifications", "Notification.requestPermission().then(function(p){done(p);});"},
            {"location", "navigator.geolocation.getCurrentPosition(function(){done('granted');},"
                         "function(e){done('denied');});"},
            {"camera", "navigator.mediaDevices.getUserMedia({video:true})"
                       ".then(function(){done('granted');},function(e){done(e.name);});"},
            {"microphone", "navigator.mediaDevices.getUserMedia({audio:true})"
                           ".then(function(){done('granted');},function(e){done(e.name);});"},
            {"screen", "navigator.mediaDevices.getDisplayMedia({video:true})"
                       ".then(function(){done('granted');},function(e){done(e.name);});"},
            {"full-screen", "document.documentElement.requestFullscreen()"
                            ".then(function(){done('granted');},function(e){done('refused');});"},
            {"mouse-lock",
             "document.addEventListener('pointerlockchange',function(){"
             "done(document.pointerLockElement?'granted':'released');});"
             "document.addEventListener('pointerlockerror',function(){done('refused');});"
             "document.body.requestPointerLock();"},
            {"new-window", "var w=window.open('/home');setTimeout(function(){"
                           "done(w&&!w.closed?'opened':'refused');},500);"},
            {"clipboard", "navigator.clipboard.readText().then(function(t){done('read');},"
                          "function(e){done(e.name);});"},
            {"paste", "done(document.execCommand('paste')?'pasted':'refused');"},
            {"webgl", "var c=document.createElement('canvas');"
                      "done(c.getContext('webgl')||c.getContext('webgl2')?'granted':'none');"},
            {"print", "window.print();done('returned');"},
            {"close", "window.close();setTimeout(function(){done('returned');},300);"},
            {"protocol-handler", "try{navigator.registerProtocolHandler('web+tavlin',"
                                 "location.origin+'/home?%s');}catch(e){}"
                                 "setTimeout(function(){done('asked');},300);"},
            {"storage", "navigator.storage.persist().then(function(p){done(p?'granted':'refused');"
                        "});"},
            {"download", "var a=document.createElement('a');a.href='/download';a.download='x.txt';"
                         "document.body.appendChild(a);a.click();"
                         "setTimeout(function(){done('asked');},1000);"},
            {"sign-in", "var f=document.createElement('iframe');f.src='/hostile/sign-in';"
                        "f.onload=function(){done('loaded');};document.body.appendChild(f);"},
            // A data: document has an origin of its own: its frame's document
            // is out of reach once it loaded, and stays the empty one if not.
            {"frame-data", "var f=document.createElement('iframe');f.src='data:text/html,<b>x</b>';"
                           "document.body.appendChild(f);setTimeout(function(){"
                           "done(f.contentDocument?'refused':'loaded');},1500);"},
        };
        const auto found = kTries.find(name);
        if (found == kTries.end()) {
            res.status = 404;
            return;
        }
        Html(res, HostilePage("首页 - 能力",
                              "<button id=\"go\" style=\"position:fixed;left:0;top:0;width:100%;"
                              "height:100%\">try</button>",
                              "var said=false;function done(what){if(!said){said=true;"
                              "beacon('result-'+what);}}"
                              "document.getElementById('go').onclick=function(){" +
                                  found->second + "};beacon('capability-ready');"));
    });

    // What the PC's mouse and keyboard give the page: every button pressed,
    // anything pasted or typed into its one editable area, a drag of its
    // picture (and whether it went ahead), F6, which it keeps for itself.
    server.Get("/hostile/pc", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage(
                      "首页 - 输入",
                      "<div id=\"area\" contenteditable=\"true\" style=\"position:fixed;left:0;"
                      "top:0;right:0;bottom:0\"></div>"
                      "<img id=\"pic\" draggable=\"true\" width=\"120\" height=\"120\" "
                      "style=\"position:fixed;left:20px;top:20px\" src=\"data:image/svg+xml,"
                      "%3Csvg xmlns='http://www.w3.org/2000/svg' width='120' height='120'%3E"
                      "%3Crect width='120' height='120' fill='%23c00'/%3E%3C/svg%3E\">",
                      "document.addEventListener('mousedown',function(e){"
                      "beacon('mouse-'+e.button);});"
                      "document.addEventListener('auxclick',function(e){beacon('aux-'+e.button);});"
                      "document.addEventListener('paste',function(){beacon('paste');});"
                      "document.addEventListener('input',function(){"
                      "beacon('input-'+document.getElementById('area').innerText.length);});"
                      "document.addEventListener('dragstart',function(e){"
                      "beacon('dragstart-'+e.defaultPrevented);});"
                      "document.addEventListener('keydown',function(e){if(e.key==='F6'){"
                      "e.preventDefault();beacon('f6');}});"
                      "beacon('pc-ready');"));
    });

    // Registers a service worker that would answer every navigation of its
    // scope with a login page of its own making, which reports the address
    // it was asked for (the start URL, with the enterprise's identity).
    server.Get("/hostile/service-worker", [](const httplib::Request&, httplib::Response& res) {
        Html(res, HostilePage("首页 - worker", "<p>worker</p>",
                              "if(!navigator.serviceWorker){beacon('sw-none');}else{"
                              "navigator.serviceWorker.register('/hostile/sw.js',{scope:'/'})"
                              ".then(function(r){return navigator.serviceWorker.ready;})"
                              ".then(function(){beacon('sw-registered');})"
                              ".catch(function(e){beacon('sw-refused');});}"));
    });
    server.Get("/hostile/sw.js", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Service-Worker-Allowed", "/");
        res.set_content("self.addEventListener('install',function(e){self.skipWaiting();});"
                        "self.addEventListener('activate',function(e){"
                        "e.waitUntil(self.clients.claim());});"
                        "self.addEventListener('fetch',function(e){"
                        "if(e.request.mode!=='navigate')return;"
                        "e.respondWith(new Response('<!DOCTYPE html><title>用户登录</title>"
                        "<script>fetch(\"/beacon?sw-answered-\"+encodeURIComponent("
                        "location.search))</script>',"
                        "{headers:{'Content-Type':'text/html; charset=utf-8'}}));});",
                        "application/javascript");
    });

    // Asks for a user name and password, as an HTTP server may.
    server.Get("/hostile/sign-in", [](const httplib::Request&, httplib::Response& res) {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"inspect\"");
        Html(res, HostilePage("登录", "<p>sign in</p>", ""));
    });
}
