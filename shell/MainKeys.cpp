// The main window's keyboard and mouse: what reaches the page and what the
// title strip does with the keys.
#include "Main.h"

#include "Browser.h"
#include "Camera.h"
#include "CodePage.h"
#include "Dialogs.h"
#include "FileOper.h"
#include "IdentitySource.h"
#include "ImageButton.h"
#include "ImgOper.h"
#include "PageLogBudget.h"
#include "PageTitle.h"
#include "QtText.h"
#include "ScreenPixelsAccessible.h"
#include "ShellConfig.h"
#include "Skin.h"
#include "SysOper.h"
#include "Vcx.h"
#include "WindowPlacement.h"

#include <QAccessible>
#include <QApplication>

#include <QFile>
#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <malloc.h>

namespace {

// What never reaches the page: the right button, the mouse's back and
// forward buttons (the next person at the PC would page back through the
// officer's pages), the middle button (on X11 it pastes the selection, which
// may be anything last selected in any program), the keyboard's context menu,
// zooming (Ctrl and the wheel, a pinch) and things dragged onto it.
bool IsHeldFromPage(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        switch (static_cast<QMouseEvent*>(event)->button()) {
        case Qt::RightButton:
        case Qt::MiddleButton:
        case Qt::BackButton:
        case Qt::ForwardButton:
            return true;
        default:
            return false;
        }
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
        const auto* key = static_cast<QKeyEvent*>(event);
        return key->key() == Qt::Key_Menu ||
               (key->key() == Qt::Key_F10 && key->modifiers().testFlag(Qt::ShiftModifier));
    }
    case QEvent::Wheel:
        return static_cast<QWheelEvent*>(event)->modifiers().testFlag(Qt::ControlModifier);
    case QEvent::NativeGesture:
        return static_cast<QNativeGestureEvent*>(event)->gestureType() == Qt::ZoomNativeGesture;
    default:
        return false;
    }
}

} // namespace

bool TFrm_Tavlin::eventFilter(QObject* watched, QEvent* event) {
    return ApplicationEvents1Message(watched, event) || QWidget::eventFilter(watched, event);
}

bool TFrm_Tavlin::ApplicationEvents1Message(QObject* receiver, QEvent* event) {
    if (!receiver->isWidgetType()) {
        return false;
    }
    auto* target = static_cast<QWidget*>(receiver);
    // The page's own input: the view, or a widget inside it.
    const QWidget* view = m_browser.view();
    const bool inPage = view != nullptr && (target == view || view->isAncestorOf(target));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        // The officer uses the page: the browser watches whether it answers.
        if (inPage) {
            m_browser.noteOfficerInput();
        }
        break;
    default:
        break;
    }
    if (holdKeyWhileThePageHasF6(target, event, inPage)) {
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const auto buttons = titleButtons();
        const auto onStrip = std::find(buttons.begin(), buttons.end(), target);
        if (onStrip != buttons.end()) {
            return handleTitleStripKey(*onStrip, key);
        }
        // F6 from the window to the strip; the page has it first, and the
        // view hands on what the page leaves (to its parent, Pnl_Web).
        if (key == Qt::Key_F6 && static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
            target->window() == this && !inPage) {
            // from the page (or the window) to the strip
            const bool moved = focusTitleButton(nullptr, 1);
            releaseKeysAfterF6();
            return moved;
        }
    }
    return inPage && IsHeldFromPage(event);
}

bool TFrm_Tavlin::holdKeyWhileThePageHasF6(QWidget* target, QEvent* event, bool inPage) {
    if (!inPage || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (m_f6Answer->isActive()) {
        m_keysAfterF6.emplace_back(key->clone());
        return true;
    }
    if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_F6 &&
        key->modifiers() == Qt::NoModifier && target->window() == this) {
        m_f6Answer->start(kF6AnswerMs); // the page has it; its answer comes later
    }
    return false;
}

void TFrm_Tavlin::releaseKeysAfterF6() {
    m_f6Answer->stop();
    for (std::unique_ptr<QKeyEvent>& key : std::exchange(m_keysAfterF6, {})) {
        QWidget* focus = QApplication::focusWidget();
        QCoreApplication::sendEvent(focus != nullptr ? focus : this, key.get());
    }
}

bool TFrm_Tavlin::focusTitleButton(const ImageButton* from, int step) {
    // The shown buttons from the left: the strip's order, not the design's
    // creation order.
    std::vector<const TitleButton*> rows;
    for (const TitleButton& row : kTitleButtons) {
        rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(),
              [](const TitleButton* a, const TitleButton* b) { return a->left < b->left; });
    std::vector<ImageButton*> shown;
    for (const TitleButton* row : rows) {
        if (ImageButton* button = this->*row->member; !button->isHidden()) {
            shown.push_back(button);
        }
    }
    if (shown.empty()) {
        return false;
    }
    const auto at = std::find(shown.begin(), shown.end(), from);
    const auto count = static_cast<std::ptrdiff_t>(shown.size());
    const std::ptrdiff_t next =
        at == shown.end() ? 0 : ((at - shown.begin()) + step + count) % count;
    shown[static_cast<std::size_t>(next)]->setFocus(Qt::TabFocusReason);
    return true;
}

bool TFrm_Tavlin::handleTitleStripKey(ImageButton* button, int key) {
    // As in browsers: F6 between page and title strip, Tab and the arrows
    // among the shown buttons, Enter or Space presses (the button's own).
    switch (key) {
    case Qt::Key_F6:
    case Qt::Key_Escape:
        if (QWidget* view = m_browser.view()) {
            view->setFocus(Qt::OtherFocusReason);
        }
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return focusTitleButton(button, 1);
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Up:
        return focusTitleButton(button, -1);
    default:
        return false;
    }
}
