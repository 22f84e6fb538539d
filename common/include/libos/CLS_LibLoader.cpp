#include "CLS_LibLoader.h"

#include "ModuleLog.h"

#include <QFileInfo>

#include <cstdio>
#include <cstring>

bool CLS_LibLoader::ComposePath(const char* _szDir, const char* _szFileName, char (&_szPath)[n_PathBufferSize])
{
    std::memset(_szPath, 0, sizeof(_szPath));
    const int iLength = std::snprintf(_szPath, sizeof(_szPath), "%s%s", _szDir, _szFileName);
    if (iLength >= 0 && iLength < n_PathBufferSize)
        return true;
    std::memset(_szPath, 0, sizeof(_szPath));
    return false;
}

bool CLS_LibLoader::Open(const char* _szPath, QLibrary& _qlib, QString& _qstrError)
{
    const QString qstrPath = QString::fromLocal8Bit(_szPath);
    // For a missing file QLibrary reports the last name variant it guessed
    // ("lib<name>.dll.so"); name the file that was asked for instead.
    if (!QFileInfo::exists(qstrPath)) {
        _qstrError = QStringLiteral("Cannot load library %1: (No such file or directory)").arg(qstrPath);
        return false;
    }
    _qlib.setFileName(qstrPath);
    if (_qlib.load())
        return true;
    _qstrError = _qlib.errorString();
    return false;
}

int CLS_LibLoader::InitFromDir(const LibLoaderSpec& _stSpec, const char* _szDir, int (*_pfnLoad)(const char*))
{
    char szPath[n_PathBufferSize] = {0};
    if (!_szDir) {
        BURN_LOG_AS(_stSpec.szLogSource, n_BurnLogLevel_Error, "%s", _stSpec.szInitNullLine);
        return 0;
    }
    if (!ComposePath(_szDir, _stSpec.szFileName, szPath)) {
        BURN_LOG_AS(_stSpec.szLogSource, n_BurnLogLevel_Error, "%s:path too long, dir=%s", _stSpec.szInitName,
                    _szDir);
        return 0;
    }
    return _pfnLoad(szPath);
}

int CLS_LibLoader::LoadOnce(const LibLoaderSpec& _stSpec, int& _iLoaded, const char* _szPath,
                            void (*_pfnResolve)(QLibrary&))
{
    if (_iLoaded) {
        if (_stSpec.szLoadedLine)
            BURN_LOG_AS(_stSpec.szLogSource, n_BurnLogLevel_Error, "%s", _stSpec.szLoadedLine);
        return 1;
    }
    if (!_szPath) {
        if (_stSpec.szLoadNullLine)
            BURN_LOG_AS(_stSpec.szLogSource, n_BurnLogLevel_Error, "%s", _stSpec.szLoadNullLine);
        return 0;
    }
    QLibrary qlib;
    QString qstrError;
    if (!Open(_szPath, qlib, qstrError)) {
        if (_stSpec.blFailNamesPath)
            BURN_LOG_AS(_stSpec.szLogSource, n_BurnLogLevel_Error, "%s%s _path = %s", _stSpec.szFailPrefix,
                        qUtf8Printable(qstrError), _szPath);
        else
            BURN_LOG_AS(_stSpec.szLogSource, n_BurnLogLevel_Error, "%s%s", _stSpec.szFailPrefix,
                        qUtf8Printable(qstrError));
        return 0;
    }
    _pfnResolve(qlib);
    _iLoaded = 1;
    return 1;
}
