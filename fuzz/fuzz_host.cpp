// Fuzzes how the host reads what comes in and addresses what goes out: a line of its
// standard input, the output line of a message, and the clients a message names.
// Input: a line (first byte even) or an outgoing message (odd).
#include <QJsonDocument>
#include <QJsonObject>

#include "CLS_StdioRelay.h"
#include "CLS_WebSocketRelay.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* _piArgc, char*** _pppArgv)
{
    FuzzSupport::Start(_piArgc, _pppArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _pData, size_t _uSize)
{
    if (_uSize == 0)
        return 0;
    const QByteArray qbaRest = FuzzSupport::Bytes(_pData + 1, _uSize - 1);
    if (FuzzSupport::RepeatsKey(qbaRest))
        return 0;
    if (_pData[0] % 2 == 0) {
        const StdioRequest stRequest = ParseStdioLine(qbaRest);
        const QString qstrSignal = QStringLiteral("signalSendMsg");
        FuzzSupport::Keep(FormatStdioLine(qstrSignal, stRequest.iCode, stRequest.qstrData).size());
        return 0;
    }
    const MessageAddress stAddress = AddressOf(QJsonDocument::fromJson(qbaRest).object());
    FuzzSupport::Keep(stAddress.qsetSenders.size() + stAddress.qstrToken.size());
    const ClientIdentity stIdentity{stAddress.qstrToken, QString(), stAddress.qsetSenders.values().value(0)};
    FuzzSupport::Keep(qHash(stIdentity));
    return 0;
}
