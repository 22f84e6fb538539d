// Epson PP-100 backend (device kind 2): a publisher fed TDBridge order files. What is
// its own: the publisher named in orders comes from TDBridge's status file, and an
// order refused for an unknown publisher is resubmitted with the current one.
// Process-wide singleton; called from the bus's command threads and its status thread.
#pragma once

#include <QByteArray>

#include <mutex>
#include <string>

#include "Publisher/CLS_AutoPublisher.h"
#include "Publisher/PublisherFolders.h"

class CLS_AutoEpson : public CLS_AutoPublisher
{
    Q_OBJECT

public:
    // _strOrderDir: TDBridge's watched order folder with a trailing "/"; the status
    // file "TDBStatus.txt" lies in it.
    explicit CLS_AutoEpson(const std::string& _strOrderDir = EpsonOrderDir());
    ~CLS_AutoEpson() override;

    int GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult) override;

protected:
    std::string PublisherName() const override;

private:
    // Re-reads the publisher name from the status file.
    void RefreshPublisher();
    std::string ReadPublisherName() const;
    // Rewrites the failed order with the current publisher and puts it back as the
    // order: 0 when it is waiting again, 4 when it cannot be resubmitted.
    int ResubmitOrder(const std::string& _strErrPath, const std::string& _strOrderPath);

    std::string m_strStatusFile;
    std::string m_strPublisher;  // written by the status thread, read by StartBurn
    mutable std::mutex m_mutexPublisher;
};

// Vendor error code of an order naming a publisher TDBridge does not know.
extern const char g_szEpsonUnknownPublisher[];  // "JDF0200"

// The line of a failed order as it is resubmitted: a line beginning with "PUBLISHER"
// becomes the given publisher line, any other line stays as it is.
QByteArray ResubmittedOrderLine(const QByteArray& _qbaLine, const QByteArray& _qbaPublisherLine);
