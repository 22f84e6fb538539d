// Fuzzes how the host reads what comes in and addresses what goes out: a line of its
// standard input, the output line of a message, and the clients a message names.
// Input: a line (first byte even) or an outgoing message (odd).
#include <QJsonDocument>
#include <QJsonObject>

#include "CLS_StdioRelay.h"
#include "CLS_WebSocketRelay.h"
#include "FuzzSupport.h"

namespace
{
void Run(uint8_t _uChoice, const QByteArray& _qbaRest)
{
    if (_uChoice % 2 == 0) {
        const StdioRequest stRequest = ParseStdioLine(_qbaRest);
        const QString qstrSignal = QStringLiteral("signalSendMsg");
        FuzzSupport::Keep(FormatStdioLine(qstrSignal, stRequest.iCode, stRequest.qstrData).size());
        return;
    }
    const MessageAddress stAddress = AddressOf(QJsonDocument::fromJson(_qbaRest).object());
    FuzzSupport::Keep(stAddress.qsetSenders.size() + stAddress.qstrToken.size());
    const ClientIdentity stIdentity{stAddress.qstrToken, QString(), stAddress.qsetSenders.values().value(0)};
    FuzzSupport::Keep(qHash(stIdentity));
}
}  // namespace

const FuzzSupport::Target FuzzSupport::c_stTarget{false, true, nullptr, &Run};
