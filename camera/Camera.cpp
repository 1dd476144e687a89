#include "Camera.h"
#include "LogTexts.h"

#include <algorithm>

#include "CodePage.h"
#include "Dialogs.h"
#include "QtText.h"
#include "StatePlaces.h"
#include "StrOper.h"
#include "SysOper.h"
#include "Vcx.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kNoDevice = QStringLiteral("没有可用的设备");
const QString kNotConnected =
    QStringLiteral("【摄像头】没有连接或被其他程序使用,请先关闭这些程序或检查连接");

// The live picture's area: the design's 640 x 480 under the buttons, or, in
// a window the screen made smaller (a scaled laptop screen), the largest 4:3
// area that still fits whole above the window's bottom edge.
QRect PreviewArea(const QSize& window) {
    constexpr int kLeft = 13;
    constexpr int kTop = 40;
    constexpr int kRightMargin = 12;  // 665 - 13 - 640
    constexpr int kBottomMargin = 10; // 530 - 40 - 480
    const int height = std::min(480, window.height() - kTop - kBottomMargin);
    const int width =
        std::max(0, std::min({640, window.width() - kLeft - kRightMargin, height * 4 / 3}));
    return {kLeft, kTop, width, width * 3 / 4};
}

} // namespace

TFrm_Camera::TFrm_Camera(Vcx& vcx, Dialogs& dialogs, const std::string& photoFolder,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_vcx(vcx), m_dialogs(dialogs), m_photoFolder(photoFolder) {
    setObjectName(QStringLiteral("TFrm_Camera"));
    setWindowTitle(QStringLiteral("拍照"));
    // The design's size wherever the screen has the room for it.
    const QSize size = WindowPlacement::FitToScreen(QSize(665, 530), *this);
    setFixedSize(size);
    setModal(true);

    Label1 = new QLabel(QStringLiteral("请选择设备"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(15, 19, 60, 12);
    Label2 = new QLabel(QStringLiteral("图像大小"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(250, 18, 48, 12);
    Label2->hide();
    Cb_Device = new QComboBox(this);
    Cb_Device->setObjectName(QStringLiteral("Cb_Device"));
    Cb_Device->setEditable(true);
    Cb_Device->setInsertPolicy(QComboBox::NoInsert);
    Cb_Device->setGeometry(77, 14, 404, 20);
    Cb_Range = new QComboBox(this);
    Cb_Range->setObjectName(QStringLiteral("Cb_Range"));
    Cb_Range->setEditable(true);
    Cb_Range->setInsertPolicy(QComboBox::NoInsert);
    Cb_Range->setGeometry(301, -10, 176, 20);
    Cb_Range->hide();
    Btn_Save = new QPushButton(QStringLiteral("拍  照"), this);
    Btn_Save->setObjectName(QStringLiteral("Btn_Save"));
    Btn_Save->setGeometry(502, 11, 70, 25);
    Btn_Exit = new QPushButton(QStringLiteral("退  出"), this);
    Btn_Exit->setObjectName(QStringLiteral("Btn_Exit"));
    Btn_Exit->setGeometry(583, 11, 70, 25);
    QWidget* preview = m_vcx.createPreview(this);
    preview->setGeometry(PreviewArea(size));
    preview->show();

    setTabOrder(Cb_Device, Cb_Range);
    setTabOrder(Cb_Range, Btn_Save);
    setTabOrder(Btn_Save, Btn_Exit);
    setTabOrder(Btn_Exit, preview);

    // "Change" of a drop-down box: the officer picks an entry or types.
    connect(Cb_Device, &QComboBox::activated, this, &TFrm_Camera::Cb_DeviceChange);
    connect(Cb_Device->lineEdit(), &QLineEdit::textEdited, this, &TFrm_Camera::Cb_DeviceChange);
    connect(Cb_Range, &QComboBox::activated, this, &TFrm_Camera::Cb_RangeChange);
    connect(Cb_Range->lineEdit(), &QLineEdit::textEdited, this, &TFrm_Camera::Cb_RangeChange);
    connect(Btn_Save, &QPushButton::clicked, this, &TFrm_Camera::Btn_SaveClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_Camera::Btn_ExitClick);
    connect(&m_vcx, &Vcx::connectedChanged, this, &TFrm_Camera::handleVcxConnectedChanged);
    connect(&m_vcx, &Vcx::errorOccurred, this, &TFrm_Camera::handleVcxError);
    connect(&m_vcx, &Vcx::devicesChanged, this, &TFrm_Camera::handleVcxDevicesChanged);

    FormCreate();
}

TFrm_Camera::~TFrm_Camera() {
    FormDestroy();
}

void TFrm_Camera::FormCreate() {
    m_photoPath = QString::fromStdString(m_photoFolder + std::string(StatePlaces::kPhotoFileName));
    if (QFile::exists(m_photoPath)) {
        QFile::remove(m_photoPath); // a failed deletion is ignored
    }
    LoadDevices();
}

void TFrm_Camera::LoadDevices() {
    try {
        const int count = m_vcx.CountVideoDevices();
        for (int i = 0; i < count; ++i) {
            // Names as they come, in the program's text: entry i is device i.
            Cb_Device->addItem(
                QtText::FromCodePage(QtText::ToCodePage(m_vcx.VideoDeviceNameAt(i))));
        }
    } catch (const std::exception& e) {
        TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kCameraListFailed) +
                           QtText::ToCodePage(QString::fromUtf8(e.what())));
        m_dialogs.warning(this, QStringLiteral("加载设备失败"));
        applyState(State::NoCapture);
    }
    Cb_Device->setCurrentIndex(-1);
}

void TFrm_Camera::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once per window: a restore from minimised shows it again.
    if (!m_formShown) {
        m_formShown = true;
        FormShow();
    }
}

void TFrm_Camera::FormShow() {
    if (Cb_Device->count() > 0) {
        Cb_Device->setCurrentIndex(0); // by program: no change handler runs
        ConnectDevice();
    } else {
        applyState(State::NoDevice);
    }
}

void TFrm_Camera::handleVcxDevicesChanged() {
    // A camera was plugged in or unplugged while the window is open: the list
    // shows what is there now, the selected camera stays selected.
    const bool wasEmpty = showsNoDevice();
    Cb_Device->clear();
    LoadDevices();
    if (!m_formShown) {
        return; // the showing connects the first one
    }
    if (Cb_Device->count() == 0) {
        applyState(State::NoDevice);
        return;
    }
    if (wasEmpty) {
        // The first camera plugged into a computer without one: as at the showing.
        Cb_Device->setEnabled(true);
        Btn_Save->setEnabled(true);
        Cb_Device->setCurrentIndex(0);
        ConnectDevice();
        return;
    }
    Cb_Device->setCurrentIndex(m_vcx.VideoDeviceIndex());
}

int TFrm_Camera::selectedEntry() const {
    const int index = Cb_Device->currentIndex();
    return index >= 0 && Cb_Device->currentText() == Cb_Device->itemText(index) ? index : -1;
}

void TFrm_Camera::ConnectDevice() {
    try {
        if (m_vcx.Connected()) {
            m_vcx.setConnected(false);
        }
        m_vcx.setVideoDeviceIndex(selectedEntry());
        m_connecting = true;
        // Returns at once: whether the device runs arrives in
        // handleVcxConnectedChanged or handleVcxError, and the officer can
        // meanwhile leave the window.
        m_vcx.setConnected(true);
    } catch (const std::exception& e) {
        m_connecting = false;
        connectionError(QString::fromUtf8(e.what()));
    }
}

void TFrm_Camera::connectionError(const QString& description) {
    TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kCameraFailed) +
                       QtText::ToCodePage(description));
    m_dialogs.warning(this, QStringLiteral("连接设备失败"));
    applyState(State::NoCapture);
}

