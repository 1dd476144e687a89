#include "Main.h"

#include "Browser.h"
#include "Camera.h"
#include "CodePage.h"
#include "Dialogs.h"
#include "FileOper.h"
#include "IdentitySource.h"
#include "ImageButton.h"
#include "ImgOper.h"
#include "PageLogBudget.h"
#include "PageTitle.h"
#include "QtText.h"
#include "ScreenPixelsAccessible.h"
#include "ShellConfig.h"
#include "Skin.h"
#include "SysOper.h"
#include "Vcx.h"
#include "WindowPlacement.h"

#include <QAccessible>
#include <QApplication>

#include <QFile>
#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <malloc.h>

namespace {

// The page's labels with the logged-in officer's details.
const QString kId = QStringLiteral("Lbl_PoliceId");
const QString kName = QStringLiteral("Lbl_PoliceName");
const QString kOrganisation = QStringLiteral("Lbl_PoliceOrgId");

// Widgets with this tag keep the plain look: the skin leaves them alone.
constexpr int kPlainTag = 9999;
const QColor kLinkBlue(40, 91, 162);

// What never reaches the page: the right button, the mouse's back and
// forward buttons (the next person at the PC would page back through the
// officer's pages), the middle button (on X11 it pastes the selection, which
// may be anything last selected in any program), the keyboard's context menu,
// zooming (Ctrl and the wheel, a pinch) and things dragged onto it.
bool IsHeldFromPage(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        switch (static_cast<QMouseEvent*>(event)->button()) {
        case Qt::RightButton:
        case Qt::MiddleButton:
        case Qt::BackButton:
        case Qt::ForwardButton:
            return true;
        default:
            return false;
        }
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
        const auto* key = static_cast<QKeyEvent*>(event);
        return key->key() == Qt::Key_Menu ||
               (key->key() == Qt::Key_F10 && key->modifiers().testFlag(Qt::ShiftModifier));
    }
    case QEvent::Wheel:
        return static_cast<QWheelEvent*>(event)->modifiers().testFlag(Qt::ControlModifier);
    case QEvent::NativeGesture:
        return static_cast<QNativeGestureEvent*>(event)->gestureType() == Qt::ZoomNativeGesture;
    default:
        return false;
    }
}

// A status bar panel shows plain text on one line, never more than
// kStatusPanelMaxLength characters, whatever the page put in its labels.
constexpr qsizetype kStatusPanelMaxLength = 60;
QString StatusPanelText(const QString& text) {
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const bool breaks = c.unicode() < 0x20 || c == QChar(0x7F) ||
                            c.category() == QChar::Separator_Line ||
                            c.category() == QChar::Separator_Paragraph;
        line.append(breaks ? QLatin1Char(' ') : c);
    }
    if (line.size() > kStatusPanelMaxLength) {
        line = line.left(kStatusPanelMaxLength - 1) + QChar(0x2026);
    }
    return line;
}

void MarkPlain(QWidget* widget) {
    widget->setProperty("tag", kPlainTag);
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// The label's size is given, not measured: measuring would load the CJK fonts
// before the start page is asked for, and the start is the officer's wait.
QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry,
                  const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    SetTextColour(label, colour);
    MarkPlain(label);
    return label;
}

// The main window to assistive technology, placed in the screen's pixels
// like its title buttons (see ScreenPixelsAccessible).
QAccessibleInterface* WindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TFrm_Tavlin") && object != nullptr && object->isWidgetType()) {
        return new ScreenPixelsAccessible(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

} // namespace

TFrm_Tavlin::TFrm_Tavlin(Browser& browser, IdentitySource& identity, Dialogs& dialogs,
                         std::string appPath, QWidget* parent)
    : QWidget(parent), m_browser(browser), m_identity(identity), m_dialogs(dialogs),
      m_appPath(std::move(appPath)), m_photoFolder(m_appPath) {
    static const bool accessible = (QAccessible::installFactory(WindowAccessible), true);
    (void)accessible;
    createComponents();
    // ApplicationEvents1: every event of the application passes this window's filter.
    qApp->installEventFilter(this);
    FormCreate();
}

