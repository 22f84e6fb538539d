// One robot device: its TCP connection, kept up by an I/O thread (again about once a second
// after a drop), and the requests waiting for replies. Owned by CLS_NwcDeviceList; any thread.
#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "CLS_NwcDispatcher.h"
#include "CLS_NwcSocket.h"
#include "NwcWire.h"

class CLS_NwcDevice
{
public:
    struct CallResult
    {
        bool blOk = false;
        int iErrId = 0;
        bool blHasReply = false;
        std::string strReply;
    };

    CLS_NwcDevice(std::string _strHost, int _iPort);
    ~CLS_NwcDevice();
    CLS_NwcDevice(const CLS_NwcDevice&) = delete;
    CLS_NwcDevice& operator=(const CLS_NwcDevice&) = delete;

    // Starts the I/O thread and waits for the outcome of the first connection attempt
    // (about 3 s at most).
    void Start();
    bool IsConnected() const;
    // Sends the request (its id made unique among those waiting) and waits for the
    // reply; a failure without a reply when not connected, on a timeout or a drop.
    CallResult Call(NwcRequest _stRequest, int _iTimeoutMs);
    // Writes one line as it is (a "\n" added when it has none).
    bool SendLine(QByteArray _qbaLine);
    CLS_NwcDispatcher& Dispatcher() { return m_dispatcher; }
    // Drops the connection, fails every waiting request and ends the threads. Called
    // from one of its callbacks it returns false: the dispatcher ends after the callback
    // (Dispatcher().Join()).
    bool Close();

private:
    struct Pending
    {
        bool blDone = false;
        CallResult stResult;
    };

    void RunIo();
    void ReadUntilDropped();
    void HandleLine(const QByteArray& _qbaLine);
    void Complete(const NwcReply& _stReply);
    void FailPending();
    void MarkTried();
    // Under m_mtxPending.
    QString UniqueId(const QString& _qstrWanted);

    const std::string m_strHost;
    const int m_iPort;
    CLS_NwcSocket m_socket;
    CLS_NwcDispatcher m_dispatcher;
    std::atomic<bool> m_blConnected{false};
    std::atomic<bool> m_blStop{false};
    std::mutex m_mtxPending;
    std::condition_variable m_cvPending;  // a reply, a drop, the first attempt
    std::map<QString, std::shared_ptr<Pending>> m_mapPending;
    quint64 m_ullSeq = 0;
    bool m_blTried = false;
    std::thread m_threadIo;
};
