// The main window: the title strip with its four picture buttons, the
// embedded browser under a message panel that covers it while a page loads or
// after loading failed, and a status bar of four panels.
#pragma once

#include "Browser.h"
#include "EnterpriseIdentity.h"
#include "NetworkFailure.h"
#include "PageTitle.h"
#include "ShellConfig.h"
#include "WindowStates.h"

#include <QByteArray>
#include <QWidget>

#include <QKeyEvent>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

class ClickableLabel;
class Dialogs;
class IdentitySource;
class ImageButton;
class QFrame;
class QLabel;
class QMovie;
class QStatusBar;
class QTimer;
class Vcx;

class TFrm_Tavlin : public QWidget {
    Q_OBJECT
public:
    // Runs FormCreate: reads the identity and the configuration of the program
    // folder appPath (TSysOper::GetAppPath() in the program). When the
    // configuration cannot be used, a message box has been shown and
    // terminationRequested() is true.
    TFrm_Tavlin(Browser& browser, IdentitySource& identity, Dialogs& dialogs, std::string appPath,
                QWidget* parent = nullptr);
    ~TFrm_Tavlin() override;

    bool terminationRequested() const { return m_terminationRequested; }

    // Brings the window to the front, maximised: asked for by a second copy,
    // with the activation token its launcher gave it (empty without one).
    void showRunningCopy(const QByteArray& activationToken = {});

    // Makes the video-capture control of each camera window: the program's
    // entry gives the one over GStreamer, tests a scripted one. The
    // camera window makes the control's preview as its own child.
    using CameraFactory = std::function<std::unique_ptr<Vcx>()>;
    void setCameraFactory(CameraFactory factory) { m_cameraFactory = std::move(factory); }
    // Where the camera window writes the photo (with a trailing '/'): the
    // program folder unless the run chose the user's private folder.
    void setPhotoFolder(std::string folder) { m_photoFolder = std::move(folder); }

    // The components are found by their design names (object names):
    // Img_Title, Img_Photo, Img_Close, Img_Index, Img_Login, Panel1, Pnl_Web,
    // Pnl_Msg, Img_back, Lb_Msg, Lb_Base, Lb_Ref, Lb_cs, Img_Gif, StatusBar
    // and its panels StatusPanel0 to StatusPanel3.

    // The title buttons' eight faces (ImgList_Title): normal and highlighted
    // for 拍照, 关闭, 首页 and 登录.
    const std::array<QPixmap, 8>& titleFaces() const { return ImgList_Title; }

    // The URL of the last NavigateToStart.
    const std::string& lastStartUrl() const { return m_lastStartUrl; }

    // Puts the photo file at path into the page: its Base64 text into the
    // input "Txt_InspectPhotoStr", the picture into the image "Img_InspectPhoto".
    // Only into the document that was shown when the officer pressed the
    // Photo button (or, called on its own, the one shown now): when that
    // document has gone, into no page, and the log says so.
    void ImportPhoto(const QString& path);

    // The application-wide input hook: true drops the event. Right-button
    // presses, releases and double clicks addressed to the browser's view or
    // to any widget inside it never reach the page.
    bool ApplicationEvents1Message(QObject* receiver, QEvent* event);

    // Showing the window the first time runs FormShow, before the window is
    // laid out and painted. Decoding the pictures and the first paint wait
    // until the start page's request went out (at most kFirstPaintHoldMs):
    // both take the thread that also sends the request, and the back end's
    // answer is the officer's longer wait.
    void setVisible(bool visible) override;
    static constexpr int kFirstPaintHoldMs = 250;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void handleBrowserPageFailed(const QString& reason);
    void handleBrowserRefused(const QString& what);
    void handleBrowserPrinted(const QString& line);
    void handleBrowserPrintFailed(const QString& line);
    void handleBrowserDocumentKept();
    void handleBrowserLoadFailed(const QString& reason, bool outage);
    void handleBrowserLoadTimedOut(int seconds, const QString& where);

private:
    // Components, by the names of the design.
    QLabel* Img_Title = nullptr;
    ImageButton* Img_Photo = nullptr;
    ImageButton* Img_Close = nullptr;
    ImageButton* Img_Index = nullptr;
    ImageButton* Img_Login = nullptr;
    QFrame* Panel1 = nullptr;
    QWidget* Pnl_Web = nullptr;
    QWidget* Pnl_Msg = nullptr;
    QLabel* Img_back = nullptr;
    QLabel* Lb_Msg = nullptr;
    QLabel* Lb_Base = nullptr;
    ClickableLabel* Lb_Ref = nullptr;
    QLabel* Lb_cs = nullptr;
    QLabel* Img_Gif = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 4> StatusPanels{};
    std::array<QPixmap, 8> ImgList_Title;

    // The fields, 8-bit texts in the code page: the enterprise's identity
    // (TypeCode, EnterpriseNumber, EnterpriseName, IdentitySerial, OtherInfo)
    // and the base URL.
    IdentityFields Identity;
    std::string BaseUrl;

    // The officer's actions, wired to the components, and the browser's report.
    void Img_LoginClick();
    void Lb_RefClick();
    void Img_CloseClick();
    void Img_IndexClick();
    void Img_PhotoClick();
    void WebBrowserDocumentComplete(const Browser::CompletedPage& page);

