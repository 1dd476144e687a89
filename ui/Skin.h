// The program's look: the font the windows ask for and the skin's style sheet,
// for every window and dialog of the application.
#pragma once

class QApplication;

namespace Skin {

void Apply(QApplication& app);

} // namespace Skin
