#include "CLS_StdioRelay.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTextCodec>

#include <cstdio>
#include <utility>
#include <unistd.h>

#include "CLS_BurnHost.h"

namespace
{
constexpr int n_StdinFd = 0;
constexpr int n_ReadChunk = 64 * 1024;

// Decoding would turn bytes that are no UTF-8 into replacement characters, and the module
// would take a damaged job id or title for what the client meant.
bool IsUtf8(const QByteArray& _qbaLine)
{
    QTextCodec::ConverterState stState;
    QTextCodec::codecForName("UTF-8")->toUnicode(_qbaLine.constData(), _qbaLine.size(), &stState);
    return stState.invalidChars == 0 && stState.remainingChars == 0;
}
}  // namespace

StdioRequest ParseStdioLine(const QByteArray& _qbaLine)
{
    StdioRequest stRequest;
    stRequest.qstrData = QString::fromUtf8(_qbaLine);
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qbaLine);
    if (!qjsonDoc.isObject())
        return stRequest;
    const QJsonObject qjsonObj = qjsonDoc.object();
    const QJsonValue qjsonCode = qjsonObj.value(QStringLiteral("code"));
    const QJsonValue qjsonData = qjsonObj.value(QStringLiteral("data"));
    if (!qjsonCode.isDouble() || !qjsonData.isString())
        return stRequest;
    stRequest.iCode = qjsonCode.toInt();
    stRequest.qstrData = qjsonData.toString();
    return stRequest;
}

QByteArray FormatStdioLine(const QString& _qstrSignal, int _iCode, const QString& _qstrData)
{
    const QJsonObject qjsonLine{{QStringLiteral("signal"), _qstrSignal},
                                {QStringLiteral("code"), _iCode},
                                {QStringLiteral("data"), _qstrData}};
    return QJsonDocument(qjsonLine).toJson(QJsonDocument::Compact);
}

CLS_StdioRelay::CLS_StdioRelay(CLS_BurnHost* _pHost, QObject* _pParent) : QObject(_pParent), m_pHost(_pHost)
{
    connect(m_pHost, &CLS_BurnHost::signalOutgoing, this, &CLS_StdioRelay::SlotOutgoing);
    m_pStdinNotifier = new QSocketNotifier(n_StdinFd, QSocketNotifier::Read, this);
    connect(m_pStdinNotifier, &QSocketNotifier::activated, this, &CLS_StdioRelay::SlotStdinReadable);
}

void CLS_StdioRelay::SlotStdinReadable()
{
    char szChunk[n_ReadChunk];
    const ssize_t iRead = ::read(n_StdinFd, szChunk, sizeof(szChunk));
    if (iRead <= 0) {
        // End of input: a last unterminated line still counts; the host keeps running.
        m_pStdinNotifier->setEnabled(false);
        if (!m_qbaPending.isEmpty())
            m_qbaPending.append('\n');
        DeliverCompleteLines();
        return;
    }
    m_qbaPending.append(szChunk, static_cast<int>(iRead));
    DeliverCompleteLines();
}

// Each byte is looked at once: a long line arriving in many pieces is searched for its end
// only in the newest piece, and the delivered lines leave the buffer in one move.
void CLS_StdioRelay::DeliverCompleteLines()
{
    int iStart = 0;
    int iEnd = 0;
    while ((iEnd = m_qbaPending.indexOf('\n', qMax(iStart, m_iScanned))) >= 0) {
        const QByteArray qbaLine = m_qbaPending.mid(iStart, iEnd - iStart);
        iStart = iEnd + 1;
        if (!std::exchange(m_blSkipToLineEnd, false))
            DeliverLine(qbaLine);
    }
    m_qbaPending.remove(0, iStart);
    m_iScanned = m_qbaPending.size();
    if (m_qbaPending.size() <= n_MaxRequestBytes)
        return;
    fprintf(stderr, "burnhost: dropped a request line longer than %d bytes\n", n_MaxRequestBytes);
    m_qbaPending.clear();
    m_iScanned = 0;
    m_blSkipToLineEnd = true;
}

void CLS_StdioRelay::DeliverLine(QByteArray _qbaLine)
{
    if (_qbaLine.endsWith('\r'))
        _qbaLine.chop(1);
    if (_qbaLine.trimmed().isEmpty())
        return;
    if (!IsUtf8(_qbaLine)) {
        fprintf(stderr, "burnhost: dropped a request line of %d bytes that is not UTF-8\n", _qbaLine.size());
        return;
    }
    const StdioRequest stRequest = ParseStdioLine(_qbaLine);
    m_pHost->Deliver(stRequest.iCode, stRequest.qstrData);
}

void CLS_StdioRelay::SlotOutgoing(QString _qstrSignal, int _iCode, QString _qstrData)
{
    QByteArray qbaLine = FormatStdioLine(_qstrSignal, _iCode, _qstrData);
    qbaLine.append('\n');
    fwrite(qbaLine.constData(), 1, static_cast<size_t>(qbaLine.size()), stdout);
    fflush(stdout);
}
