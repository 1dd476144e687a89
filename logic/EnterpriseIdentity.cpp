#include "EnterpriseIdentity.h"

#include "CodePage.h"
#include "StrOper.h"
#include "UrlEncode.h"

std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) {
        text.remove_suffix(1);
    }
    return text;
}

IdentityFields NormaliseIdentity(const EnterpriseIdentity& identity) {
    IdentityFields fields{identity.TypeCode, identity.EnterpriseNumber, identity.EnterpriseName,
                          identity.IdentitySerial, identity.OtherInfo};
    if (TrimControls(fields.TypeCode) == "R02") {
        fields.TypeCode = "R01";
        if (identity.LongCode.size() > 12) {
            fields.EnterpriseNumber = identity.LongCode.substr(3, 10);
        }
    }
    if (TrimControls(fields.EnterpriseName).empty()) {
        fields.EnterpriseName = CodePage::FromUtf8("无");
    }
    return fields;
}

std::string EnterpriseNumberPanel(const std::string& enterpriseNumber) {
    return CodePage::FromUtf8("企业编号：【") + enterpriseNumber + CodePage::FromUtf8("】");
}

std::string StartUrlToSend(std::string startUrl) {
    std::erase_if(startUrl, [](char c) { return c == '\r' || c == '\n' || c == '\t'; });
    return startUrl;
}

std::string ComposeStartUrl(const std::string& baseUrl, const IdentityFields& fields,
                            const std::string& version) {
    const auto base64 = [](const std::string& text) {
        return TStrOper::EncodeBase64(TrimControls(text));
    };
    const auto form = [](const std::string& text) {
        return FormUrlEncode(CodePage::ToUtf8(TrimControls(text)));
    };
    const std::string id = base64(fields.EnterpriseNumber);
    const std::string type = base64(fields.TypeCode);
    const std::string serial = base64(fields.IdentitySerial);
    const std::string name = form(fields.EnterpriseName);
    const std::string other = form(fields.OtherInfo);
    const std::string versionText = form(version);
    return baseUrl + "?id=" + id + "&name=" + name + "&type=" + type + "&dog=" + serial +
           "&other=" + other + "&version=" + versionText;
}
