#include "CLS_PubSimFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include "BurnTiming.h"
#include "CLS_PubSimStatusFile.h"

namespace
{
constexpr int n_ScanIntervalMs = 100;
const QString s_qstrTakenExt = QStringLiteral(".qrj");
const QString s_qstrBurningExt = QStringLiteral(".inp");
const QString s_qstrDoneExt = QStringLiteral(".don");
const QString s_qstrErrorExt = QStringLiteral(".err");
const QString s_qstrResultExt = QStringLiteral(".result.txt");
const char s_szUnknownPublisher[] = "JDF0200";

// Every file by which the module tells a job's state, besides the order itself.
const char* const s_arrCompanionExts[] = {".rjd", ".qrj", ".inf", ".inp", ".don", ".err", ".stp"};

enum PubSimState
{
    n_PubSimState_Lost = -1,
    n_PubSimState_Waiting = 0,
    n_PubSimState_Taken = 1,
    n_PubSimState_Burning = 2,
    n_PubSimState_Done = 3,
    n_PubSimState_Error = 4,
};
}  // namespace

CLS_PubSimFolder::CLS_PubSimFolder(const PubSimVendor& _stVendor, const QString& _qstrDir, int _iStepMs,
                                   const QVector<PubSimFailRule>& _vecFailRules, CLS_PubSimStatusFile* _pStatusFile,
                                   QObject* _pParent)
    : QObject(_pParent)
    , m_stVendor(_stVendor)
    , m_qstrDir(_qstrDir)
    , m_iStepMs(_iStepMs)
    , m_vecFailRules(_vecFailRules)
    , m_pStatusFile(_pStatusFile)
{
    connect(&m_qwatcher, &QFileSystemWatcher::directoryChanged, this, &CLS_PubSimFolder::SlotScan);
    connect(&m_qtimerScan, &QTimer::timeout, this, &CLS_PubSimFolder::SlotScan);
}

bool CLS_PubSimFolder::Start(QString& _qstrError)
{
    if (!QDir().mkpath(m_qstrDir)) {
        _qstrError = QStringLiteral("cannot create %1").arg(m_qstrDir);
        return false;
    }
    m_qwatcher.addPath(m_qstrDir);
    m_qtimerScan.start(ScaledMs(n_ScanIntervalMs));  // the watcher may miss events, or be unavailable
    return true;
}

void CLS_PubSimFolder::Stop()
{
    m_blStopped = true;
    m_qtimerScan.stop();
    if (!m_qwatcher.directories().isEmpty())
        m_qwatcher.removePaths(m_qwatcher.directories());
}

void CLS_PubSimFolder::SlotScan()
{
    if (m_blStopped)
        return;
    const QFileInfoList qlstOrders =
        QDir(m_qstrDir).entryInfoList({QLatin1Char('*') + m_stVendor.qstrOrderExt}, QDir::Files, QDir::Name);
    QSet<QString> qsetPresent;
    for (const QFileInfo& qfileInfo : qlstOrders) {
        const QString qstrJobId = qfileInfo.fileName().chopped(m_stVendor.qstrOrderExt.size());
        qsetPresent.insert(qstrJobId);
        NoticeOrder(qstrJobId, qfileInfo);
    }
    // An order removed before it was taken is forgotten.
    for (auto itJob = m_qhashJobs.begin(); itJob != m_qhashJobs.end();) {
        if (itJob->iState == n_PubSimState_Waiting && !qsetPresent.contains(itJob.key()))
            itJob = m_qhashJobs.erase(itJob);
        else
            ++itJob;
    }
}

// An order is taken once it looks the same on two scans, so a file still being
// written is not read half way.
void CLS_PubSimFolder::NoticeOrder(const QString& _qstrJobId, const QFileInfo& _qfileInfo)
{
    const qint64 iSize = _qfileInfo.size();
    const qint64 iModifiedMs = _qfileInfo.lastModified().toMSecsSinceEpoch();
    auto itJob = m_qhashJobs.find(_qstrJobId);
    if (itJob == m_qhashJobs.end()) {
        m_qhashJobs.insert(_qstrJobId, JobWalk{iSize, iModifiedMs, n_PubSimState_Waiting, PubSimOrder()});
        Report(_qstrJobId, n_PubSimState_Waiting, m_stVendor.qstrOrderExt);
        return;
    }
    if (itJob->iState != n_PubSimState_Waiting)
        return;  // a new order of a job still walking waits for that walk to end
    if (itJob->iSize != iSize || itJob->iModifiedMs != iModifiedMs) {
        itJob->iSize = iSize;
        itJob->iModifiedMs = iModifiedMs;
        return;
    }
    TakeOrder(_qstrJobId);
}

