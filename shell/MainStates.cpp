// The main window's states applied: what a completed page shows and hides,
// and when it is drawn.
#include "Main.h"

#include "ImageButton.h"

#include <QLabel>
#include <QMovie>
#include <QTimer>
#include <algorithm>
#include <utility>

void TFrm_Tavlin::applyPageKind(PageKind kind) {
    const WindowStates::Row row = WindowStates::ForPage(kind);
    if (m_browser.composesOnTheProcessor() && isVisible()) {
        holdPageStates(row.changes);
    } else {
        applyStates(row.changes);
    }
    switch (row.then) {
    case WindowStates::Then::ClearOfficerPanels:
        setStatusPanel(1, {});
        setStatusPanel(2, {});
        break;
    case WindowStates::Then::ReadOfficerInfo:
        ReadOfficerInfo();
        break;
    case WindowStates::Then::Nothing:
        break;
    }
}

QWidget* TFrm_Tavlin::component(WindowStates::Component which) const {
    using enum WindowStates::Component;
    switch (which) {
    case Pnl_Web:
        return this->Pnl_Web;
    case Pnl_Msg:
        return this->Pnl_Msg;
    case Img_Photo:
        return this->Img_Photo;
    case Img_Index:
        return this->Img_Index;
    case Lb_Msg:
        return this->Lb_Msg;
    case Img_Gif:
        return this->Img_Gif;
    case Img_back:
        return this->Img_back;
    case Lb_Base:
        return this->Lb_Base;
    case Lb_Ref:
        return this->Lb_Ref;
    case Lb_cs:
        return this->Lb_cs;
    }
    return nullptr;
}

void TFrm_Tavlin::applyStates(std::span<const WindowStates::Change> changes) {
    applyHeldPageStates();
    for (const WindowStates::Change& change : changes) {
        component(change.component)->setVisible(change.shown);
    }
    animateLoadingWhileShown();
}

void TFrm_Tavlin::holdPageStates(std::span<const WindowStates::Change> changes) {
    if (m_heldPageStates.empty()) {
        // Nothing held: a page whose states are already on the screen starts
        // no hold, so the next hold begins at a real change, and a page gone
        // within it takes that change back before it is drawn.
        const bool changesTheScreen =
            std::any_of(changes.begin(), changes.end(), [this](const WindowStates::Change& c) {
                return component(c.component)->isHidden() == c.shown;
            });
        if (!changesTheScreen) {
            return;
        }
        // The hold runs from the first change held: pages that follow each
        // other faster than it still show their states. The page's own
        // frames do not end it: a drawing that has the window's widgets to
        // paint besides a new frame of the page paints the page's whole area
        // into the window again.
        m_pageStatesHold->start(kPageStatesHoldMs);
    }
    m_heldPageStates.insert(m_heldPageStates.end(), changes.begin(), changes.end());
}

void TFrm_Tavlin::applyHeldPageStates() {
    if (m_heldPageStates.empty()) {
        return;
    }
    m_pageStatesHold->stop();
    // Nothing is held once taken, so applyStates goes straight to the
    // changes; a widget shown or hidden as it is already is left alone by Qt.
    applyStates(WindowStates::Net(std::exchange(m_heldPageStates, {})));
}

void TFrm_Tavlin::animateLoadingWhileShown() {
    // The loading picture moves only while the panel shows it: a movie left
    // running under a hidden panel still ticks, and keeps the event loop
    // busy all day on a page left open.
    if (m_loading == nullptr) {
        return;
    }
    const bool shown = Img_Gif->isVisibleTo(this);
    if (shown && m_loading->state() == QMovie::NotRunning) {
        m_loading->start();
    } else if (shown && m_loading->state() == QMovie::Paused) {
        m_loading->setPaused(false);
    } else if (!shown && m_loading->state() == QMovie::Running) {
        m_loading->setPaused(true);
    }
}
