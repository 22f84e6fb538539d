#include "CLS_MessageBox.h"

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QMutex>
#include <QMutexLocker>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <iterator>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "PublicCommonFun.h"

namespace
{
const char s_szUserDataMarker[] = "<usrdata>";
constexpr int n_ButtonsPerRow = 4;
constexpr int n_DefaultButtonMinWidth = 80;

// Image files of the icon types, in type order.
const char* const s_arrIconFiles[] = {"Information.png", "Question.png", "Warning.png", "Critical.png",
                                      "Alarm.png"};

struct SkinState
{
    QMutex mutex;
    QString qstrName;
};

SkinState& Skin()
{
    static SkinState s_skin;
    return s_skin;
}
}  // namespace

int CLS_MessageBox::Show(int _iIconType, QWidget* _pParent, const QString& _qstrTitle, const QString& _qstrText,
                         const QStringList& _qlstButtons, int _iCountdownSec, const QString& _qstrStyle)
{
    CLS_MessageBox dialog(_pParent, _qstrTitle, _qstrText, _iCountdownSec, _qstrStyle);
    dialog.AddButtons(_qlstButtons);
    dialog.SetIcon(_iIconType);
    dialog.RaiseToTop();
    dialog.exec();
    return dialog.Result();
}

void CLS_MessageBox::SetSkinName(const QString& _qstrSkinName)
{
    QMutexLocker locker(&Skin().mutex);
    Skin().qstrName = _qstrSkinName;
}

QString CLS_MessageBox::SkinName()
{
    QMutexLocker locker(&Skin().mutex);
    return Skin().qstrName;
}

QString CLS_MessageBox::StyleSheetPath()
{
    const QString qstrAppDir = QCoreApplication::applicationDirPath();
    const QString qstrSkin = SkinName();
    if (qstrSkin.isEmpty())
        return qstrAppDir + QStringLiteral("/MessageBox/MessageBox.qss");
    return qstrAppDir + QStringLiteral("/MessageBox_Kv/") + qstrSkin + QStringLiteral("/MessageBox.qss");
}

