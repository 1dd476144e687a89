// The camera window: a small modal dialog that lists the video devices,
// previews the chosen one and writes one frame as the temporary photo file.
#pragma once

#include <QDialog>

#include <string>

class Dialogs;
class QComboBox;
class QLabel;
class QPushButton;
class Vcx;

class TFrm_Camera : public QDialog {
    Q_OBJECT
public:
    // The photo's JPEG quality (0 to 100).
    static constexpr int kPhotoJpegQuality = 90;

    // Runs FormCreate: PhotoPath is photoFolder + the photo's file name (photoFolder
    // ends in '/'; the program folder, or the user's private folder for an
    // installed copy), an old photo file there is deleted, and the device
    // list is filled from vcx.
    TFrm_Camera(Vcx& vcx, Dialogs& dialogs, const std::string& photoFolder,
                QWidget* parent = nullptr);
    ~TFrm_Camera() override;

    // True only after a capture that left the photo file on disk.
    bool PhotoTaken() const { return m_photoTaken; }
    // The full path of the temporary photo file.
    const QString& PhotoPath() const { return m_photoPath; }

    // The components are found by their design names (object names):
    // Label1, Label2, Cb_Device, Cb_Range, Btn_Save, Btn_Exit.

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    // The control's reports on the device being opened or running.
    void handleVcxConnectedChanged(bool connected);
    void handleVcxError(const QString& description);
    void handleVcxDevicesChanged();

private:
    // The officer's actions, wired to the components.
    void Cb_DeviceChange();
    void Cb_RangeChange();
    void Btn_SaveClick();
    void Btn_ExitClick();

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void LoadDevices();
    void ConnectDevice();
    // An error raised by the control while connecting: logged, reported, and
    // no capture from this window.
    void connectionError(const QString& description);
    // Index of the entry the box shows, or -1 when its text is not an entry's.
    int selectedEntry() const;
    // The window's states after its start, in one place.
    enum class State { NoDevice, NoCapture };
    void applyState(State state);
    // The window shows that there is no camera (the no-device state alone
    // disables the device box).
    bool showsNoDevice() const;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* Cb_Device = nullptr;
    QComboBox* Cb_Range = nullptr;
    QPushButton* Btn_Save = nullptr;
    QPushButton* Btn_Exit = nullptr;

    bool m_photoTaken = false;
    QString m_photoPath;
    Vcx& m_vcx;
    Dialogs& m_dialogs;
    std::string m_photoFolder;
    bool m_formShown = false;
    // A connection was asked for and its outcome has not arrived yet.
    bool m_connecting = false;
    // 拍  照 is disabled because the running camera stopped.
    bool m_savingHeld = false;
};