TFrm_Tavlin::~TFrm_Tavlin() {
    qApp->removeEventFilter(this);
    FormDestroy();
}

bool TFrm_Tavlin::eventFilter(QObject* watched, QEvent* event) {
    return ApplicationEvents1Message(watched, event) || QWidget::eventFilter(watched, event);
}

bool TFrm_Tavlin::ApplicationEvents1Message(QObject* receiver, QEvent* event) {
    if (!receiver->isWidgetType()) {
        return false;
    }
    auto* target = static_cast<QWidget*>(receiver);
    // The page's own input: the view, or a widget inside it.
    const QWidget* view = m_browser.view();
    const bool inPage = view != nullptr && (target == view || view->isAncestorOf(target));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        // The officer uses the page: the browser watches whether it answers.
        if (inPage) {
            m_browser.noteOfficerInput();
        }
        break;
    default:
        break;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const auto buttons = titleButtons();
        const auto onStrip = std::find(buttons.begin(), buttons.end(), target);
        if (onStrip != buttons.end()) {
            return handleTitleStripKey(*onStrip, key);
        }
        // F6 from the window to the strip; the page has it first, and the
        // view hands on what the page leaves (to its parent, Pnl_Web).
        if (key == Qt::Key_F6 && static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
            target->window() == this && !inPage) {
            return focusTitleButton(nullptr, 1); // from the page (or the window) to the strip
        }
    }
    return inPage && IsHeldFromPage(event);
}

bool TFrm_Tavlin::focusTitleButton(const ImageButton* from, int step) {
    // The shown buttons from the left: the strip's order, not the design's
    // creation order.
    std::vector<ImageButton*> shown;
    for (ImageButton* button : {Img_Photo, Img_Index, Img_Login, Img_Close}) {
        if (!button->isHidden()) {
            shown.push_back(button);
        }
    }
    if (shown.empty()) {
        return false;
    }
    const auto at = std::find(shown.begin(), shown.end(), from);
    const auto count = static_cast<std::ptrdiff_t>(shown.size());
    const std::ptrdiff_t next =
        at == shown.end() ? 0 : ((at - shown.begin()) + step + count) % count;
    shown[static_cast<std::size_t>(next)]->setFocus(Qt::TabFocusReason);
    return true;
}

bool TFrm_Tavlin::handleTitleStripKey(ImageButton* button, int key) {
    // As in browsers: F6 between page and title strip, Tab and the arrows
    // among the shown buttons, Enter or Space presses (the button's own).
    switch (key) {
    case Qt::Key_F6:
    case Qt::Key_Escape:
        if (QWidget* view = m_browser.view()) {
            view->setFocus(Qt::OtherFocusReason);
        }
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return focusTitleButton(button, 1);
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Up:
        return focusTitleButton(button, -1);
    default:
        return false;
    }
}