void TFrm_Camera::applyState(State state) {
    // The window's states besides the one it starts in:
    //   state       device box               拍  照
    //   no device   disabled, "没有可用的设备"   disabled
    //   no capture  as it is                  disabled (the list or the device failed)
    switch (state) {
    case State::NoDevice:
        Cb_Device->setEnabled(false);
        Cb_Device->setEditText(kNoDevice);
        Btn_Save->setEnabled(false);
        break;
    case State::NoCapture:
        Btn_Save->setEnabled(false);
        break;
    }
}

bool TFrm_Camera::showsNoDevice() const {
    return !Cb_Device->isEnabled();
}

void TFrm_Camera::handleVcxConnectedChanged(bool connected) {
    if (connected && m_savingHeld) {
        // Pictures come again: a photo can be taken again.
        m_savingHeld = false;
        Btn_Save->setEnabled(true);
    }
    if (!connected || !m_connecting) {
        return;
    }
    m_connecting = false;
    try {
        m_vcx.setPreview(true);
    } catch (const std::exception& e) {
        connectionError(QString::fromUtf8(e.what()));
    }
}

void TFrm_Camera::handleVcxError(const QString& description) {
    // Support reads in the log why the camera failed; the officer is told
    // whenever the window shows. A camera that failed while connecting leaves
    // 拍  照 as it is; one that stopped while running holds it until pictures
    // come again, so that no stale or missing picture is taken for a photo.
    TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kCameraFailed) +
                       QtText::ToCodePage(description));
    const bool wasConnecting = m_connecting;
    m_connecting = false;
    if (!wasConnecting && Btn_Save->isEnabled()) {
        m_savingHeld = true;
        Btn_Save->setEnabled(false);
    }
    if (isVisible()) {
        m_dialogs.warning(this, kNotConnected);
    }
}

