#include "Skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>

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

} // namespace Skin
