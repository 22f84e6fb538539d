// Relays between the process's standard streams and the host: one request per
// input line, one JSON line per outgoing message. Lives on the main thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class CLS_BurnHost;
class QSocketNotifier;

// One input line read as a request: {"code": <int>, "data": "<text>"} gives that
// code and text; anything else is a code-17 message with the whole line.
struct StdioRequest
{
    int iCode = 17;
    QString qstrData;
};
StdioRequest ParseStdioLine(const QByteArray& _qbaLine);

// The output line for one outgoing message (no line end).
QByteArray FormatStdioLine(const QString& _qstrSignal, int _iCode, const QString& _qstrData);

class CLS_StdioRelay : public QObject
{
    Q_OBJECT

public:
    explicit CLS_StdioRelay(CLS_BurnHost* _pHost, QObject* _pParent = nullptr);

private Q_SLOTS:
    void SlotStdinReadable();
    void SlotOutgoing(QString _qstrSignal, int _iCode, QString _qstrData);

private:
    void DeliverCompleteLines();
    void DeliverLine(QByteArray _qbaLine);

    CLS_BurnHost* m_pHost;
    QSocketNotifier* m_pStdinNotifier = nullptr;
    QByteArray m_qbaPending;
    int m_iScanned = 0;              // leading bytes of the buffer known to hold no line end
    bool m_blSkipToLineEnd = false;  // the rest of a dropped over-long line is still to come
};
