// The enterprise identity, its normalisation and the start URL built from it.
// Plain logic without windows, shared by the main window and tavlin-config.
// Every text is an 8-bit text in the code page.
#pragma once

#include <string>
#include <string_view>

// The six texts the identity source delivers, as delivered.
struct EnterpriseIdentity {
    std::string TypeCode;
    std::string EnterpriseNumber;
    std::string IdentitySerial;
    std::string EnterpriseName;
    std::string OtherInfo;
    std::string LongCode; // used by the normalisation only, never kept
};

// What the main window keeps of the identity, after normalisation.
struct IdentityFields {
    std::string TypeCode;
    std::string EnterpriseNumber;
    std::string EnterpriseName;
    std::string IdentitySerial;
    std::string OtherInfo;
};

// Removes every leading and trailing byte whose code is 32 or lower.
std::string_view TrimControls(std::string_view text);

// Type code "R02" (trimmed, case matters) becomes "R01", and then a long code
// of more than 12 bytes gives the enterprise number as its bytes 4 to 13; an
// enterprise name that is blank becomes "无". Everything else stays as delivered.
IdentityFields NormaliseIdentity(const EnterpriseIdentity& identity);

// Status bar panel 0: "企业编号：【" + number + "】".
std::string EnterpriseNumberPanel(const std::string& enterpriseNumber);

// The start URL: baseUrl (untrimmed) + "?id=" ... "&version=" ..., with the
// trimmed number, type code and serial in Base64 (line breaks and all, not
// escaped) and the trimmed name, other information and version in UTF-8, URL
// form encoded.
std::string ComposeStartUrl(const std::string& baseUrl, const IdentityFields& fields,
                            const std::string& version);

// The start URL as the browser is given it: without line breaks and tabs. A
// serial of 57 bytes or more puts the Base64 encoder's line breaks into the
// URL; a browser drops them, and so does Tavlin, before anything could escape
// them into %0D%0A, which a back end reading the Base64 text raw would take
// for four more Base64 characters.
std::string StartUrlToSend(std::string startUrl);