void TFrm_Tavlin::createComponents() {
    setObjectName(QStringLiteral("TFrm_Tavlin"));
    setWindowTitle(QStringLiteral("Tavlin"));
    resize(WindowPlacement::FitToScreen(QSize(914, 634), *this));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    Img_Title = new QLabel(this);
    Img_Title->setObjectName(QStringLiteral("Img_Title"));
    Img_Title->setScaledContents(true);

    // The pictures are decoded in loadPictures(), once the start page's request
    // went out; the buttons' places are set in layoutComponents().
    const auto makeButton = [this](const char* name, const QString& caption, bool visible) {
        auto* button = new ImageButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setVisible(visible);
        connect(button, &ImageButton::entered, this, [this, button] { Image_MouseEnter(button); });
        connect(button, &ImageButton::left, this, [this, button] { Image_MouseLeave(button); });
        return button;
    };
    Img_Photo = makeButton("Img_Photo", QStringLiteral("拍照"), false);
    Img_Close = makeButton("Img_Close", QStringLiteral("关闭"), true);
    Img_Index = makeButton("Img_Index", QStringLiteral("首页"), false);
    Img_Login = makeButton("Img_Login", QStringLiteral("登录"), true);
    connect(Img_Close, &ImageButton::clicked, this, &TFrm_Tavlin::Img_CloseClick);
    connect(Img_Index, &ImageButton::clicked, this, &TFrm_Tavlin::Img_IndexClick);
    connect(Img_Login, &ImageButton::clicked, this, &TFrm_Tavlin::Img_LoginClick);
    connect(Img_Photo, &ImageButton::clicked, this, &TFrm_Tavlin::Img_PhotoClick);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);

    Pnl_Web = new QWidget(Panel1);
    Pnl_Web->setObjectName(QStringLiteral("Pnl_Web"));
    auto* webLayout = new QVBoxLayout(Pnl_Web);
    webLayout->setContentsMargins(0, 0, 0, 0);
    webLayout->addWidget(m_browser.createView(Pnl_Web));
    connect(&m_browser, &Browser::documentComplete, this, &TFrm_Tavlin::WebBrowserDocumentComplete);
    // Every completed page is read for the officer's labels (ReadOfficerInfo).
    m_browser.setCompletionReads({kId, kName, kOrganisation});
    connect(&m_browser, &Browser::pageFailed, this, &TFrm_Tavlin::handleBrowserPageFailed);
    connect(&m_browser, &Browser::refused, this, &TFrm_Tavlin::handleBrowserRefused);
    connect(&m_browser, &Browser::documentKept, this, &TFrm_Tavlin::handleBrowserDocumentKept);
    connect(&m_browser, &Browser::loadFailed, this, &TFrm_Tavlin::handleBrowserLoadFailed);
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, [this] {
        // Only while the officer still looks at the error panel.
        if (!Lb_Ref->isHidden()) {
            Lb_RefClick();
        }
    });

    Pnl_Msg = new QWidget(Panel1);
    Pnl_Msg->setObjectName(QStringLiteral("Pnl_Msg"));
    Pnl_Msg->setAutoFillBackground(true);
    Pnl_Msg->setAttribute(Qt::WA_StyledBackground, true); // the skin paints its background too
    QPalette window = Pnl_Msg->palette();
    window.setColor(QPalette::Window, Qt::white);
    Pnl_Msg->setPalette(window);
    MarkPlain(Pnl_Msg);

    Img_back = new QLabel(Pnl_Msg);
    Img_back->setObjectName(QStringLiteral("Img_back"));
    Img_back->setGeometry(283, 104, 400, 400);
    Img_back->hide();

    Lb_Msg = MakeLabel(Pnl_Msg, QStringLiteral("正在努力加载页面,请稍候......"),
                       QRect(463, 279, 260, 16), kLinkBlue);
    Lb_Msg->setObjectName(QStringLiteral("Lb_Msg"));
    // The three error texts stand in a row: each ends where the next begins.
    Lb_Base = MakeLabel(Pnl_Msg, QStringLiteral("加载页面出错!请点击"), QRect(458, 386, 119, 16),
                        Qt::red);
    Lb_Base->setObjectName(QStringLiteral("Lb_Base"));
    Lb_Base->hide();
    Lb_Ref = new ClickableLabel(QStringLiteral("刷新"), Pnl_Msg);
    Lb_Ref->setObjectName(QStringLiteral("Lb_Ref"));
    Lb_Ref->setGeometry(577, 384, 34, 18);
    QFont linkFont = Lb_Ref->font();
    linkFont.setPixelSize(14);
    linkFont.setUnderline(true);
    Lb_Ref->setFont(linkFont);
    SetTextColour(Lb_Ref, kLinkBlue);
    Lb_Ref->setCursor(Qt::PointingHandCursor);
    MarkPlain(Lb_Ref);
    Lb_Ref->hide();
    connect(Lb_Ref, &ClickableLabel::clicked, this, &TFrm_Tavlin::Lb_RefClick);
    Lb_cs = MakeLabel(Pnl_Msg, QStringLiteral("重试!"), QRect(611, 387, 40, 16), Qt::red);
    Lb_cs->setObjectName(QStringLiteral("Lb_cs"));
    Lb_cs->hide();

    Img_Gif = new QLabel(Pnl_Msg);
    Img_Gif->setObjectName(QStringLiteral("Img_Gif"));
    Img_Gif->setGeometry(444, 277, 16, 16);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    // The panels stand at fixed places, not in the status bar's own layout,
    // whose spacing would move them off the grid.
    for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
        StatusPanels[i] = new QLabel(StatusBar);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setTextFormat(Qt::PlainText);
    }

    layoutComponents();
}

