#include "CLS_OperateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ModuleLog.h"

#ifdef Q_OS_WIN
#include <windows.h>
#undef CopyFile  // the class has a member of that name
#else
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace
{
const char s_szLogSource[] = "source\\Common\\FileOpt\\CLS_OperateFile";
const char s_szCopyFun[] = "CLS_OperateFile::CopyFile";

struct JobFileSibling
{
    const char* szExtension;
    int iState;
};

// Probed in this order; the first that exists decides.
const JobFileSibling s_arrJobFileSiblings[] = {
    {".rjd", 1}, {".qrj", 1}, {".inf", 2}, {".inp", 2}, {".don", 3}, {".err", 4}, {".stp", 5},
};
constexpr size_t n_JobFileExtensionLength = 4;

#ifdef Q_OS_WIN
constexpr quint32 n_FileAttrHidden = FILE_ATTRIBUTE_HIDDEN;

bool ReadFileAttributes(const QByteArray& _qbaPath, quint32& _uAttributes)
{
    const DWORD dwAttributes = GetFileAttributesA(_qbaPath.constData());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return false;
    _uAttributes = dwAttributes;
    return true;
}

bool WriteFileAttributes(const QByteArray& _qbaPath, quint32 _uAttributes)
{
    return SetFileAttributesA(_qbaPath.constData(), _uAttributes) != 0;
}
#else
// Elsewhere the DOS attributes live where Samba and Wine keep them: the extended
// attribute "user.DOSATTRIB", a hexadecimal text such as "0x2".
constexpr quint32 n_FileAttrHidden = 0x2;
const char s_szDosAttrName[] = "user.DOSATTRIB";

bool ReadFileAttributes(const QByteArray& _qbaPath, quint32& _uAttributes)
{
    struct stat stStat;
    if (stat(_qbaPath.constData(), &stStat) != 0)
        return false;
    char szValue[64] = {};
    const ssize_t iLength = getxattr(_qbaPath.constData(), s_szDosAttrName, szValue, sizeof(szValue) - 1);
    if (iLength < 0) {
        _uAttributes = 0;
        return errno == ENODATA || errno == ENOTSUP;
    }
    _uAttributes = static_cast<quint32>(std::strtoul(szValue, nullptr, 0));
    return true;
}

bool WriteFileAttributes(const QByteArray& _qbaPath, quint32 _uAttributes)
{
    const QByteArray qbaValue = "0x" + QByteArray::number(_uAttributes, 16);
    return setxattr(_qbaPath.constData(), s_szDosAttrName, qbaValue.constData(), qbaValue.size(), 0) == 0;
}
#endif

}  // namespace

void CLS_OperateFile::HideFile(const QString& _qstrPath)
{
    const QByteArray qbaPath = _qstrPath.toLocal8Bit();
    quint32 uAttributes = 0;
    if (!ReadFileAttributes(qbaPath, uAttributes)) {
        BURN_LOG(n_BurnLogLevel_Info, "获取文件属性失败:%s", qbaPath.constData());
        return;
    }
    if (!WriteFileAttributes(qbaPath, uAttributes | n_FileAttrHidden))
        BURN_LOG(n_BurnLogLevel_Info, "设置文件属性失败:%s", qbaPath.constData());
}

bool CLS_OperateFile::CopyFile(const std::string& _strSrcPath, const std::string& _strDesPath)
{
    if (_strSrcPath.empty()) {
        BURN_LOG(n_BurnLogLevel_Info, "FUN=%s, _strSrcPath==", s_szCopyFun);
        return false;
    }
    if (_strDesPath.empty()) {
        BURN_LOG(n_BurnLogLevel_Info, "FUN=%s, _strDesPath==", s_szCopyFun);
        return false;
    }
    const QString qstrSrc = QString::fromStdString(_strSrcPath);
    const QString qstrDes = QString::fromStdString(_strDesPath);
    if (!QFile::exists(qstrSrc)) {
        BURN_LOG(n_BurnLogLevel_Info, "FUN=%s, qstrSrc[%s] is not exist.", s_szCopyFun, _strSrcPath.c_str());
        return false;
    }
    if (QFile::exists(qstrDes))
        QFile::remove(qstrDes);
    const QString qstrDesDir = QFileInfo(qstrDes).absolutePath();
    if (!QDir(qstrDesDir).exists())
        QDir().mkpath(qstrDesDir);
    if (!QFile::copy(qstrSrc, qstrDes)) {
        BURN_LOG(n_BurnLogLevel_Info, "FUN=%s, [%s] copy to [%s] failed.", s_szCopyFun, _strSrcPath.c_str(),
                 _strDesPath.c_str());
        return false;
    }
    return true;
}

int CLS_OperateFile::GetJobFileState(const std::string& _strJobFilePath)
{
    if (_strJobFilePath.empty())
        return -1;
    if (QFile::exists(QString::fromStdString(_strJobFilePath)))
        return 0;
    const std::string strStem =
        _strJobFilePath.substr(0, _strJobFilePath.size() - std::min(_strJobFilePath.size(), n_JobFileExtensionLength));
    for (const JobFileSibling& stSibling : s_arrJobFileSiblings) {
        if (QFile::exists(QString::fromStdString(strStem + stSibling.szExtension)))
            return stSibling.iState;
    }
    return -1;
}
