#include "ImgOper.h"
#include "LogTexts.h"

#include "CodePage.h"
#include "DecodeFile.h"
#include "SysOper.h"

#include <exception>

std::string TImgOper::ImageToBase64(const std::string& FileName) {
    std::string error;
    try {
        TMemoryStream image;
        image.LoadFromFile(FileName);
        TTextStream text;
        DecodeFile().StreamToBase64(image, text);
        return text.TakeText();
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown error";
    }
    // The ASCII colon after 图片名称 and the full-width one after 错误 are both intended.
    TSysOper::WriteLog(CodePage::FromUtf8(std::string(LogTexts::kPhotoEncodeFailed) + FileName +
                                          ",错误：" + error));
    return {};
}