void TFrm_Tavlin::layoutComponents() {
    constexpr int kTitleHeight = 67;
    constexpr int kTitleButtonsRight = 930 + 60; // 关闭's right edge
    constexpr int kStatusHeight = 19;
    Img_Title->setGeometry(0, 0, width(), kTitleHeight);
    // The title buttons at the design's places; in a window narrower than
    // they need (a large scaling factor) moved left together, in their order
    // and spacing, so that 关闭 ends inside the window.
    const int shift = WindowPlacement::ShiftToFit(kTitleButtonsRight, width());
    for (const auto& [button, left] : {std::pair{Img_Photo, 673}, std::pair{Img_Index, 758},
                                       std::pair{Img_Login, 844}, std::pair{Img_Close, 930}}) {
        button->move(left - shift, 3);
    }
    StatusBar->setGeometry(0, height() - kStatusHeight, width(), kStatusHeight);
    // Widths 200, 250, 400 and 50; the last reaches to the window's edge, as
    // a status bar's last part does.
    constexpr std::array<int, 4> kPanelWidths = {200, 250, 400, 50};
    int left = 0;
    for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
        const bool last = i + 1 == StatusPanels.size();
        const int panelWidth = last ? std::max(kPanelWidths[i], width() - left) : kPanelWidths[i];
        StatusPanels[i]->setGeometry(left, 0, panelWidth, kStatusHeight);
        left += kPanelWidths[i];
    }
    Panel1->setGeometry(0, kTitleHeight, width(), height() - kTitleHeight - kStatusHeight);
    Pnl_Web->setGeometry(Panel1->contentsRect());
    Pnl_Msg->setGeometry(Panel1->contentsRect());
}

void TFrm_Tavlin::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutComponents();
}

void TFrm_Tavlin::setVisible(bool visible) {
    if (visible && !m_shown) {
        m_shown = true;
        m_paintHeld = true;
        setUpdatesEnabled(false);
        // Queued: the request is announced from inside the browser's own
        // handling of it, which must be over before the window takes the thread.
        connect(&m_browser, &Browser::documentRequested, this, &TFrm_Tavlin::releaseFirstPaint,
                Qt::QueuedConnection);
        QTimer::singleShot(kFirstPaintHoldMs, this, &TFrm_Tavlin::releaseFirstPaint);
        FormShow();
    }
    QWidget::setVisible(visible);
}

void TFrm_Tavlin::releaseFirstPaint() {
    if (!m_paintHeld) {
        return;
    }
    m_paintHeld = false;
    disconnect(&m_browser, &Browser::documentRequested, this, &TFrm_Tavlin::releaseFirstPaint);
    loadPictures();
    setUpdatesEnabled(true);
    // Whoever set up the PC learns why every Chinese text would be boxes;
    // asked after the first paint, which has loaded the fonts anyway.
    QTimer::singleShot(0, this, [] {
        if (!Skin::HasChineseFont()) {
            const QString advice = Skin::MissingChineseFontAdvice();
            std::fprintf(stderr, "tavlin: %s\n", advice.toLocal8Bit().constData());
            TSysOper::WriteLog(CodePage::FromUtf8("缺少中文字体,原因:") +
                               QtText::ToCodePage(advice));
        }
    });
}

