#include "CLS_PubSimulator.h"

#include <cstdio>

#include "CLS_PubSimFolder.h"
#include "CLS_PubSimStatusFile.h"
#include "CLS_SimConsole.h"

namespace
{
const char s_szStatusFileName[] = "TDBStatus.txt";

QString StateName(int _iState)
{
    switch (_iState) {
    case 0:
        return QStringLiteral("waiting");
    case 1:
        return QStringLiteral("taken");
    case 2:
        return QStringLiteral("burning");
    case 3:
        return QStringLiteral("done");
    case 4:
        return QStringLiteral("error");
    default:
        return QStringLiteral("lost");
    }
}
}  // namespace

CLS_PubSimulator::CLS_PubSimulator(const PubSimOptions& _stOptions, QObject* _pParent)
    : QObject(_pParent)
    , m_stOptions(_stOptions)
    , m_pStatusFile(std::make_unique<CLS_PubSimStatusFile>(_stOptions.qstrEpsonDir + QLatin1String(s_szStatusFileName),
                                                           _stOptions.qstrPublisher))
{
    m_pEpsonFolder = new CLS_PubSimFolder(EpsonVendor(), m_stOptions.qstrEpsonDir, m_stOptions.iStepMs,
                                          m_stOptions.vecFailRules, m_pStatusFile.get(), this);
    m_pPrimeraFolder = new CLS_PubSimFolder(PrimeraVendor(), m_stOptions.qstrPrimeraDir, m_stOptions.iStepMs,
                                            m_stOptions.vecFailRules, nullptr, this);
    for (CLS_PubSimFolder* pFolder : {m_pEpsonFolder, m_pPrimeraFolder}) {
        connect(pFolder, &CLS_PubSimFolder::signalStateChanged, this, &CLS_PubSimulator::SlotStateChanged);
        connect(pFolder, &CLS_PubSimFolder::signalJobEnded, this, &CLS_PubSimulator::SlotJobEnded);
    }
}

// The folders go before the status file they write to.
CLS_PubSimulator::~CLS_PubSimulator()
{
    delete m_pEpsonFolder;
    delete m_pPrimeraFolder;
}

bool CLS_PubSimulator::Start(QString& _qstrError)
{
    if (!m_pEpsonFolder->Start(_qstrError) || !m_pPrimeraFolder->Start(_qstrError))
        return false;
    if (!m_pStatusFile->Reset()) {
        _qstrError = QStringLiteral("cannot write the status file in %1").arg(m_stOptions.qstrEpsonDir);
        return false;
    }
    PrintSimLine(QStringLiteral("ready epson=%1 primera=%2 publisher=%3 step-ms=%4")
                  .arg(m_stOptions.qstrEpsonDir, m_stOptions.qstrPrimeraDir, m_stOptions.qstrPublisher)
                  .arg(m_stOptions.iStepMs));
    return true;
}

void CLS_PubSimulator::SlotStop()
{
    if (m_blStopped)
        return;
    m_blStopped = true;
    m_pEpsonFolder->Stop();
    m_pPrimeraFolder->Stop();
    PrintSimLine(QStringLiteral("stopped jobs=%1").arg(m_iJobsEnded));
    emit signalFinished();
}

void CLS_PubSimulator::SlotStateChanged(const QString& _qstrVendor, const QString& _qstrJobId, int _iState,
                                        const QString& _qstrFile, const QString& _qstrCode)
{
    if (m_blStopped)
        return;
    QString qstrLine = QStringLiteral("state %1 %2 %3 %4 %5")
                           .arg(_qstrVendor, _qstrJobId, QString::number(_iState), StateName(_iState), _qstrFile);
    if (!_qstrCode.isEmpty())
        qstrLine += QLatin1Char(' ') + _qstrCode;
    PrintSimLine(qstrLine);
}

void CLS_PubSimulator::SlotJobEnded()
{
    ++m_iJobsEnded;
    if (m_stOptions.iMaxJobs > 0 && m_iJobsEnded >= m_stOptions.iMaxJobs)
        SlotStop();
}
