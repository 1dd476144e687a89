// Runs Tavlin's start-up guards for real, with message boxes that answer by
// themselves: argv[1] is "yes" or "no", the answer to the hotel-industry
// question. Prints what it would have shown and how the start ended:
//   WARNING <text> / QUESTION <text>   a box that was shown
//   ALREADY / STOPPED                  the start ended there
//   READY listening                    the start went on; this copy now runs
//   RAISED                             a later copy asked this one to show itself
#include "CheckOutInfo.h"
#include "Dialogs.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

void Say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class AnsweringDialogs : public Dialogs {
public:
    explicit AnsweringDialogs(bool yes) : m_yes(yes) {}
    void warning(QWidget*, const QString& text) override { Say(QStringLiteral("WARNING ") + text); }
    bool askYesNo(QWidget*, const QString& text) override {
        Say(QStringLiteral("QUESTION ") + text);
        return m_yes;
    }
    void errorReport(QWidget*, const QString& text) override {
        Say(QStringLiteral("ERROR ") + text);
    }

private:
    bool m_yes;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    AnsweringDialogs dialogs(argc > 1 && std::strcmp(argv[1], "yes") == 0);
    {
        TCheckOutInfo guards(dialogs);
        if (guards.IsAlreadyRunning()) {
            Say(QStringLiteral("ALREADY"));
            return 0;
        }
        if (guards.CheckHotelProgram()) {
            Say(QStringLiteral("STOPPED"));
            return 0;
        }
    }
    RaiseServer raise([] { Say(QStringLiteral("RAISED")); });
    Say(raise.isListening() ? QStringLiteral("READY listening")
                            : QStringLiteral("READY not listening"));
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
