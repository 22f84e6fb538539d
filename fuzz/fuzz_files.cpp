// Fuzzes what the module reads from files the devices write: INI files through
// CIniFileOpt, and the Epson publisher's status file and failed order, read when a job's
// status is asked. Input: the first file, NUL, the second file, NUL, a section name.
#include <QDir>
#include <QFile>

#include "BurnDefine.h"
#include "CIniFileOpt.h"
#include "Epson/CLS_AutoEpson.h"
#include "FuzzSupport.h"

namespace
{

void WriteFile(const QString& _qstrPath, const QByteArray& _qbaContent)
{
    QFile qfile(_qstrPath);
    if (qfile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qfile.write(_qbaContent);
}

void ReadIni(const QByteArray& _qbaContent, const std::string& _strSection)
{
    WriteFile(QStringLiteral("fuzz.ini"), _qbaContent);
    CIniFileOpt iniFile("fuzz.ini");
    for (const std::string& strSection : iniFile.GetSections()) {
        for (const auto& prValue : iniFile.GetSectionValues(strSection))
            FuzzSupport::Keep(prValue.second.size() + iniFile.ReadInt(strSection, prValue.first, 0));
    }
    FuzzSupport::Keep(iniFile.ReadString(_strSection, "ERROR", "").size());
    FuzzSupport::Keep(iniFile.ReadBool(_strSection, "A", false));
    // Writing keeps what was read readable.
    iniFile.WriteString(_strSection, _strSection, _strSection);
    FuzzSupport::Keep(iniFile.GetKeys(_strSection).size());
    iniFile.DeleteKey(_strSection, _strSection);
}

// A job whose order failed: the backend reads the status file, and resubmits the order
// from the failed one when the publisher was unknown.
void ReadEpsonJob(const QByteArray& _qbaStatus, const QByteArray& _qbaFailedOrder)
{
    const QString qstrDir = QDir::currentPath() + QStringLiteral("/orders/");
    QDir(qstrDir).removeRecursively();
    QDir().mkpath(qstrDir);
    WriteFile(qstrDir + QStringLiteral("TDBStatus.txt"), _qbaStatus);
    WriteFile(qstrDir + QStringLiteral("J1.err"), _qbaFailedOrder);
    CLS_AutoEpson epson(qstrDir.toStdString());
    BurnResultInfo stResult;
    FuzzSupport::Keep(epson.GetJobStatus(QStringLiteral("J1"), &stResult));
}
void Run(uint8_t _uChoice, const QByteArray& _qbaRest)
{
    const QList<QByteArray> qlstParts = FuzzSupport::Parts(_qbaRest, 3);
    if (_uChoice % 2)
        ReadEpsonJob(qlstParts.at(0), qlstParts.at(1));
    else
        ReadIni(qlstParts.at(0), qlstParts.at(2).toStdString());
}
}  // namespace

const FuzzSupport::Target FuzzSupport::c_stTarget{true, false, nullptr, &Run};
