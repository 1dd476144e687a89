// Runs Tavlin's start-up guards for real, with message boxes that answer by
// themselves: argv[1] is "yes" or "no", the answer to the hotel-industry
// question, or "slow-yes": yes, after keeping the question open 3 s (a copy
// still starting). Prints what it would have shown and how the start ended:
//   WARNING <text> / QUESTION <text>   a box that was shown
//   ALREADY / STOPPED                  the start ended there
//   READY listening                    the start went on; this copy now runs
//   RAISED [token]                     a later copy asked this one to show
//                                      itself, with its activation token
#include "CheckOutInfo.h"
#include "Dialogs.h"
#include "RaiseServer.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <memory>

#include <cstdio>
#include <cstring>

namespace {

void Say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class AnsweringDialogs : public Dialogs {
public:
    AnsweringDialogs(bool yes, bool slow) : m_yes(yes), m_slow(slow) {}
    void warning(QWidget*, const QString& text) override { Say(QStringLiteral("WARNING ") + text); }
    bool askYesNo(QWidget*, const QString& text) override {
        Say(QStringLiteral("QUESTION ") + text);
        if (m_slow) {
            // Open, as a real question is, while the events go on.
            QEventLoop open;
            QTimer::singleShot(3000, &open, &QEventLoop::quit);
            open.exec();
        }
        return m_yes;
    }
    void errorReport(QWidget*, const QString& text) override {
        Say(QStringLiteral("ERROR ") + text);
    }

private:
    bool m_yes;
    bool m_slow;
};

} // namespace

int main(int argc, char** argv) {
    const QByteArray launchToken = TCheckOutInfo::LaunchToken();
    QApplication app(argc, argv);
    const bool slow = argc > 1 && std::strcmp(argv[1], "slow-yes") == 0;
    AnsweringDialogs dialogs(slow || (argc > 1 && std::strcmp(argv[1], "yes") == 0), slow);
    // The same order as Tavlin's entry.
    std::unique_ptr<RaiseServer> raise;
    {
        TCheckOutInfo guards(dialogs, launchToken);
        if (guards.IsAlreadyRunning()) {
            Say(QStringLiteral("ALREADY"));
            return 0;
        }
        raise = std::make_unique<RaiseServer>();
        if (guards.CheckHotelProgram()) {
            Say(QStringLiteral("STOPPED"));
            return 0;
        }
    }
    Say(raise->isListening() ? QStringLiteral("READY listening")
                             : QStringLiteral("READY not listening"));
    raise->setRaise([](const QByteArray& token) {
        Say(token.isEmpty() ? QStringLiteral("RAISED")
                            : QStringLiteral("RAISED ") + QString::fromLatin1(token));
    });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