void TFrm_Tavlin::loadPictures() {
    const auto picture = [](const QString& path) { return QPixmap(path); };
    Img_Title->setPixmap(picture(QStringLiteral(":/pictures/title.jpg")));
    // Normal and highlighted faces: Photo 0 1, Close 2 3, Index 4 5, Login 6 7.
    const char* faces[] = {"photo", "close", "index", "login"};
    const auto buttons = titleButtons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        ImgList_Title[2 * i] = picture(QStringLiteral(":/pictures/btn_%1.png").arg(faces[i]));
        ImgList_Title[2 * i + 1] =
            picture(QStringLiteral(":/pictures/btn_%1_hi.png").arg(faces[i]));
        buttons[i]->setPixmap(ImgList_Title[2 * i]);
    }
    Img_back->setPixmap(picture(QStringLiteral(":/pictures/back.jpg")));
    // The program's icon, for this window and every window after it.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    m_loading = new QMovie(QStringLiteral(":/pictures/loading.gif"), QByteArray(), this);
    Img_Gif->setMovie(m_loading);
    animateLoadingWhileShown();
}

void TFrm_Tavlin::showRunningCopy(const QByteArray& activationToken) {
    WindowPlacement::ShowMaximised(*this);
    raise();
    WindowPlacement::Activate(*this, activationToken);
}

void TFrm_Tavlin::FormCreate() {
    ReadIdentity();
    // The configuration, read once: the base URL and the browser's settings.
    const ShellConfig::Configuration config = ShellConfig::Load(m_appPath);
    if (!LoadConfig(config)) {
        m_terminationRequested = true;
        return;
    }
    m_browser.setPagePolicy(QUrl(QtText::FromCodePage(BaseUrl).trimmed()), config.browser);
    // An entry of AllowedOrigins Tavlin cannot read narrows the pages (it is
    // left out): IT reads here why a page of that origin is refused.
    for (const std::string& entry : config.browser.unreadableOrigins) {
        const std::string why = "AllowedOrigins: '" + entry +
                                "' is not an origin and is left out; pages stay within the base "
                                "URL's origin and the origins read";
        std::fprintf(stderr, "tavlin: %s\n", CodePage::ToUtf8(why).c_str());
        TSysOper::WriteLog(CodePage::FromUtf8("读取配置失败,原因:") + why);
    }
}

void TFrm_Tavlin::handleBrowserPageFailed(const QString& reason) {
    // A page whose renderer died, hung or never finished is a failed load. The
    // panel comes up over the view as well, or the officer would see neither
    // page nor retry link. Not an outage: nothing is tried again by itself.
    m_outage = false;
    m_retry->stop();
    TSysOper::WriteLog(CodePage::FromUtf8("加载页面失败，错误：") + QtText::ToCodePage(reason));
    m_startPending = false;
    applyStates(WindowStates::kPanelUp);
    applyPageKind(PageKind::Failed);
}

void TFrm_Tavlin::handleBrowserLoadFailed(const QString& reason, bool outage) {
    m_startFailureLogged = m_startPending;
    // One line per outage: the tries while the back end stays out of reach
    // add none.
    if (!outage || !m_outage) {
        TSysOper::WriteLog(CodePage::FromUtf8("加载页面失败，错误：") + QtText::ToCodePage(reason));
    }
    if (!outage) {
        return;
    }
    if (!m_outage) {
        m_outage = true;
        m_retrySchedule.reset();
    }
    m_retry->start(m_retrySchedule.next());
}

void TFrm_Tavlin::handleBrowserDocumentKept() {
    // The start asked for never came (the officer chose to stay on the page,
    // or the load was stopped or answered without a document): the page that
    // was shown stays usable, and no loading panel is left over it. With no
    // page shown before, the officer gets the retry link.
    if (!m_startPending) {
        return;
    }
    m_startPending = false;
    if (m_pageShownBeforeStart) {
        applyStates(WindowStates::kPanelDown);
    } else {
        applyPageKind(PageKind::Failed);
    }
}

