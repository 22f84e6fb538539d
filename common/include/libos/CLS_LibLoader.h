// Opens a closed library by full path and looks its entries up by name. Used by every
// binding's loader on the thread that binds (the host thread at start-up); stateless.
#pragma once

#include <QLibrary>
#include <QString>

// The texts and the file of one library's loader pair.
struct LibLoaderSpec
{
    const char* szLogSource;
    const char* szInitName;      // names the init in the over-long-path line
    const char* szFileName;      // appended to the directory by the init
    const char* szInitNullLine;  // the init got no directory
    const char* szLoadNullLine;  // the load got no path (null: nothing is written)
    const char* szLoadedLine;    // written by a load that finds the library bound (null: nothing)
    const char* szFailPrefix;    // before the loader's error text
    bool blFailNamesPath;        // the failure line ends with " _path = <path>"
};

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

    // An init function: composes <dir><file name> and hands it to the load function.
    static int InitFromDir(const LibLoaderSpec& _stSpec, const char* _szDir, int (*_pfnLoad)(const char*));

    // A load function: opens the file once, looks the entries up, sets _iLoaded.
    // Later calls return 1 without touching the file system.
    static int LoadOnce(const LibLoaderSpec& _stSpec, int& _iLoaded, const char* _szPath,
                        void (*_pfnResolve)(QLibrary&));

    // The entry exported under _szName, or null when the library has none.
    template <typename T>
    static void Resolve(QLibrary& _qlib, const char* _szName, T& _pfnEntry)
    {
        _pfnEntry = reinterpret_cast<T>(_qlib.resolve(_szName));
    }
};
