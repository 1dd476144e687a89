// The program's message boxes: modal, with the texts and icons of the design.
#pragma once

#include "Dialogs.h"

class MessageBoxDialogs : public Dialogs {
public:
    void warning(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    void errorReport(QWidget* parent, const QString& text) override;
};
