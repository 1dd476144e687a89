// The program's look: the font the windows ask for and the skin's style sheet,
// for every window and dialog of the application.
#pragma once

class QApplication;
class QString;

namespace Skin {

void Apply(QApplication& app);

// Whether fontconfig offers any font for Chinese text: without one every
// Chinese text of the windows and pages shows as boxes.
bool HasChineseFont();

// What to tell whoever installs the PC when HasChineseFont() is false.
QString MissingChineseFontAdvice();

} // namespace Skin