void TFrm_Tavlin::handleBrowserRefused(const QString& what) {
    TSysOper::WriteLog(CodePage::FromUtf8("拒绝页面请求,原因:") + QtText::ToCodePage(what));
}

void TFrm_Tavlin::FormShow() {
    // The keyboard starts in the page, not on a title button (F6 leads there).
    if (QWidget* view = m_browser.view()) {
        view->setFocus(Qt::OtherFocusReason);
    }
    NavigateToStart();
    Img_Photo->hide();
}

void TFrm_Tavlin::FormDestroy() {
    // Nothing of the system's own to release: the browser's view is a child of
    // this window and goes with it.
}

void TFrm_Tavlin::ReadIdentity() {
    const IdentityFields fields = NormaliseIdentity(m_identity.Read());
    TypeCode = fields.TypeCode;
    EnterpriseNumber = fields.EnterpriseNumber;
    EnterpriseName = fields.EnterpriseName;
    IdentitySerial = fields.IdentitySerial;
    OtherInfo = fields.OtherInfo;
    setStatusPanel(0, EnterpriseNumberPanel(EnterpriseNumber));
    setStatusPanel(3, EnterpriseName);
}

bool TFrm_Tavlin::LoadConfig(const ShellConfig::Configuration& config) {
    // Whoever started Tavlin from a terminal learns which file it looked for.
    if (!config.refusal.empty()) {
        std::fprintf(stderr, "%s\n", config.refusal.c_str());
    }
    BaseUrl = config.baseUrl;
    switch (config.result) {
    case ShellConfig::LoadResult::MissingFile:
        m_dialogs.warning(this, QString::fromUtf8(ShellConfig::kMissingConfigMessage.data(),
                                                  ShellConfig::kMissingConfigMessage.size()));
        return false;
    case ShellConfig::LoadResult::EmptyUrl:
        m_dialogs.warning(this, QString::fromUtf8(ShellConfig::kEmptyUrlMessage.data(),
                                                  ShellConfig::kEmptyUrlMessage.size()));
        return false;
    case ShellConfig::LoadResult::Loaded:
        return true;
    }
    return false;
}

void TFrm_Tavlin::NavigateToStart() {
    // Whether a page was shown, for a start that never comes.
    m_pageShownBeforeStart = Pnl_Msg->isHidden();
    applyStates(WindowStates::kLoading);
    const IdentityFields fields{TypeCode, EnterpriseNumber, EnterpriseName, IdentitySerial,
                                OtherInfo};
    m_lastStartUrl = ComposeStartUrl(BaseUrl, fields, TFileOper::GetVersion());
    m_startPending = true;
    m_startFailureLogged = false;
    m_forgetEarlierPages = true;
    m_browser.navigate(QUrl(QtText::FromCodePage(StartUrlToSend(m_lastStartUrl))));
}

void TFrm_Tavlin::Img_LoginClick() {
    m_retry->stop(); // the officer's own start replaces the next try
    ReadIdentity();
    hideErrorTexts();
    NavigateToStart();
}

void TFrm_Tavlin::Lb_RefClick() {
    m_retry->stop();
    hideErrorTexts();
    NavigateToStart();
}

void TFrm_Tavlin::hideErrorTexts() {
    applyStates(WindowStates::kErrorTextsHidden);
}

void TFrm_Tavlin::Img_CloseClick() {
    close();
}

void TFrm_Tavlin::Img_IndexClick() {
    // The page's own function moves it to its index page; the client navigates nowhere.
    m_forgetEarlierPages = true;
    m_browser.runPageScript(QStringLiteral("Func_RedirectIndex()"));
}