void TFrm_Camera::Cb_DeviceChange() {
    try {
        const int selected = selectedEntry();
        // The camera already connected is not connected again; one that
        // failed or stopped is, as the officer's way to try it once more.
        const bool working = m_vcx.Connected() || m_connecting;
        if (!QtText::TrimControls(Cb_Device->currentText()).isEmpty() && selected >= 0 &&
            (selected != m_vcx.VideoDeviceIndex() || !working)) {
            ConnectDevice();
        }
    } catch (const std::exception& e) {
        m_dialogs.errorReport(this, QString::fromUtf8(e.what()));
    }
}

void TFrm_Camera::Cb_RangeChange() {
    try {
        const QString text = QtText::TrimControls(Cb_Range->currentText());
        const int index = Cb_Range->currentIndex();
        if (text.isEmpty() || index < 0 || Cb_Range->itemText(index) != Cb_Range->currentText()) {
            return;
        }
        const std::string size = QtText::ToCodePage(text);
        bool widthOk = false;
        bool heightOk = false;
        const int width = QString::fromStdString(TStrOper::TextBefore(size, 'x')).toInt(&widthOk);
        const int height = QString::fromStdString(TStrOper::TextAfter(size, 'x')).toInt(&heightOk);
        if (!widthOk || !heightOk) {
            throw VcxError("'" + text.toStdString() + "' is not a valid frame size");
        }
        m_vcx.ApplyFrameSize(width, height);
    } catch (const std::exception& e) {
        m_dialogs.errorReport(this, QString::fromUtf8(e.what()));
    }
}

void TFrm_Camera::Btn_SaveClick() {
    try {
        m_photoPath =
            QString::fromStdString(m_photoFolder + std::string(StatePlaces::kPhotoFileName));
        m_vcx.WriteFrameJpeg(m_photoPath, kPhotoJpegQuality);
        if (QFile::exists(m_photoPath)) {
            m_photoTaken = true;
            close();
        }
    } catch (const PhotoWriteError& e) {
        // The photo cannot be written where it must go: another press would
        // fail the same way, so the window ends with the reason.
        m_dialogs.errorReport(this, QString::fromUtf8(e.what()));
        m_photoTaken = false;
        close();
    } catch (const std::exception& e) {
        m_dialogs.errorReport(this, QString::fromUtf8(e.what()));
    }
}

void TFrm_Camera::Btn_ExitClick() {
    m_photoTaken = false;
    close();
}

void TFrm_Camera::FormDestroy() {
    m_connecting = false;
    try {
        if (m_vcx.Connected()) {
            m_vcx.setConnected(false);
        }
    } catch (const std::exception& e) {
        // Destruction goes on; the report opens from the event loop, never
        // inside a destructor.
        Dialogs* dialogs = &m_dialogs;
        QMetaObject::invokeMethod(
            qApp,
            [dialogs, text = QString::fromUtf8(e.what())] { dialogs->errorReport(nullptr, text); },
            Qt::QueuedConnection);
    }
}
