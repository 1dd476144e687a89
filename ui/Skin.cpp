#include "Skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QString>

namespace Skin {

void Apply(QApplication& app) {
    // The windows ask for 宋体 (SimSun); Linux desktops rarely have it, so the
    // nearest CJK fonts follow.
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Sans Serif")});
    font.setPixelSize(12);
    app.setFont(font);
    QFile skin(QStringLiteral(":/skin/skin.qss"));
    if (skin.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(skin.readAll()));
    }
}

bool HasChineseFont() {
    return !QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty();
}

QString MissingChineseFontAdvice() {
    return QStringLiteral("no font for Chinese text is installed, so every Chinese text shows as "
                          "boxes; install the Debian package fonts-noto-cjk (or "
                          "fonts-arphic-uming)");
}

} // namespace Skin
