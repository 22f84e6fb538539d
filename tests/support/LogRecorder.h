// Records the module's log lines in tests: install() points the module log at it.
// Thread-safe; shared by every test program (tests/support is on their include path).
#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <cstdarg>
#include <cstdio>

#include "ModuleLog.h"

class LogRecorder
{
public:
    static void install()
    {
        g_pfnModuleLogDebugEx.store(&LogRecorder::record);
    }
    static QStringList lines()
    {
        QMutexLocker locker(&mutex());
        return store();
    }
    static void clear()
    {
        QMutexLocker locker(&mutex());
        store().clear();
    }
    static bool contains(const QString& _qstrPart)
    {
        for (const QString& qstrLine : lines()) {
            if (qstrLine.contains(_qstrPart))
                return true;
        }
        return false;
    }

private:
    static void record(int _iLevel, const char* _szFile, int, const char* _szFmt, ...)
    {
        char szLine[4096];
        va_list args;
        va_start(args, _szFmt);
        vsnprintf(szLine, sizeof(szLine), _szFmt, args);
        va_end(args);
        QMutexLocker locker(&mutex());
        store() << QStringLiteral("%1|%2|%3").arg(_iLevel).arg(QString::fromUtf8(_szFile), QString::fromUtf8(szLine));
    }
    static QMutex& mutex()
    {
        static QMutex s_mutex;
        return s_mutex;
    }
    static QStringList& store()
    {
        static QStringList s_lines;
        return s_lines;
    }
};
