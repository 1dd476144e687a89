#include "IniIdentitySource.h"
#include "LogTexts.h"

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
        TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kIdentityUnreadable) +
                           CodePage::FromUtf8(path + ": " + std::strerror(errno)));
        return {};
    }
    // Each key as the configuration's table names it.
    const auto value = [&path](std::string_view name) {
        const ShellConfig::Key& key = ShellConfig::KeyNamed(name);
        return CodePage::FromUtf8(TFileOper::ReadIniString(path, key.section, key.key));
    };
    EnterpriseIdentity identity;
    identity.TypeCode = value("type-code");
    identity.EnterpriseNumber = value("enterprise-number");
    identity.IdentitySerial = value("identity-serial");
    identity.EnterpriseName = value("enterprise-name");
    identity.OtherInfo = value("other-info");
    identity.LongCode = value("long-code");
    return identity;
}