void TFrm_Tavlin::Img_PhotoClick() {
    try {
        // The camera window and its control live for this one photo: both are
        // gone when this returns, whatever happened, which closes the device.
        if (!m_cameraFactory) {
            throw std::runtime_error("no camera control is set up");
        }
        // The photo is for the document shown now, and for no other.
        m_photoDocument = m_browser.pinDocument();
        const std::unique_ptr<Vcx> vcx = m_cameraFactory();
        TFrm_Camera camera(*vcx, m_dialogs, m_photoFolder, this);
        camera.exec();
        if (camera.PhotoTaken()) {
            ImportPhoto(camera.PhotoPath());
        }
    } catch (const std::exception& e) {
        m_dialogs.errorReport(this, QString::fromUtf8(e.what()));
    }
    m_photoDocument.reset();
    // The camera's frames and the photo's text were megabytes each: hand the
    // freed memory back, so that a day of photos does not leave the process
    // larger and larger.
    malloc_trim(0);
}

void TFrm_Tavlin::ImportPhoto(const QString& path) {
    if (!QFile::exists(path)) {
        return;
    }
    const std::string text = TImgOper::ImageToBase64(path.toStdString());
    if (text.empty()) {
        return; // ImageToBase64 has logged why
    }
    // Chromium will not show a local path in an http page: the picture is
    // served under the program's own scheme, to the pinned document only.
    const Browser::DocumentPin document =
        m_photoDocument ? *m_photoDocument : m_browser.pinDocument();
    m_browser.importPhoto(document, QStringLiteral("Txt_InspectPhotoStr"), text,
                          QStringLiteral("Img_InspectPhoto"), path, [](const ScriptResult& result) {
                              if (!result.ok) {
                                  TSysOper::WriteLog(CodePage::FromUtf8("导入照片时失败,错误:") +
                                                     QtText::ToCodePage(result.error));
                              }
                          });
}

void TFrm_Tavlin::WebBrowserDocumentComplete(bool ok) {
    const bool start = m_startPending;
    m_startPending = false;
    if (!ok) {
        applyPageKind(PageKind::Failed); // a failed load has no title
        return;
    }
    // A document came: the back end is reachable again.
    m_outage = false;
    m_retry->stop();
    // After 登录 and 首页 nothing before can be gone back to: the next person
    // at the PC finds none of the officer's earlier pages.
    if (m_forgetEarlierPages) {
        m_forgetEarlierPages = false;
        m_browser.clearHistory();
    }
    // The window may be gone when the page answers.
    m_browser.readTitle([self = QPointer<TFrm_Tavlin>(this), start](const ScriptResult& result) {
        if (!self) {
            return;
        }
        if (!result.ok && !result.noDocument) {
            // The browser failed to answer: logged, and the window stays as it was.
            TSysOper::WriteLog(CodePage::FromUtf8("加载页面失败，错误：") +
                               QtText::ToCodePage(result.error));
            return;
        }
        // No document at all counts as an empty title: a failed load.
        const QString title =
            result.ok ? result.values.value(QStringLiteral("title")).toString() : QString();
        const PageKind kind = ClassifyTitle(QtText::ToCodePage(title));
        if (start && kind == PageKind::Failed && !self->m_startFailureLogged) {
            self->logStartEndedElsewhere(title);
        }
        self->applyPageKind(kind);
    });
}

void TFrm_Tavlin::logStartEndedElsewhere(const QString& title) {
    // The start led to a page Tavlin does not know (a captive portal, a proxy's
    // or the back end's own error page): support reads where it ended, by
    // origin only (the address's query carries the enterprise's identity).
    const QUrl url = m_browser.documentUrl();
    const QString origin = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath |
                                        QUrl::RemoveQuery | QUrl::RemoveFragment)
                               .toString(QUrl::FullyEncoded);
    TSysOper::WriteLog(
        CodePage::FromUtf8("加载页面失败，错误：") +
        QtText::ToCodePage(
            QStringLiteral("the start page ended at %1 with the title '%2', a page Tavlin does "
                           "not know")
                .arg(QString::fromStdString(LogExcerpt(origin.toStdString(), 160)),
                     QString::fromStdString(LogExcerpt(title.toStdString(), 80)))));
}

