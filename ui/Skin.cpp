#include "Skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
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

QString PictureFile(const QString& path, qreal devicePixelRatio) {
    if (devicePixelRatio <= 1.0) {
        return path;
    }
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString large = path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
    return QImageReader(large).canRead() ? large : path;
}

QPixmap Picture(const QString& path, qreal devicePixelRatio) {
    // Read as they are: the size in the window is the 1x picture's.
    const QImage normal = QImageReader(path).read();
    const QString file = PictureFile(path, devicePixelRatio);
    if (file == path || normal.isNull()) {
        return QPixmap::fromImage(normal);
    }
    const QImage large = QImageReader(file).read();
    if (large.isNull()) {
        return QPixmap::fromImage(normal);
    }
    const QSize pixels = (QSizeF(normal.size()) * devicePixelRatio).toSize();
    QPixmap picture = QPixmap::fromImage(
        large.size() == pixels
            ? large
            : large.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

} // namespace Skin
