#include "FileCopy.h"

#include <QFile>

#ifndef Q_OS_WIN
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sys/sendfile.h>
#endif
#endif

namespace
{
bool QtCopy(const QString& _qstrSrc, const QString& _qstrDst, FileCopyError* _pError)
{
    QFile qfileSrc(_qstrSrc);
    if (qfileSrc.copy(_qstrDst))
        return true;
    _pError->iFileError = qfileSrc.error();
    _pError->qstrText = qfileSrc.errorString();
    return false;
}

#ifndef Q_OS_WIN
// Largest piece handed to the kernel at once; offsets are 64-bit, so files over 4 GiB
// go through in several pieces.
constexpr size_t n_KernelChunk = size_t(1) << 30;
constexpr size_t n_BufferSize = size_t(1) << 20;

// Closes its descriptor on every way out.
class CLS_Fd
{
public:
    explicit CLS_Fd(int _iFd) : m_iFd(_iFd) {}
    ~CLS_Fd()
    {
        if (m_iFd >= 0)
            ::close(m_iFd);
    }
    CLS_Fd(const CLS_Fd&) = delete;
    CLS_Fd& operator=(const CLS_Fd&) = delete;
    int Get() const { return m_iFd; }
    bool Close()
    {
        const int iFd = m_iFd;
        m_iFd = -1;
        return ::close(iFd) == 0;
    }

private:
    int m_iFd;
};

enum class PieceResult
{
    Done,
    Unsupported,  // nothing copied yet and the call cannot do it here: try the next way
    Failed,
};

bool NotOffered(int _iErrno)
{
    return _iErrno == ENOSYS || _iErrno == EXDEV || _iErrno == EOPNOTSUPP || _iErrno == EINVAL
           || _iErrno == ENOTTY || _iErrno == EPERM || _iErrno == EBADF;
}

PieceResult ReadWriteCopy(int _iIn, int _iOut, off_t _llFrom)
{
    std::vector<char> vecBuffer(n_BufferSize);
    for (;;) {
        const ssize_t llRead = ::pread(_iIn, vecBuffer.data(), vecBuffer.size(), _llFrom);
        if (llRead == 0)
            return PieceResult::Done;
        if (llRead < 0 && errno == EINTR)
            continue;
        if (llRead < 0)
            return PieceResult::Failed;
        for (ssize_t llDone = 0; llDone < llRead;) {
            const ssize_t llWritten = ::pwrite(_iOut, vecBuffer.data() + llDone, llRead - llDone, _llFrom + llDone);
            if (llWritten < 0 && errno == EINTR)
                continue;
            if (llWritten <= 0)
                return PieceResult::Failed;
            llDone += llWritten;
        }
        _llFrom += llRead;
    }
}

#ifdef Q_OS_LINUX
// Runs a kernel copy call until the size is reached or the source ends early.
template <class Step>
PieceResult KernelCopy(off_t _llSize, off_t& _llDone, Step _step)
{
    while (_llDone < _llSize) {
        const ssize_t llCopied = _step(static_cast<size_t>(std::min<off_t>(_llSize - _llDone, n_KernelChunk)));
        if (llCopied < 0 && errno == EINTR)
            continue;
        if (llCopied < 0)
            return _llDone == 0 && NotOffered(errno) ? PieceResult::Unsupported : PieceResult::Failed;
        if (llCopied == 0)
            break;
        _llDone += llCopied;
    }
    return PieceResult::Done;
}

PieceResult CopyFileRange(int _iIn, int _iOut, off_t _llSize, off_t& _llDone)
{
    return KernelCopy(_llSize, _llDone, [&](size_t _uPiece) {
        loff_t llIn = _llDone;
        loff_t llOut = _llDone;
        return ::copy_file_range(_iIn, &llIn, _iOut, &llOut, _uPiece, 0);
    });
}

PieceResult SendFile(int _iIn, int _iOut, off_t _llSize, off_t& _llDone)
{
    return KernelCopy(_llSize, _llDone, [&](size_t _uPiece) {
        off_t llIn = _llDone;
        return ::sendfile(_iOut, _iIn, &llIn, _uPiece);
    });
}
#endif

// The data of an open source into an open, empty destination.
PieceResult CopyData(int _iIn, int _iOut, off_t _llSize, FileCopyMethod _eMethod)
{
    off_t llDone = 0;
#ifdef Q_OS_LINUX
    if (_eMethod == FileCopyMethod::Auto && ::ioctl(_iOut, FICLONE, _iIn) == 0)
        return PieceResult::Done;
    PieceResult eResult = PieceResult::Unsupported;
    if (_eMethod == FileCopyMethod::Auto)
        eResult = CopyFileRange(_iIn, _iOut, _llSize, llDone);
    if (eResult == PieceResult::Unsupported && _eMethod != FileCopyMethod::ReadWrite)
        eResult = SendFile(_iIn, _iOut, _llSize, llDone);
    if (eResult != PieceResult::Unsupported)
        return eResult == PieceResult::Done ? ReadWriteCopy(_iIn, _iOut, llDone) : eResult;
#else
    static_cast<void>(_llSize);
    static_cast<void>(_eMethod);
#endif
    return ReadWriteCopy(_iIn, _iOut, llDone);
}

bool Fail(FileCopyError* _pError, QFileDevice::FileError _eError, int _iErrno)
{
    _pError->iFileError = _eError;
    _pError->qstrText = QString::fromLocal8Bit(std::strerror(_iErrno));
    return false;
}

bool KernelCopyFile(const QString& _qstrSrc, const QString& _qstrDst, FileCopyError* _pError,
                    FileCopyMethod _eMethod)
{
    const QByteArray qbaDst = QFile::encodeName(_qstrDst);
    CLS_Fd fdIn(::open(QFile::encodeName(_qstrSrc).constData(), O_RDONLY | O_CLOEXEC));
    struct stat stSrc {};
    if (fdIn.Get() < 0 || ::fstat(fdIn.Get(), &stSrc) != 0)
        return Fail(_pError, QFileDevice::OpenError, errno);
    if (!S_ISREG(stSrc.st_mode))
        return Fail(_pError, QFileDevice::OpenError, EISDIR);
    CLS_Fd fdOut(::open(qbaDst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, stSrc.st_mode & 0777));
    if (fdOut.Get() < 0)
        return Fail(_pError, QFileDevice::OpenError, errno);
    const PieceResult eResult = CopyData(fdIn.Get(), fdOut.Get(), stSrc.st_size, _eMethod);
    const int iErrno = errno;
    const bool blClosed = fdOut.Close();
    if (eResult == PieceResult::Done && blClosed)
        return true;
    ::unlink(qbaDst.constData());
    return Fail(_pError, QFileDevice::WriteError, eResult == PieceResult::Done ? errno : iErrno);
}
#endif
}  // namespace

bool CopyFileContents(const QString& _qstrSrc, const QString& _qstrDst, FileCopyError* _pError,
                      FileCopyMethod _eMethod)
{
#ifdef Q_OS_WIN
    static_cast<void>(_eMethod);
    return QtCopy(_qstrSrc, _qstrDst, _pError);
#else
    if (_eMethod == FileCopyMethod::QtCopy)
        return QtCopy(_qstrSrc, _qstrDst, _pError);
    return KernelCopyFile(_qstrSrc, _qstrDst, _pError, _eMethod);
#endif
}
