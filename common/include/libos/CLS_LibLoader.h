// Opens a closed library by full path and looks its entries up by name. Used by every
// binding's loader on the thread that binds (the host thread at start-up); stateless.
#pragma once

#include <QLibrary>
#include <QString>

class CLS_LibLoader
{
public:
    static constexpr int n_PathBufferSize = 260;

    // Zero-fills the buffer and formats "<dir><file>" into it; false (buffer left empty)
    // when the composed path does not fit.
    static bool ComposePath(const char* _szDir, const char* _szFileName, char (&_szPath)[n_PathBufferSize]);

    // Opens the file; it stays loaded for the rest of the process even after _qlib goes
    // away. On failure _qstrError is a text naming the path.
    static bool Open(const char* _szPath, QLibrary& _qlib, QString& _qstrError);

    // The entry exported under _szName, or null when the library has none.
    template <typename T>
    static void Resolve(QLibrary& _qlib, const char* _szName, T& _pfnEntry)
    {
        _pfnEntry = reinterpret_cast<T>(_qlib.resolve(_szName));
    }
};
