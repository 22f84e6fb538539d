#include "CLS_PubSimStatusFile.h"

#include <QSaveFile>

#include "PubSimFiles.h"

CLS_PubSimStatusFile::CLS_PubSimStatusFile(const QString& _qstrPath, const QString& _qstrPublisher)
    : m_qstrPath(_qstrPath)
    , m_qstrPublisher(_qstrPublisher)
{
}

bool CLS_PubSimStatusFile::Reset()
{
    m_qmapErrors.clear();
    return Write();
}

bool CLS_PubSimStatusFile::SetError(const QString& _qstrJobId, const QString& _qstrCode)
{
    m_qmapErrors.insert(_qstrJobId, _qstrCode);
    return Write();
}

bool CLS_PubSimStatusFile::ClearError(const QString& _qstrJobId)
{
    if (m_qmapErrors.remove(_qstrJobId) == 0)
        return true;
    return Write();
}

bool CLS_PubSimStatusFile::Write()
{
    QSaveFile qfile(m_qstrPath);
    if (!qfile.open(QIODevice::WriteOnly))
        return false;
    qfile.write(ComposeStatusFile(m_qstrPublisher, m_qmapErrors));
    return qfile.commit();
}
