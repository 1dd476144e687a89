// URL form encoding of the start URL's query values.
#pragma once

#include <string>
#include <string_view>

// Writes A-Z, a-z, 0-9 and ! $ ' ( ) * - . @ _ unchanged, a blank as '+', and
// every other byte as '%' and two uppercase hexadecimal digits. The walk ends
// at the end of Text or at its first zero byte. Works on bytes: callers pass
// UTF-8, so each byte of a multibyte character becomes an escape of its own.
std::string FormUrlEncode(std::string_view Text);
