// The module's own modal message dialog for the operator: frameless, always on top, a
// title bar of its own, a text, optional link buttons and a grid of buttons, styled by
// a style sheet beside the application. Built and run on the GUI thread by Show().
#pragma once

#include <QDialog>
#include <QMap>
#include <QPoint>
#include <QStringList>

class QGridLayout;
class QLabel;
class QVBoxLayout;

class CLS_MessageBox : public QDialog
{
    Q_OBJECT

public:
    enum IconType
    {
        n_Icon_Information = 0,
        n_Icon_Question = 1,
        n_Icon_Warning = 2,
        n_Icon_Critical = 3,
        n_Icon_Alarm = 4,
    };

    // Runs the dialog modally. Returns the index of the button that closed it, the
    // value of a link button, -1 when closed by its close button, -2 when the countdown
    // (seconds, none below 1) ran out.
    static int Show(int _iIconType, QWidget* _pParent, const QString& _qstrTitle, const QString& _qstrText,
                    const QStringList& _qlstButtons, int _iCountdownSec = 0,
                    const QString& _qstrStyle = QStringLiteral("default"));

    // Module-wide: picks "MessageBox_Kv/<skin>/MessageBox.qss" instead of the plain one.
    static void SetSkinName(const QString& _qstrSkinName);
    static QString SkinName();
    // The style sheet file the dialogs load under the current skin name.
    static QString StyleSheetPath();

    CLS_MessageBox(QWidget* _pParent, const QString& _qstrTitle, const QString& _qstrText, int _iCountdownSec,
                   const QString& _qstrStyle);

    int Result() const { return m_iResult; }
    void AddButtons(const QStringList& _qlstButtons);
    void SetIcon(int _iIconType);

protected:
    void keyPressEvent(QKeyEvent* _pEvent) override;
    void timerEvent(QTimerEvent* _pEvent) override;
    void mousePressEvent(QMouseEvent* _pEvent) override;
    void mouseMoveEvent(QMouseEvent* _pEvent) override;
    void mouseReleaseEvent(QMouseEvent* _pEvent) override;

private:
    void BuildDefaultLayout(const QString& _qstrTitle, const QString& _qstrShown);
    void AddLinkRow(QVBoxLayout* _pLayout);
    void ReadUserData(const QString& _qstrUserData);
    void LoadStyleSheet();
    void Finish(int _iResult);
    void RaiseToTop();

    int m_iResult = -1;
    QString m_qstrStyle;
    QMap<QString, int> m_qmapLinks;  // link text -> value returned
    int m_iButtonMinWidth = 0;
    int m_iCountdownTimerId = 0;
    bool m_blDragging = false;
    QPoint m_qptDragStart;
    QLabel* m_pIconLabel = nullptr;
    QGridLayout* m_pButtonGrid = nullptr;
};
