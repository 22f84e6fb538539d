// Records the module's log lines in tests as "level|source|text": install() points the
// module log at it. Thread-safe; shared by every test program (tests/support is on their
// include path).
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
    static void install() { g_pfnModuleLogDebugEx.store(&LogRecorder::record); }
    static QStringList lines()
    {
        QMutexLocker locker(&state().mutex);
        return state().lines;
    }
    static void clear()
    {
        QMutexLocker locker(&state().mutex);
        state().lines.clear();
    }
    static bool contains(const QString& _qstrPart) { return !lines().filter(_qstrPart).isEmpty(); }

private:
    struct State
    {
        QMutex mutex;
        QStringList lines;
    };
    static State& state()
    {
        static State s_state;
        return s_state;
    }
    static void record(int _iLevel, const char* _szFile, int, const char* _szFmt, ...)
    {
        char szLine[4096];
        va_list args;
        va_start(args, _szFmt);
        vsnprintf(szLine, sizeof(szLine), _szFmt, args);
        va_end(args);
        const QString qstrLine =
            QStringLiteral("%1|%2|%3").arg(_iLevel).arg(QString::fromUtf8(_szFile), QString::fromUtf8(szLine));
        QMutexLocker locker(&state().mutex);
        state().lines << qstrLine;
    }
};
