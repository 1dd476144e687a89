// The program's message boxes, behind an interface so that window tests can
// answer them.
#pragma once

#include <QString>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal box with caption "提示", the warning icon and an OK button.
    virtual void warning(QWidget* parent, const QString& text) = 0;
    // The one question: caption "提示", Yes and No, question icon, top-most. True for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    // The application's general error report: a box with the error's text. The
    // handler that met the error ends; the program goes on.
    virtual void errorReport(QWidget* parent, const QString& text) = 0;
};
