#include "IniIdentitySource.h"

#include "CodePage.h"
#include "FileOper.h"
#include "ShellConfig.h"
#include "SysOper.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

EnterpriseIdentity IniIdentitySource::Read() {
    const std::string path = m_appPath + std::string(ShellConfig::kIdentityFile);
    // Tell a missing or unreadable file from one that is merely incomplete.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        TSysOper::WriteLog(CodePage::FromUtf8("读取企业身份信息失败,原因:") +
                           CodePage::FromUtf8(path + ": " + std::strerror(errno)));
        return {};
    }
    const auto value = [&path](const char* key) {
        return CodePage::FromUtf8(TFileOper::ReadIniString(path, "Identity", key));
    };
    EnterpriseIdentity identity;
    identity.TypeCode = value("TypeCode");
    identity.EnterpriseNumber = value("EnterpriseNumber");
    identity.IdentitySerial = value("IdentitySerial");
    identity.EnterpriseName = value("EnterpriseName");
    identity.OtherInfo = value("OtherInfo");
    identity.LongCode = value("LongCode");
    return identity;
}
