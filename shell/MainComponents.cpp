// The main window's components: made, placed and given their pictures.
#include "LogTexts.h"
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

const std::array<TFrm_Tavlin::TitleButton, 4> TFrm_Tavlin::kTitleButtons = {{
    {&TFrm_Tavlin::Img_Photo, "Img_Photo", "拍照", "photo", 673, false,
     &TFrm_Tavlin::Img_PhotoClick},
    {&TFrm_Tavlin::Img_Close, "Img_Close", "关闭", "close", 930, true,
     &TFrm_Tavlin::Img_CloseClick},
    {&TFrm_Tavlin::Img_Index, "Img_Index", "首页", "index", 758, false,
     &TFrm_Tavlin::Img_IndexClick},
    {&TFrm_Tavlin::Img_Login, "Img_Login", "登录", "login", 844, true,
     &TFrm_Tavlin::Img_LoginClick},
}};

namespace {

// The page's labels with the logged-in officer's details.
const QString kId = QStringLiteral("Lbl_PoliceId");
const QString kName = QStringLiteral("Lbl_PoliceName");
const QString kOrganisation = QStringLiteral("Lbl_PoliceOrgId");

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

// Widgets with this tag keep the plain look: the skin leaves them alone.
constexpr int kPlainTag = 9999;
const QColor kLinkBlue(40, 91, 162);

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
} // namespace

void TFrm_Tavlin::createComponents() {
    setObjectName(QStringLiteral("TFrm_Tavlin"));
    setWindowTitle(QStringLiteral("Tavlin"));
    resize(WindowPlacement::FitToScreen(QSize(914, 634), *this));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    createTitleStrip();
    createWebArea();
    createMessagePanel();
    createStatusBar();
    layoutComponents();
}

void TFrm_Tavlin::createTitleStrip() {
    Img_Title = new QLabel(this);
    Img_Title->setObjectName(QStringLiteral("Img_Title"));
    Img_Title->setScaledContents(true);

    // The pictures are decoded in loadPictures(), once the start page's request
    // went out; the buttons' places are set in layoutComponents().
    for (const TitleButton& row : kTitleButtons) {
        auto* button = new ImageButton(QString::fromUtf8(row.caption), this);
        button->setObjectName(QString::fromLatin1(row.name));
        button->setVisible(row.shown);
        connect(button, &ImageButton::entered, this, [this, button] { Image_MouseEnter(button); });
        connect(button, &ImageButton::left, this, [this, button] { Image_MouseLeave(button); });
        connect(button, &ImageButton::clicked, this, row.click);
        this->*row.member = button;
    }
}

void TFrm_Tavlin::createWebArea() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);

    Pnl_Web = new QWidget(Panel1);
    Pnl_Web->setObjectName(QStringLiteral("Pnl_Web"));
    auto* webLayout = new QVBoxLayout(Pnl_Web);
    webLayout->setContentsMargins(0, 0, 0, 0);
    webLayout->addWidget(m_browser.createView(Pnl_Web));
    connectBrowser();
}

void TFrm_Tavlin::createMessagePanel() {
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
}

void TFrm_Tavlin::createStatusBar() {
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
    for (const TitleButton& row : kTitleButtons) {
        (this->*row.member)->move(row.left - shift, 3);
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

void TFrm_Tavlin::loadPictures() {
    // Drawn for this window's screen: sharp at 125 to 200 % too.
    const qreal ratio = devicePixelRatioF();
    const auto picture = [ratio](const QString& path) { return Skin::Picture(path, ratio); };
    Img_Title->setPixmap(picture(QStringLiteral(":/pictures/title.jpg")));
    // Normal and highlighted faces: Photo 0 1, Close 2 3, Index 4 5, Login 6 7.
    for (std::size_t i = 0; i < kTitleButtons.size(); ++i) {
        const QString face = QString::fromLatin1(kTitleButtons[i].face);
        ImgList_Title[2 * i] = picture(QStringLiteral(":/pictures/btn_%1.png").arg(face));
        ImgList_Title[2 * i + 1] = picture(QStringLiteral(":/pictures/btn_%1_hi.png").arg(face));
        (this->*kTitleButtons[i].member)->setPixmap(ImgList_Title[2 * i]);
    }
    Img_back->setPixmap(picture(QStringLiteral(":/pictures/back.jpg")));
    // The program's icon, for this window and every window after it.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    // The label brings the movie's frames to the screen's pixels.
    m_loading = new QMovie(Skin::PictureFile(QStringLiteral(":/pictures/loading.gif"), ratio),
                           QByteArray(), this);
    Img_Gif->setScaledContents(true);
    Img_Gif->setMovie(m_loading);
    animateLoadingWhileShown();
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

void TFrm_Tavlin::connectBrowser() {
    connect(&m_browser, &Browser::documentComplete, this, &TFrm_Tavlin::WebBrowserDocumentComplete);
    // Every completed page is read for the officer's labels (ReadOfficerInfo).
    m_browser.setCompletionReads({kId, kName, kOrganisation});
    connect(&m_browser, &Browser::pageFailed, this, &TFrm_Tavlin::handleBrowserPageFailed);
    connect(&m_browser, &Browser::refused, this, &TFrm_Tavlin::handleBrowserRefused);
    connect(&m_browser, &Browser::printed, this, &TFrm_Tavlin::handleBrowserPrinted);
    connect(&m_browser, &Browser::printFailed, this, &TFrm_Tavlin::handleBrowserPrintFailed);
    connect(&m_browser, &Browser::documentKept, this, &TFrm_Tavlin::handleBrowserDocumentKept);
    connect(&m_browser, &Browser::loadFailed, this, &TFrm_Tavlin::handleBrowserLoadFailed);
    connect(&m_browser, &Browser::loadTimedOut, this, &TFrm_Tavlin::handleBrowserLoadTimedOut);
    m_pageStatesHold = new QTimer(this);
    m_pageStatesHold->setObjectName(QStringLiteral("pageStatesHold"));
    m_pageStatesHold->setSingleShot(true);
    connect(m_pageStatesHold, &QTimer::timeout, this, &TFrm_Tavlin::applyHeldPageStates);
    m_f6Answer = new QTimer(this);
    m_f6Answer->setSingleShot(true);
    connect(m_f6Answer, &QTimer::timeout, this, &TFrm_Tavlin::releaseKeysAfterF6);
    m_retry = new QTimer(this);
    m_retry->setObjectName(QStringLiteral("outageRetry"));
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &TFrm_Tavlin::retryAfterOutage);
}

void TFrm_Tavlin::ReadOfficerInfo() {
    const QVariantMap& texts = m_completedPage.texts;
    if (texts.contains(kId)) {
        if (!texts.contains(kName)) {
            TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kOfficerUnread) +
                               QtText::ToCodePage(kName + QStringLiteral(" not found")));
            return;
        }
        setStatusPanel(1, QtText::ToCodePage(QStringLiteral("警员信息：【") +
                                             texts.value(kId).toString() + QLatin1Char('-') +
                                             texts.value(kName).toString() + QStringLiteral("】")));
    }
    if (texts.contains(kOrganisation)) {
        setStatusPanel(2, QtText::ToCodePage(QStringLiteral("所属机构：【") +
                                             texts.value(kOrganisation).toString() +
                                             QStringLiteral("】")));
    }
}

void TFrm_Tavlin::setStatusPanel(std::size_t index, const std::string& codePageText) {
    StatusPanels[index]->setText(StatusPanelText(QtText::FromCodePage(codePageText)));
}
