#include "CLS_LibLoader.h"

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
