#include "PageTitle.h"

#include "CodePage.h"
#include "EnterpriseIdentity.h"

#include <string>

PageKind ClassifyTitle(std::string_view codePageTitle) {
    static const std::string kLogin = CodePage::FromUtf8("登录");
    static const std::string kDetail = CodePage::FromUtf8("详情");
    static const std::string kHome = CodePage::FromUtf8("首页");
    static const std::string kList = CodePage::FromUtf8("列表");
    static const std::string kPhoto = CodePage::FromUtf8("照片");
    static const std::string kPhotoPage = CodePage::FromUtf8("企业监督检查信息添加");

    const std::string_view title = TrimControls(codePageTitle);
    const auto contains = [title](const std::string& keyword) {
        // Whole characters: a keyword's bytes across two characters do not count.
        return CodePage::FindCharacters(title, keyword) != std::string_view::npos;
    };
    if (contains(kLogin)) {
        return PageKind::Login;
    }
    if (contains(kDetail) || contains(kHome)) {
        return PageKind::DetailOrHome;
    }
    if (contains(kList)) {
        return PageKind::List;
    }
    if (contains(kPhoto) || title == kPhotoPage) {
        return PageKind::Photo;
    }
    return PageKind::Failed;
}