CLS_MessageBox::CLS_MessageBox(QWidget* _pParent, const QString& _qstrTitle, const QString& _qstrText,
                               int _iCountdownSec, const QString& _qstrStyle)
    : QDialog(_pParent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_qstrStyle(_qstrStyle)
{
    setAttribute(Qt::WA_TranslucentBackground);
    const int iMarker = _qstrText.indexOf(QLatin1String(s_szUserDataMarker));
    if (iMarker >= 0)
        ReadUserData(_qstrText.mid(iMarker + int(sizeof(s_szUserDataMarker)) - 1));
    if (m_qstrStyle == QLatin1String("default"))
        BuildDefaultLayout(_qstrTitle, iMarker >= 0 ? _qstrText.left(iMarker) : _qstrText);
    LoadStyleSheet();
    if (_iCountdownSec >= 1)
        m_iCountdownTimerId = startTimer(_iCountdownSec * 1000);
}

void CLS_MessageBox::ReadUserData(const QString& _qstrUserData)
{
    const QJsonObject qjsonUserData = QStringToJsonObject(_qstrUserData);
    const QJsonObject qjsonLinks = qjsonUserData.value(QStringLiteral("linkText")).toObject();
    for (auto it = qjsonLinks.begin(); it != qjsonLinks.end(); ++it)
        m_qmapLinks.insert(it.key(), it.value().toInt());
    m_iButtonMinWidth = qjsonUserData.value(QStringLiteral("PushbtnWidth")).toInt();
}

void CLS_MessageBox::BuildDefaultLayout(const QString& _qstrTitle, const QString& _qstrShown)
{
    auto* pFrameMsg = new QFrame(this);
    pFrameMsg->setObjectName(QStringLiteral("frame_Msg"));
    auto* pOuter = new QVBoxLayout(this);
    pOuter->setContentsMargins(0, 0, 0, 0);
    pOuter->addWidget(pFrameMsg);
    auto* pMsgLayout = new QVBoxLayout(pFrameMsg);
    pMsgLayout->setContentsMargins(0, 0, 0, 0);

    auto* pFrameTitle = new QFrame(pFrameMsg);
    pFrameTitle->setObjectName(QStringLiteral("frame_Title"));
    auto* pTitleLayout = new QHBoxLayout(pFrameTitle);
    pTitleLayout->setContentsMargins(0, 0, 0, 0);
    pTitleLayout->setSpacing(0);
    auto* pTitle = new QLabel(_qstrTitle, pFrameTitle);
    pTitle->setObjectName(QStringLiteral("label_Title"));
    pTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pTitleLayout->addWidget(pTitle, 1);
    auto* pClose = new QToolButton(pFrameTitle);
    pClose->setObjectName(QStringLiteral("pushButton_Close"));
    pClose->setFocusPolicy(Qt::NoFocus);
    connect(pClose, &QToolButton::clicked, this, &QDialog::close);
    pTitleLayout->addWidget(pClose);
    pMsgLayout->addWidget(pFrameTitle);
    pMsgLayout->addSpacerItem(new QSpacerItem(20, 45));

    auto* pTextRow = new QHBoxLayout;
    pTextRow->setContentsMargins(30, 0, 0, 0);
    pTextRow->setSpacing(10);
    m_pIconLabel = new QLabel(pFrameMsg);
    m_pIconLabel->setFixedSize(45, 45);
    m_pIconLabel->hide();
    pTextRow->addWidget(m_pIconLabel);
    auto* pText = new QLabel(pFrameMsg);
    pText->setObjectName(QStringLiteral("label_Show"));
    pText->setTextFormat(Qt::PlainText);
    pText->setText(_qstrShown);
    pText->setAlignment(Qt::AlignCenter);
    pText->setWordWrap(true);
    pTextRow->addWidget(pText, 1);
    pMsgLayout->addLayout(pTextRow);
    AddLinkRow(pMsgLayout);
    pMsgLayout->addSpacerItem(new QSpacerItem(20, 20));

    auto* pButtonRow = new QHBoxLayout;
    pButtonRow->setSpacing(6);
    pButtonRow->addStretch();
    m_pButtonGrid = new QGridLayout;
    m_pButtonGrid->setSpacing(10);
    pButtonRow->addLayout(m_pButtonGrid);
    pButtonRow->addStretch();
    pMsgLayout->addLayout(pButtonRow);
}

void CLS_MessageBox::AddLinkRow(QVBoxLayout* _pLayout)
{
    if (m_qmapLinks.isEmpty())
        return;
    auto* pLinkRow = new QHBoxLayout;
    if (m_qmapLinks.size() > 1)
        pLinkRow->setContentsMargins(85, 0, 0, 0);
    for (auto it = m_qmapLinks.cbegin(); it != m_qmapLinks.cend(); ++it) {
        auto* pLink = new QPushButton(it.key());
        pLink->setObjectName(QStringLiteral("MsgLinkText"));
        pLink->setCursor(Qt::PointingHandCursor);
        pLink->setFocusPolicy(Qt::NoFocus);
        const int iValue = it.value();
        connect(pLink, &QPushButton::clicked, this, [this, iValue] { Finish(iValue); });
        pLinkRow->addWidget(pLink);
    }
    _pLayout->addLayout(pLinkRow);
}

void CLS_MessageBox::AddButtons(const QStringList& _qlstButtons)
{
    if (!m_pButtonGrid)
        return;
    const int iMinWidth = m_iButtonMinWidth < 1 ? n_DefaultButtonMinWidth : m_iButtonMinWidth;
    for (int iIndex = 0; iIndex < _qlstButtons.size(); ++iIndex) {
        auto* pButton = new QPushButton(_qlstButtons.at(iIndex));
        // In the "default" style the first button is the main one.
        pButton->setObjectName(iIndex == 0 ? QStringLiteral("pushButton_main") : QString::number(iIndex));
        pButton->setProperty("btnIndex", iIndex);
        pButton->setMinimumSize(iMinWidth, 30);
        pButton->setFocusPolicy(Qt::NoFocus);
        connect(pButton, &QPushButton::clicked, this, [this, iIndex] { Finish(iIndex); });
        m_pButtonGrid->addWidget(pButton, iIndex / n_ButtonsPerRow, iIndex % n_ButtonsPerRow);
    }
}

void CLS_MessageBox::SetIcon(int _iIconType)
{
    if (!m_pIconLabel || _iIconType < 0 || _iIconType >= int(std::size(s_arrIconFiles)))
        return;
    m_pIconLabel->setStyleSheet(QStringLiteral("QLabel {background: transparent; border-image: url(")
                                + QCoreApplication::applicationDirPath() + QStringLiteral("/MessageBox/")
                                + QLatin1String(s_arrIconFiles[_iIconType]) + QStringLiteral(");}"));
}

void CLS_MessageBox::LoadStyleSheet()
{
    QFile qfileStyle(StyleSheetPath());
    if (qfileStyle.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(qfileStyle.readAll()));
}

void CLS_MessageBox::Finish(int _iResult)
{
    if (m_iCountdownTimerId != 0) {
        killTimer(m_iCountdownTimerId);
        m_iCountdownTimerId = 0;
    }
    m_iResult = _iResult;
    close();
}

void CLS_MessageBox::RaiseToTop()
{
#ifdef Q_OS_WIN
    const HWND hWnd = reinterpret_cast<HWND>(winId());
    const UINT uFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW;
    SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, uFlags);
    SetWindowPos(hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, uFlags);
    SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, uFlags);
#else
    raise();
#endif
}

void CLS_MessageBox::keyPressEvent(QKeyEvent* _pEvent)
{
    // The operator must answer with a button: Escape does not dismiss the dialog.
    if (_pEvent->key() == Qt::Key_Escape) {
        _pEvent->ignore();
        return;
    }
    QDialog::keyPressEvent(_pEvent);
}

void CLS_MessageBox::timerEvent(QTimerEvent* _pEvent)
{
    if (_pEvent->timerId() != m_iCountdownTimerId) {
        QDialog::timerEvent(_pEvent);
        return;
    }
    Finish(-2);
}

void CLS_MessageBox::mousePressEvent(QMouseEvent* _pEvent)
{
    if (_pEvent->button() == Qt::LeftButton) {
        m_blDragging = true;
        m_qptDragStart = _pEvent->globalPos() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(_pEvent);
}

void CLS_MessageBox::mouseMoveEvent(QMouseEvent* _pEvent)
{
    if (m_blDragging && (_pEvent->buttons() & Qt::LeftButton))
        move(_pEvent->globalPos() - m_qptDragStart);
    QDialog::mouseMoveEvent(_pEvent);
}

void CLS_MessageBox::mouseReleaseEvent(QMouseEvent* _pEvent)
{
    if (_pEvent->button() == Qt::LeftButton)
        m_blDragging = false;
    QDialog::mouseReleaseEvent(_pEvent);
}
