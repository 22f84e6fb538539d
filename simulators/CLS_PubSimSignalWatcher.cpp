#include "CLS_PubSimSignalWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// The handler may only write to a descriptor; the notifier reads it on the main thread.
int s_arrSignalPipe[2] = {-1, -1};
}  // namespace

CLS_PubSimSignalWatcher::CLS_PubSimSignalWatcher(QObject* _pParent) : QObject(_pParent)
{
    // A reader that went away must not kill the simulator through a write on stdout.
    signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_arrSignalPipe) != 0)
        return;
    m_pNotifier = new QSocketNotifier(s_arrSignalPipe[1], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CLS_PubSimSignalWatcher::SlotSignalArrived);
    struct sigaction stAction = {};
    stAction.sa_handler = &CLS_PubSimSignalWatcher::OnSignal;
    sigemptyset(&stAction.sa_mask);
    stAction.sa_flags = SA_RESTART;
    sigaction(SIGINT, &stAction, nullptr);
    sigaction(SIGTERM, &stAction, nullptr);
}

CLS_PubSimSignalWatcher::~CLS_PubSimSignalWatcher()
{
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

void CLS_PubSimSignalWatcher::OnSignal(int)
{
    const char chByte = 1;
    [[maybe_unused]] const ssize_t iWritten = ::write(s_arrSignalPipe[0], &chByte, 1);
}

void CLS_PubSimSignalWatcher::SlotSignalArrived()
{
    char chByte = 0;
    [[maybe_unused]] const ssize_t iRead = ::read(s_arrSignalPipe[1], &chByte, 1);
    emit signalStopRequested();
}
