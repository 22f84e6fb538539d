// Captures what the bindings write while a test runs: Qt's debug log and the module
// log. Used on the test's main thread; the Qt capture also takes other threads' lines.
#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

#include "LogRecorder.h"
#include "ModuleLog.h"

// Collects Qt log messages (exact texts) while it lives, instead of printing them.
class CLS_QtLogCapture
{
public:
    CLS_QtLogCapture()
    {
        QMutexLocker locker(&Mutex());
        Lines().clear();
        m_pfnPrevious = qInstallMessageHandler(&CLS_QtLogCapture::Handle);
    }
    ~CLS_QtLogCapture()
    {
        qInstallMessageHandler(m_pfnPrevious);
    }
    QStringList Take()
    {
        QMutexLocker locker(&Mutex());
        QStringList qstrlistTaken;
        qstrlistTaken.swap(Lines());
        return qstrlistTaken;
    }

private:
    static void Handle(QtMsgType, const QMessageLogContext&, const QString& _qstrMsg)
    {
        QMutexLocker locker(&Mutex());
        Lines() << _qstrMsg;
    }
    static QMutex& Mutex()
    {
        static QMutex s_mutex;
        return s_mutex;
    }
    static QStringList& Lines()
    {
        static QStringList s_qstrlistLines;
        return s_qstrlistLines;
    }

    QtMessageHandler m_pfnPrevious = nullptr;
};

// Points the module log at the shared recorder while it lives, then puts back what
// was there (the bound library's entry, or nothing).
class CLS_ModuleLogCapture
{
public:
    CLS_ModuleLogCapture()
        : m_pfnPrevious(g_pfnModuleLogDebugEx.load())
    {
        LogRecorder::clear();
        LogRecorder::install();
    }
    ~CLS_ModuleLogCapture()
    {
        g_pfnModuleLogDebugEx.store(m_pfnPrevious);
    }
    // The texts of the lines logged so far as errors (level 3); other levels as "<level>|<text>".
    QStringList Texts() const
    {
        QStringList qstrlistTexts;
        for (const QString& qstrLine : LogRecorder::lines()) {
            const QString qstrLevel = qstrLine.section('|', 0, 0);
            const QString qstrText = qstrLine.section('|', 2);
            qstrlistTexts << (qstrLevel == QLatin1String("3") ? qstrText : qstrLevel + '|' + qstrText);
        }
        return qstrlistTexts;
    }

private:
    PFN_LogDebugEx m_pfnPrevious;
};
