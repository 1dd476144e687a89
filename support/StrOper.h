// Text operations of the support library: Base64 with CR LF line breaks and
// cutting a text at a character. Texts are 8-bit byte strings in the code page;
// every operation works on bytes and returns the empty text on any failure.
#pragma once

#include <string>
#include <string_view>

class TStrOper {
public:
    TStrOper() = delete;

    // Base64 in lines of 76 characters, each complete line followed by CR LF,
    // the last one included: a text whose length is a multiple of 57 bytes
    // ends with CR LF, any other ends without. The empty text gives "".
    static std::string EncodeBase64(std::string_view Text);

    // The bytes of a Base64 text; bytes outside the alphabet and '=' are passed
    // over wherever they stand, and '=' does not end the decoding.
    static std::string DecodeBase64(std::string_view Text);

    // The part of Text after the first Ch; all of Text when Ch does not occur.
    static std::string TextAfter(std::string_view Text, char Ch);

    // The part of Text before the first Ch; empty when Ch does not occur.
    static std::string TextBefore(std::string_view Text, char Ch);
};
