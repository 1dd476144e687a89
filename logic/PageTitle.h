// What kind of page the web application shows, decided from its title.
#pragma once

#include <string_view>

enum class PageKind { Login, DetailOrHome, List, Photo, Failed };

// Decides by the first rule that holds, on the title with leading and trailing
// bytes of code 32 or lower removed: contains "登录" -> Login; contains "详情"
// or "首页" -> DetailOrHome; contains "列表" -> List; contains "照片" or is
// exactly "企业监督检查信息添加" -> Photo; anything else, the empty title
// included -> Failed. codePageTitle is an 8-bit text in the code page.
PageKind ClassifyTitle(std::string_view codePageTitle);
