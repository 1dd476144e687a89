// Image operations of the support library.
#pragma once

#include <string>

class TImgOper {
public:
    TImgOper() = delete;

    // The whole content of the file FileName (full path) as Base64 text in the
    // form of DecodeFile::StreamToBase64. On any failure the result is the
    // empty text and one log line names the file and the error.
    static std::string ImageToBase64(const std::string& FileName);
};
