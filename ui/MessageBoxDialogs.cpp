#include "MessageBoxDialogs.h"

#include <QMessageBox>

namespace {
const QString kCaption = QStringLiteral("提示");
}

void MessageBoxDialogs::warning(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, kCaption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxDialogs::askYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Yes;
}

void MessageBoxDialogs::errorReport(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tavlin"), text, QMessageBox::Ok, parent);
    box.exec();
}
