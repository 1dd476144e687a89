// Where the time of each top-level navigation goes on the window's thread,
// for whoever measures it (support staff, the navigation benchmark). Off
// unless asked for; with
//   QT_LOGGING_RULES="tavlin.navigation.debug=true"
// each stage is written to standard error as one line
//   tavlin.navigation: <stage> <ms since the page asked to go> [<ms of own work>]
// The stages, in the order a navigation passes them:
//   asked      the main frame asked to go to an address and was let go
//   started    the load started
//   document   the program's script in the new document said it exists
//   loaded     the document's load report arrived (its load event)
//   shown      the window handled the completed document; the second
//              figure is how long that handling took on the window's thread
#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcNavigation)

class NavigationTrace {
public:
    // The clock of a navigation starts again.
    void asked() {
        if (lcNavigation().isDebugEnabled()) {
            m_sinceAsked.start();
            write("asked", 0, -1);
        }
    }

    void stage(const char* name) const {
        if (lcNavigation().isDebugEnabled() && m_sinceAsked.isValid()) {
            write(name, ms(m_sinceAsked.nsecsElapsed()), -1);
        }
    }

    // Runs work and writes the stage when it ends, with the work's own time.
    template <class Work> void timed(const char* name, Work&& work) const {
        if (!lcNavigation().isDebugEnabled() || !m_sinceAsked.isValid()) {
            work();
            return;
        }
        QElapsedTimer own;
        own.start();
        work();
        write(name, ms(m_sinceAsked.nsecsElapsed()), ms(own.nsecsElapsed()));
    }

private:
    static double ms(qint64 nanoseconds) { return static_cast<double>(nanoseconds) / 1e6; }
    static void write(const char* name, double sinceAsked, double own) {
        if (own < 0) {
            qCDebug(lcNavigation, "%s %.2f", name, sinceAsked);
        } else {
            qCDebug(lcNavigation, "%s %.2f %.2f", name, sinceAsked, own);
        }
    }

    QElapsedTimer m_sinceAsked;
};
