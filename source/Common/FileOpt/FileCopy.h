// Copies one regular file at the speed of the machine: a clone where the file system
// shares blocks, else the kernel's in-kernel copy, else sendfile, else read/write.
// Stateless; callable from any thread.
#pragma once

#include <QString>

enum class FileCopyMethod
{
    Auto,       // the fastest the system offers, falling back in the order above
    QtCopy,     // QFile::copy (the only method on Windows)
    SendFile,   // sendfile only (no clone, no in-kernel copy), then read/write
    ReadWrite,  // a user-space buffer only
};

struct FileCopyError
{
    int iFileError = 0;  // a QFileDevice::FileError
    QString qstrText;
};

// Copies _qstrSrc to _qstrDst, which must not exist, with the source's permission
// bits. On failure no destination file is left and the error says why.
bool CopyFileContents(const QString& _qstrSrc, const QString& _qstrDst, FileCopyError* _pError,
                      FileCopyMethod _eMethod = FileCopyMethod::Auto);
