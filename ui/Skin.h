// The program's look: the font the windows ask for and the skin's style sheet,
// for every window and dialog of the application.
#pragma once

#include <QtGlobal>

class QApplication;
class QPixmap;
class QString;

namespace Skin {

void Apply(QApplication& app);

// Whether fontconfig offers any font for Chinese text: without one every
// Chinese text of the windows and pages shows as boxes.
bool HasChineseFont();

// What to tell whoever installs the PC when HasChineseFont() is false.
QString MissingChineseFontAdvice();

// The file of a window picture for a screen of devicePixelRatio: the one
// drawn at twice the size (name@2x.ext) where the screen is scaled and it
// exists, else path itself.
QString PictureFile(const QString& path, qreal devicePixelRatio);

// A window picture for a screen of devicePixelRatio, as sharp as the text
// beside it: at 100 % the picture itself; on a scaled screen the one drawn at
// twice the size, brought to the screen's own pixels (its size in the window
// stays the picture's).
QPixmap Picture(const QString& path, qreal devicePixelRatio);

} // namespace Skin
