// A TCP connection on POSIX sockets, with a wake-up that ends every wait. Owned by one
// connection of a network library; its I/O thread connects, reads, closes; callers Send; any Wake.
#pragma once

#include <QByteArray>

#include <atomic>
#include <mutex>
#include <string>

class CLS_NwcSocket
{
public:
    enum class ReadResult
    {
        Data,    // bytes were appended
        Closed,  // the peer closed or the connection broke
        Woken,   // Wake() was called (or the wait itself failed)
    };

    CLS_NwcSocket();
    ~CLS_NwcSocket();
    CLS_NwcSocket(const CLS_NwcSocket&) = delete;
    CLS_NwcSocket& operator=(const CLS_NwcSocket&) = delete;

    // Connects to the address; false when refused, timed out or woken.
    bool Connect(const std::string& _strHost, int _iPort, int _iTimeoutMs);
    // Waits for the peer and appends what it sent.
    ReadResult Read(QByteArray& _qbaBuffer);
    // Writes every byte within the timeout; false when not connected or the write failed.
    bool Send(const QByteArray& _qbaData, int _iTimeoutMs);
    void Close();
    // Pauses for the time, or less when woken; true when woken.
    bool Pause(int _iMs);
    // Ends every wait now and later: the device is being closed.
    void Wake();

private:
    // Waits for the descriptor's events or the wake-up; the revents of the descriptor,
    // 0 on timeout, -1 when woken or on an error.
    int WaitFor(int _iFd, short _sEvents, int _iTimeoutMs) const;
    bool ConnectTo(const void* _pAddr, unsigned _uAddrLen, int _iTimeoutMs);

    std::mutex m_mtxFd;  // writers against the close
    std::atomic<int> m_iFd{-1};
    int m_arrWake[2] = {-1, -1};
};
