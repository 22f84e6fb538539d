#include "CLS_SignalWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// The handler may only write to a descriptor; the notifier reads it on the main thread.
int s_arrSignalPipe[2] = {-1, -1};
}  // namespace

CLS_SignalWatcher::CLS_SignalWatcher(QObject* _pParent) : QObject(_pParent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_arrSignalPipe) != 0)
        return;
    m_pNotifier = new QSocketNotifier(s_arrSignalPipe[1], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CLS_SignalWatcher::SlotSignalArrived);
    struct sigaction stAction = {};
    stAction.sa_handler = &CLS_SignalWatcher::OnSignal;
    sigemptyset(&stAction.sa_mask);
    stAction.sa_flags = SA_RESTART;
    sigaction(SIGINT, &stAction, nullptr);
    sigaction(SIGTERM, &stAction, nullptr);
    // A reader that went away must not kill the program through a write on stdout.
    signal(SIGPIPE, SIG_IGN);
}

CLS_SignalWatcher::~CLS_SignalWatcher()
{
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

void CLS_SignalWatcher::OnSignal(int)
{
    const char chByte = 1;
    [[maybe_unused]] const ssize_t iWritten = ::write(s_arrSignalPipe[0], &chByte, 1);
}

void CLS_SignalWatcher::SlotSignalArrived()
{
    char chByte = 0;
    [[maybe_unused]] const ssize_t iRead = ::read(s_arrSignalPipe[1], &chByte, 1);
    emit signalStopRequested();
}
