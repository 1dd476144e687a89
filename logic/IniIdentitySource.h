#pragma once

#include "IdentitySource.h"

#include <string>

// The default source: <appPath>InspectConfig/Identity.ini, UTF-8, section
// "Identity", keys TypeCode, EnterpriseNumber, IdentitySerial, EnterpriseName,
// OtherInfo, LongCode. Blanks around a value are kept when it is quoted. A
// missing or unreadable file gives six empty texts and one log line.
class IniIdentitySource : public IdentitySource {
public:
    explicit IniIdentitySource(std::string appPath) : m_appPath(std::move(appPath)) {}
    EnterpriseIdentity Read() override;

private:
    std::string m_appPath;
};
