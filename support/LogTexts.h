// The beginnings of the daily log's entries: each kind of entry Tavlin
// writes, once, in UTF-8 (the log holds them in the code page). docs/logs.md
// has a row for each, saying what it means and what IT may do; a unit test
// holds the two together. The punctuation is each entry's own (some have a
// full-width comma or colon, as the Windows client wrote them): readers of
// old logs search for these texts.
#pragma once

#include <string_view>

namespace LogTexts {

// Start.
inline constexpr std::string_view kMissingFont = "缺少中文字体,原因:";
inline constexpr std::string_view kConfigUnreadable = "读取配置失败,原因:";
inline constexpr std::string_view kIdentityUnreadable = "读取企业身份信息失败,原因:";
inline constexpr std::string_view kTrustFailed = "信任系统证书失败,原因:";
inline constexpr std::string_view kVersionFailed =
    "获取文件版本号信息失败,TFileOper->GetVersion中错误:";
// Pages.
inline constexpr std::string_view kPageFailed = "加载页面失败，错误：";
inline constexpr std::string_view kPageRefused = "拒绝页面请求,原因:";
inline constexpr std::string_view kOfficerUnread = "获取登录的警员信息失败,错误:";
inline constexpr std::string_view kPrinted = "打印网页:";
inline constexpr std::string_view kPrintFailed = "打印网页失败,原因:";
// Camera and photo.
inline constexpr std::string_view kCameraListFailed = "加载USB摄像头信息失败,原因：";
inline constexpr std::string_view kCameraFailed = "连接设备失败,原因:";
inline constexpr std::string_view kPhotoEncodeFailed = "Base64编码图片时失败,图片名称:";
inline constexpr std::string_view kPhotoImportFailed = "导入照片时失败,错误:";

// Every one of them, for the test that holds them to docs/logs.md.
inline constexpr std::string_view kAll[] = {
    kMissingFont,      kConfigUnreadable, kIdentityUnreadable, kTrustFailed,       kVersionFailed,
    kPageFailed,       kPageRefused,      kOfficerUnread,      kPrinted,           kPrintFailed,
    kCameraListFailed, kCameraFailed,     kPhotoEncodeFailed,  kPhotoImportFailed,
};

} // namespace LogTexts
