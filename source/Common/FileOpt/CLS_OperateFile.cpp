#include "CLS_OperateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ModuleLog.h"

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
}  // namespace

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
