#include "CLS_SimConsole.h"

#include <QSocketNotifier>

#include <cstdio>

#include <unistd.h>

void PrintSimLine(const QString& _qstrLine)
{
    const QByteArray qbaLine = _qstrLine.toUtf8() + '\n';
    std::fwrite(qbaLine.constData(), 1, static_cast<size_t>(qbaLine.size()), stdout);
    std::fflush(stdout);
}

void CLS_SimConsole::Start()
{
    m_pNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CLS_SimConsole::ReadInput);
}

void CLS_SimConsole::Stop()
{
    if (m_pNotifier)
        m_pNotifier->setEnabled(false);
}

void CLS_SimConsole::ReadInput()
{
    char arrChunk[4096];
    const ssize_t llRead = ::read(STDIN_FILENO, arrChunk, sizeof(arrChunk));
    if (llRead <= 0) {
        Stop();
        return;
    }
    m_qbaInput.append(arrChunk, static_cast<int>(llRead));
    for (int iEnd = m_qbaInput.indexOf('\n'); iEnd >= 0; iEnd = m_qbaInput.indexOf('\n')) {
        const QByteArray qbaLine = m_qbaInput.left(iEnd);
        m_qbaInput.remove(0, iEnd + 1);
        emit signalCommand(QString::fromUtf8(qbaLine).trimmed());
    }
}
