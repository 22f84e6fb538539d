#include "CLS_NwcSocket.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
constexpr int n_ReadChunk = 64 * 1024;
// A write to a connection the robot dropped must fail, not raise SIGPIPE in the host.
#ifdef MSG_NOSIGNAL
constexpr int n_SendFlags = MSG_NOSIGNAL | MSG_DONTWAIT;
#else
constexpr int n_SendFlags = MSG_DONTWAIT;
#endif

bool SetNonBlocking(int _iFd)
{
    const int iFlags = ::fcntl(_iFd, F_GETFL, 0);
    return iFlags >= 0 && ::fcntl(_iFd, F_SETFL, iFlags | O_NONBLOCK) == 0;
}

// Descriptors of the library stay out of programs the host starts.
void SetCloseOnExec(int _iFd)
{
    ::fcntl(_iFd, F_SETFD, FD_CLOEXEC);
}

int MsLeft(std::chrono::steady_clock::time_point _tpDeadline)
{
    const auto llLeft =
        std::chrono::duration_cast<std::chrono::milliseconds>(_tpDeadline - std::chrono::steady_clock::now()).count();
    return llLeft > 0 ? static_cast<int>(llLeft) : 0;
}
}  // namespace

CLS_NwcSocket::CLS_NwcSocket()
{
    if (::pipe(m_arrWake) != 0) {
        m_arrWake[0] = m_arrWake[1] = -1;
        return;
    }
    for (int iFd : m_arrWake) {
        SetNonBlocking(iFd);
        SetCloseOnExec(iFd);
    }
}

CLS_NwcSocket::~CLS_NwcSocket()
{
    Close();
    for (int iFd : m_arrWake) {
        if (iFd >= 0)
            ::close(iFd);
    }
}

bool CLS_NwcSocket::Connect(const std::string& _strHost, int _iPort, int _iTimeoutMs)
{
    Close();
    addrinfo stHints = {};
    stHints.ai_family = AF_UNSPEC;
    stHints.ai_socktype = SOCK_STREAM;
    addrinfo* pInfos = nullptr;
    if (::getaddrinfo(_strHost.c_str(), std::to_string(_iPort).c_str(), &stHints, &pInfos) != 0)
        return false;
    bool blConnected = false;
    for (addrinfo* pInfo = pInfos; pInfo && !blConnected; pInfo = pInfo->ai_next) {
        const int iFd = ::socket(pInfo->ai_family, pInfo->ai_socktype, pInfo->ai_protocol);
        if (iFd < 0)
            continue;
        SetCloseOnExec(iFd);
        m_iFd = iFd;
        blConnected = ConnectTo(pInfo->ai_addr, pInfo->ai_addrlen, _iTimeoutMs);
        if (!blConnected)
            Close();
    }
    ::freeaddrinfo(pInfos);
    return blConnected;
}

bool CLS_NwcSocket::ConnectTo(const void* _pAddr, unsigned _uAddrLen, int _iTimeoutMs)
{
    const int iFd = m_iFd;
    if (!SetNonBlocking(iFd))
        return false;
    if (::connect(iFd, static_cast<const sockaddr*>(_pAddr), _uAddrLen) != 0 && errno != EINPROGRESS)
        return false;
    if (WaitFor(iFd, POLLOUT, _iTimeoutMs) <= 0)
        return false;
    int iError = 0;
    socklen_t uLen = sizeof(iError);
    if (::getsockopt(iFd, SOL_SOCKET, SO_ERROR, &iError, &uLen) != 0 || iError != 0)
        return false;
    // Requests are single short lines: each should leave at once.
    const int iOn = 1;
    ::setsockopt(iFd, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof(iOn));
#ifdef SO_NOSIGPIPE
    ::setsockopt(iFd, SOL_SOCKET, SO_NOSIGPIPE, &iOn, sizeof(iOn));
#endif
    return true;
}

CLS_NwcSocket::ReadResult CLS_NwcSocket::Read(QByteArray& _qbaBuffer)
{
    const int iFd = m_iFd;
    if (iFd < 0)
        return ReadResult::Closed;
    if (WaitFor(iFd, POLLIN, -1) < 0)
        return ReadResult::Woken;
    char arrChunk[n_ReadChunk];
    const ssize_t llRead = ::recv(iFd, arrChunk, sizeof(arrChunk), MSG_DONTWAIT);
    if (llRead > 0) {
        _qbaBuffer.append(arrChunk, static_cast<int>(llRead));
        return ReadResult::Data;
    }
    const bool blRetry = llRead < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    return blRetry ? ReadResult::Data : ReadResult::Closed;
}

bool CLS_NwcSocket::Send(const QByteArray& _qbaData, int _iTimeoutMs)
{
    const auto tpDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(_iTimeoutMs);
    const std::lock_guard<std::mutex> lockFd(m_mtxFd);
    const int iFd = m_iFd;
    qsizetype iSent = 0;
    while (iFd >= 0 && iSent < _qbaData.size()) {
        const ssize_t llSent = ::send(iFd, _qbaData.constData() + iSent, static_cast<size_t>(_qbaData.size() - iSent),
                                      n_SendFlags);
        if (llSent > 0) {
            iSent += llSent;
            continue;
        }
        if (llSent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (WaitFor(iFd, POLLOUT, MsLeft(tpDeadline)) <= 0)
            return false;
    }
    return iFd >= 0;
}

void CLS_NwcSocket::Close()
{
    const int iFd = m_iFd;
    if (iFd < 0)
        return;
    // Ends a writer's wait first, so the close does not queue behind it.
    ::shutdown(iFd, SHUT_RDWR);
    const std::lock_guard<std::mutex> lockFd(m_mtxFd);
    ::close(iFd);
    m_iFd = -1;
}

bool CLS_NwcSocket::Pause(int _iMs)
{
    pollfd stWake = {m_arrWake[0], POLLIN, 0};
    return ::poll(&stWake, 1, _iMs) > 0;
}

void CLS_NwcSocket::Wake()
{
    const char chByte = 1;
    [[maybe_unused]] const ssize_t llWritten = ::write(m_arrWake[1], &chByte, 1);
}

int CLS_NwcSocket::WaitFor(int _iFd, short _sEvents, int _iTimeoutMs) const
{
    pollfd arrFds[2] = {{_iFd, _sEvents, 0}, {m_arrWake[0], POLLIN, 0}};
    int iReady = 0;
    do {
        iReady = ::poll(arrFds, 2, _iTimeoutMs);
    } while (iReady < 0 && errno == EINTR);
    if (iReady < 0 || (arrFds[1].revents & POLLIN))
        return -1;
    return arrFds[0].revents;
}
