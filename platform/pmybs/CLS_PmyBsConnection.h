// One login's line to a burn service: its I/O thread connects, logs in (again by itself
// after a drop, about once a second) and reads; callers send requests and wait for their
// replies. Owned by CLS_PmyBsSdk through the login; any thread, events on the I/O thread.
#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "CLS_NwcSocket.h"
#include "NwcWire.h"

class CLS_PmyBsConnection
{
public:
    struct CallResult
    {
        bool blAnswered = false;  // false: not connected, timed out or dropped
        bool blOk = false;
        int iErrId = 0;
        std::string strReply;
    };
    // An event pushed by the service; a change of the line ("connected", "disconnected",
    // "login_refused"). Both on the I/O thread.
    using EventSink = std::function<void(const NwcEvent&)>;
    using StateSink = std::function<void(const char*)>;

    CLS_PmyBsConnection(std::string _strHost, int _iPort, EventSink _sinkEvent, StateSink _sinkState);
    ~CLS_PmyBsConnection();
    CLS_PmyBsConnection(const CLS_PmyBsConnection&) = delete;
    CLS_PmyBsConnection& operator=(const CLS_PmyBsConnection&) = delete;

    // Starts the I/O thread and waits for the first log-in: 0, 11000 when the service
    // cannot be reached or does not answer in time, or the service's refusal.
    int Open(int _iConnectTimeoutMs, int _iCallTimeoutMs);
    bool IsLoggedIn() const;
    CallResult Call(const QString& _qstrClass, const QString& _qstrBody, int _iTimeoutMs);
    // Drops the line, fails every waiting call and ends the thread.
    void Close();

private:
    struct Pending
    {
        bool blDone = false;
        CallResult stResult;
    };

    void RunIo();
    void ReadUntilDropped();
    void HandleLine(const QByteArray& _qbaLine);
    void HandleLoginReply(const NwcReply& _stReply);
    void Complete(const NwcReply& _stReply);
    void FailPending();
    void SetFirstResult(int _iResult);

    const std::string m_strHost;
    const int m_iPort;
    const EventSink m_sinkEvent;
    const StateSink m_sinkState;
    std::atomic<int> m_iConnectTimeoutMs{3000};
    CLS_NwcSocket m_socket;
    std::atomic<bool> m_blLoggedIn{false};
    std::atomic<bool> m_blStop{false};
    std::mutex m_mtxPending;
    std::condition_variable m_cvPending;  // a reply, a drop, the first log-in
    std::map<QString, std::shared_ptr<Pending>> m_mapPending;
    QString m_qstrLoginId;  // under m_mtxPending: the log-in request in flight
    quint64 m_ullSeq = 0;
    int m_iFirstResult = -1;  // under m_mtxPending; -1 until decided
    std::thread m_threadIo;
};