    void createComponents();
    // The parts createComponents makes, top to bottom.
    void createTitleStrip();
    void createWebArea();
    void createMessagePanel();
    void createStatusBar();
    // The browser's reports, wired to the window's handlers.
    void connectBrowser();
    void loadPictures();
    // Decodes the pictures and lets the window paint: run once, from the event
    // loop after the start page's request went out, or when the hold ends.
    void releaseFirstPaint();
    void layoutComponents();
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void ReadIdentity();
    bool LoadConfig(const ShellConfig::Configuration& config);
    void NavigateToStart();
    // Shows the officer's labels as the page that completed last gave them.
    void ReadOfficerInfo();
    // Says in the log where a start that led to an unknown page ended.
    void logStartEndedElsewhere(const Browser::CompletedPage& page);
    // Part of the states' table (WindowStates) applied, in its order.
    void applyPageKind(PageKind kind);
    void applyStates(std::span<const WindowStates::Change> changes);
    // Where every change of the window's own widgets composes the whole
    // window on the processor (Browser::composesOnTheProcessor), a completed
    // page's states are held for kPageStatesHoldMs from the first one held,
    // and only what then differs from the screen changes: the states of
    // pages gone within that time (a chain of redirects) are never drawn,
    // and cost no composition. Any other change of the states applies the
    // held ones first.
    void holdPageStates(std::span<const WindowStates::Change> changes);
    void applyHeldPageStates();
    static constexpr int kPageStatesHoldMs = 100;
    void animateLoadingWhileShown();
    QWidget* component(WindowStates::Component which) const;
    void setStatusPanel(std::size_t index, const std::string& codePageText);
    void Image_MouseEnter(ImageButton* button);
    void Image_MouseLeave(ImageButton* button);
    void showFace(ImageButton* button, bool highlighted);
    void hideErrorTexts();
    // Moves the keyboard's focus to the shown title button step places from
    // from (the first shown from the left when from is none of them).
    bool focusTitleButton(const ImageButton* from, int step);
    // A key pressed on a title button; true when the strip took it.
    bool handleTitleStripKey(ImageButton* button, int key);
    // F6 goes to the page first, which answers later: keys typed meanwhile
    // (Enter right after F6) wait for its answer and then go, in order, to
    // where the focus is (the strip when the page left F6 alone). A page
    // that keeps F6 gets them after kF6AnswerMs.
    bool holdKeyWhileThePageHasF6(QWidget* target, QEvent* event, bool inPage);
    void releaseKeysAfterF6();
    static constexpr int kF6AnswerMs = 250;
    // The title buttons, in the design's order (which is also the order of
    // their faces in ImgList_Title: normal, then highlighted): design name,
    // caption, face (the pictures btn_<face>.png and btn_<face>_hi.png),
    // left edge in the strip, shown when the window opens, click handler.
    // One table for creation, places, faces and the keyboard's order.
    struct TitleButton {
        ImageButton* TFrm_Tavlin::*member;
        const char* name;
        const char* caption; // UTF-8
        const char* face;
        int left;
        bool shown;
        void (TFrm_Tavlin::*click)();
    };
    static const std::array<TitleButton, 4> kTitleButtons;
    // The buttons made from kTitleButtons, in its order.
    std::array<ImageButton*, 4> titleButtons() const {
        std::array<ImageButton*, 4> buttons{};
        for (std::size_t i = 0; i < kTitleButtons.size(); ++i) {
            buttons[i] = this->*kTitleButtons[i].member;
        }
        return buttons;
    }

    Browser& m_browser;
    IdentitySource& m_identity;
    Dialogs& m_dialogs;
    std::string m_appPath;
    std::string m_photoFolder;
    QMovie* m_loading = nullptr;
    CameraFactory m_cameraFactory;
    bool m_terminationRequested = false;
    bool m_shown = false;
    bool m_paintHeld = false;
    std::string m_lastStartUrl;
    // The page that completed last, as the browser read it.
    Browser::CompletedPage m_completedPage;
    // The document the officer pressed the Photo button on.
    std::optional<Browser::DocumentPin> m_photoDocument;
    // A start asked for by NavigateToStart has not led to a document yet, and
    // whether a page was shown (the message panel hidden) when it was asked for.
    bool m_startPending = false;
    bool m_pageShownBeforeStart = false;
    // Why the pending start failed is logged already (a proxy refused it):
    // the page it ended on need not be said as well.
    bool m_startFailureLogged = false;
    // 登录 or 首页 was pressed: the pages before the next one are forgotten.
    bool m_forgetEarlierPages = false;
    // The back end could not be reached, and no page has come since: the
    // start is tried again by itself while the error panel shows, and the
    // outage is written to the log once.
    bool m_outage = false;
    NetworkFailure::RetrySchedule m_retrySchedule;
    QTimer* m_retry = nullptr;
    // The try due is the start's (else the failed inner page's, in its place).
    bool m_retryStart = true;
    void retryAfterOutage();
    // F6 was given to the page and its answer has not come; the keys since.
    QTimer* m_f6Answer = nullptr;
    std::vector<std::unique_ptr<QKeyEvent>> m_keysAfterF6;
    // A completed page's state changes held, in order.
    std::vector<WindowStates::Change> m_heldPageStates;
    QTimer* m_pageStatesHold = nullptr;
};
