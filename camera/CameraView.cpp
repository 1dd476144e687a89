#include "CameraView.h"

#include <QPainter>

const QString CameraView::kWaitingText = QStringLiteral("正在打开摄像头,请稍候…");
const QString CameraView::kStoppedText = QStringLiteral("摄像头没有画面");

CameraView::CameraView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("摄像头画面"));
}

void CameraView::setState(State state) {
    if (state == m_state) {
        return;
    }
    m_state = state;
    if (state == State::Idle || state == State::Waiting) {
        m_picture = QImage();
    }
    setAccessibleDescription(state == State::Waiting   ? kWaitingText
                             : state == State::Stopped ? kStoppedText
                                                       : QString());
    update();
}

void CameraView::setPicture(QImage picture) {
    m_picture = std::move(picture);
    m_picture.setDevicePixelRatio(devicePixelRatioF());
    update();
}

QSize CameraView::pictureSize(QSize frameSize) const {
    const QSize area = size() * devicePixelRatioF();
    if (frameSize.isEmpty() || area.isEmpty()) {
        return {};
    }
    return frameSize.scaled(area, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

void CameraView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if ((m_state == State::Live || m_state == State::Stopped) && !m_picture.isNull()) {
        const QSizeF shown = m_picture.deviceIndependentSize();
        const QPointF at((width() - shown.width()) / 2, (height() - shown.height()) / 2);
        painter.drawImage(at, m_picture);
    }
    QString text;
    if (m_state == State::Waiting) {
        text = kWaitingText;
    } else if (m_state == State::Stopped) {
        painter.fillRect(rect(), QColor(0, 0, 0, 160));
        text = kStoppedText;
    }
    if (!text.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text);
    }
}
