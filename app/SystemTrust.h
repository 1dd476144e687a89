// The certificate authorities IT installs into Debian's system store
// (update-ca-certificates), trusted by the embedded browser.
//
// The browser verifies servers through NSS, which reads the user's own
// database ($HOME/.pki/nssdb) and Mozilla's built-in roots, not the system
// store. p11-kit's trust module (package p11-kit-modules) offers the system
// store to NSS as a PKCS#11 module: registered in the user's database once,
// the browser trusts what the store holds at every start, and no longer what
// IT removes from it. Nothing is copied: the store stays the one authority.
#pragma once

#include <string>
#include <string_view>

namespace SystemTrust {

// The name the module is registered under in the user's database.
inline constexpr std::string_view kModuleName = "Tavlin: the system's trusted certificates";

// The user's NSS database folder for this home folder.
std::string UserDatabase(const std::string& home);

// Whether a database's module list (its pkcs11.txt) registers the library.
bool ListsModule(std::string_view pkcs11Txt, std::string_view library);

// Makes sure the user's database registers p11-kit's trust module. Call
// before any thread or window exists: the database is written by a child
// process, so that the browser's own use of NSS later starts afresh. Fast
// when the module is registered already (one small file read). Returns the
// empty text when the system store is offered, or why not (for the log).
std::string Offer(const std::string& home, const std::string& trustModule);

// The trust module's path on this system, or empty when it is not installed.
std::string InstalledTrustModule();

} // namespace SystemTrust