void TFrm_Tavlin::applyPageKind(PageKind kind) {
    const WindowStates::Row row = WindowStates::ForPage(kind);
    applyStates(row.changes);
    switch (row.then) {
    case WindowStates::Then::ClearOfficerPanels:
        setStatusPanel(1, {});
        setStatusPanel(2, {});
        break;
    case WindowStates::Then::ReadOfficerInfo:
        ReadOfficerInfo();
        break;
    case WindowStates::Then::Nothing:
        break;
    }
}

QWidget* TFrm_Tavlin::component(WindowStates::Component which) const {
    using enum WindowStates::Component;
    switch (which) {
    case Pnl_Web:
        return this->Pnl_Web;
    case Pnl_Msg:
        return this->Pnl_Msg;
    case Img_Photo:
        return this->Img_Photo;
    case Img_Index:
        return this->Img_Index;
    case Lb_Msg:
        return this->Lb_Msg;
    case Img_Gif:
        return this->Img_Gif;
    case Img_back:
        return this->Img_back;
    case Lb_Base:
        return this->Lb_Base;
    case Lb_Ref:
        return this->Lb_Ref;
    case Lb_cs:
        return this->Lb_cs;
    }
    return nullptr;
}

void TFrm_Tavlin::applyStates(std::span<const WindowStates::Change> changes) {
    for (const WindowStates::Change& change : changes) {
        component(change.component)->setVisible(change.shown);
    }
    animateLoadingWhileShown();
}

void TFrm_Tavlin::animateLoadingWhileShown() {
    // The loading picture moves only while the panel shows it: a movie left
    // running under a hidden panel still ticks, and keeps the event loop
    // busy all day on a page left open.
    if (m_loading == nullptr) {
        return;
    }
    const bool shown = Img_Gif->isVisibleTo(this);
    if (shown && m_loading->state() == QMovie::NotRunning) {
        m_loading->start();
    } else if (shown && m_loading->state() == QMovie::Paused) {
        m_loading->setPaused(false);
    } else if (!shown && m_loading->state() == QMovie::Running) {
        m_loading->setPaused(true);
    }
}

void TFrm_Tavlin::ReadOfficerInfo() {
    m_browser.readElementTexts({kId, kName, kOrganisation}, [self = QPointer<TFrm_Tavlin>(this)](
                                                                const ScriptResult& result) {
        if (!self) {
            return;
        }
        const auto fail = [](const QString& error) {
            TSysOper::WriteLog(CodePage::FromUtf8("获取登录的警员信息失败,错误:") +
                               QtText::ToCodePage(error));
        };
        if (!result.ok) {
            fail(result.error);
            return;
        }
        if (result.values.contains(kId)) {
            if (!result.values.contains(kName)) {
                fail(kName + QStringLiteral(" not found"));
                return;
            }
            self->setStatusPanel(
                1,
                QtText::ToCodePage(QStringLiteral("警员信息：【") +
                                   result.values.value(kId).toString() + QLatin1Char('-') +
                                   result.values.value(kName).toString() + QStringLiteral("】")));
        }
        if (result.values.contains(kOrganisation)) {
            self->setStatusPanel(2,
                                 QtText::ToCodePage(QStringLiteral("所属机构：【") +
                                                    result.values.value(kOrganisation).toString() +
                                                    QStringLiteral("】")));
        }
    });
}

void TFrm_Tavlin::setStatusPanel(std::size_t index, const std::string& codePageText) {
    StatusPanels[index]->setText(StatusPanelText(QtText::FromCodePage(codePageText)));
}

void TFrm_Tavlin::Image_MouseEnter(ImageButton* button) {
    showFace(button, true);
}

void TFrm_Tavlin::Image_MouseLeave(ImageButton* button) {
    showFace(button, false);
}

void TFrm_Tavlin::showFace(ImageButton* button, bool highlighted) {
    // ImgList_Title holds each button's normal face, then its highlighted one.
    const auto buttons = titleButtons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] == button) {
            button->setPixmap(ImgList_Title[2 * i + (highlighted ? 1 : 0)]);
            button->repaint();
        }
    }
}