void CLS_PubSimFolder::TakeOrder(const QString& _qstrJobId)
{
    QFile qfileOrder(JobPath(_qstrJobId, m_stVendor.qstrOrderExt));
    if (!qfileOrder.open(QIODevice::ReadOnly))
        return;  // tried again on the next scan
    JobWalk& stWalk = m_qhashJobs[_qstrJobId];
    stWalk.stOrder = ParsePubSimOrder(qfileOrder.readAll(), m_stVendor);
    qfileOrder.close();
    RemoveLeftovers(_qstrJobId);
    if (m_pStatusFile)
        m_pStatusFile->ClearError(_qstrJobId);
    const bool blChecksPublisher = m_pStatusFile && !m_stVendor.qstrPublisherKey.isEmpty();
    if (blChecksPublisher
        && stWalk.stOrder.qmapFields.value(m_stVendor.qstrPublisherKey) != m_pStatusFile->Publisher()) {
        FailOrder(_qstrJobId, m_stVendor.qstrOrderExt, QLatin1String(s_szUnknownPublisher));
        return;
    }
    if (!MoveJob(_qstrJobId, m_stVendor.qstrOrderExt, s_qstrTakenExt))
        return;
    stWalk.iState = n_PubSimState_Taken;
    Report(_qstrJobId, n_PubSimState_Taken, s_qstrTakenExt);
    ScheduleAdvance(_qstrJobId);
}

void CLS_PubSimFolder::ScheduleAdvance(const QString& _qstrJobId)
{
    QTimer::singleShot(m_iStepMs, this, [this, _qstrJobId] { Advance(_qstrJobId); });
}

void CLS_PubSimFolder::Advance(const QString& _qstrJobId)
{
    auto itJob = m_qhashJobs.find(_qstrJobId);
    if (m_blStopped || itJob == m_qhashJobs.end())
        return;
    if (itJob->iState == n_PubSimState_Burning) {
        FinishBurn(_qstrJobId);
        return;
    }
    if (!MoveJob(_qstrJobId, s_qstrTakenExt, s_qstrBurningExt))
        return;
    itJob->iState = n_PubSimState_Burning;
    Report(_qstrJobId, n_PubSimState_Burning, s_qstrBurningExt);
    ScheduleAdvance(_qstrJobId);
}

// The result file is in place before the companion file tells the end.
void CLS_PubSimFolder::FinishBurn(const QString& _qstrJobId)
{
    const QString qstrCode = FailCodeFor(m_vecFailRules, _qstrJobId);
    WriteResult(_qstrJobId, qstrCode);
    if (!qstrCode.isEmpty()) {
        FailOrder(_qstrJobId, s_qstrBurningExt, qstrCode);
        return;
    }
    if (!MoveJob(_qstrJobId, s_qstrBurningExt, s_qstrDoneExt))
        return;
    Report(_qstrJobId, n_PubSimState_Done, s_qstrDoneExt);
    EndJob(_qstrJobId);
}

// The error code is in the status file before ".err" appears: the module reads the
// code as soon as it sees the error file.
void CLS_PubSimFolder::FailOrder(const QString& _qstrJobId, const QString& _qstrFromExt, const QString& _qstrCode)
{
    if (m_pStatusFile)
        m_pStatusFile->SetError(_qstrJobId, _qstrCode);
    if (!MoveJob(_qstrJobId, _qstrFromExt, s_qstrErrorExt))
        return;
    Report(_qstrJobId, n_PubSimState_Error, s_qstrErrorExt, _qstrCode);
    EndJob(_qstrJobId);
}

bool CLS_PubSimFolder::MoveJob(const QString& _qstrJobId, const QString& _qstrFromExt, const QString& _qstrToExt)
{
    if (QFile::rename(JobPath(_qstrJobId, _qstrFromExt), JobPath(_qstrJobId, _qstrToExt)))
        return true;
    Report(_qstrJobId, n_PubSimState_Lost, _qstrFromExt);
    m_qhashJobs.remove(_qstrJobId);
    return false;
}

void CLS_PubSimFolder::RemoveLeftovers(const QString& _qstrJobId)
{
    for (const char* szExt : s_arrCompanionExts)
        QFile::remove(JobPath(_qstrJobId, QLatin1String(szExt)));
    QFile::remove(JobPath(_qstrJobId, s_qstrResultExt));
}

void CLS_PubSimFolder::WriteResult(const QString& _qstrJobId, const QString& _qstrCode)
{
    const PubSimOrder& stOrder = m_qhashJobs[_qstrJobId].stOrder;
    QVector<qint64> vecSizes;
    for (const PubSimFile& stFile : stOrder.vecFiles)
        vecSizes << SourceSize(stFile.qstrSource);
    QSaveFile qfile(JobPath(_qstrJobId, s_qstrResultExt));
    if (!qfile.open(QIODevice::WriteOnly))
        return;
    qfile.write(ComposeResultFile(_qstrJobId, m_stVendor, stOrder, vecSizes, _qstrCode));
    qfile.commit();
}

void CLS_PubSimFolder::Report(const QString& _qstrJobId, int _iState, const QString& _qstrExt,
                              const QString& _qstrCode)
{
    emit signalStateChanged(m_stVendor.qstrName, _qstrJobId, _iState, _qstrJobId + _qstrExt, _qstrCode);
}

void CLS_PubSimFolder::EndJob(const QString& _qstrJobId)
{
    m_qhashJobs.remove(_qstrJobId);
    emit signalJobEnded();
}

QString CLS_PubSimFolder::JobPath(const QString& _qstrJobId, const QString& _qstrExt) const
{
    return m_qstrDir + _qstrJobId + _qstrExt;
}
