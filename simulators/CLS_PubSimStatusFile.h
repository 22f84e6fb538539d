// TDBridge's status file "TDBStatus.txt" as the simulator keeps it: the publisher
// name and the error code of each failed job. Owned by the simulator; main thread.
#pragma once

#include <QMap>
#include <QString>

class CLS_PubSimStatusFile
{
public:
    CLS_PubSimStatusFile(const QString& _qstrPath, const QString& _qstrPublisher);

    const QString& Publisher() const { return m_qstrPublisher; }

    // Writes the file with the publisher and no job errors.
    bool Reset();
    // Records a job's error code; the file is replaced whole, never seen half written.
    bool SetError(const QString& _qstrJobId, const QString& _qstrCode);
    // Forgets a job's error (a resubmitted order starts clean).
    bool ClearError(const QString& _qstrJobId);

private:
    bool Write();

    QString m_qstrPath;
    QString m_qstrPublisher;
    QMap<QString, QString> m_qmapErrors;  // job id -> vendor code
};
