// Fuzzes the simulators' readers of what the module and their users hand them: the
// publishers' order files, the archive service's HTTP requests, and the option values
// (fail rules, pools, inks). The first input byte chooses the reader.
#include <QStringList>

#include "DmxSimOptions.h"
#include "OdaSimHttp.h"
#include "OdaSimOptions.h"
#include "PubSimFiles.h"
#include "PubSimOptions.h"
#include "FuzzSupport.h"

namespace
{

void ReadOrder(const QByteArray& _qbaText, const PubSimVendor& _stVendor)
{
    const PubSimOrder stOrder = ParsePubSimOrder(_qbaText, _stVendor);
    // Sizes are not looked up: the sources the fuzzer names must not be walked.
    const QVector<qint64> vecSizes(stOrder.vecFiles.size(), -1);
    FuzzSupport::Keep(ComposeResultFile(QStringLiteral("J1"), _stVendor, stOrder, vecSizes, QString()).size());
    const QMap<QString, QString> qmapErrors{{QStringLiteral("J1"), stOrder.qmapFields.value(QStringLiteral("JOB_ID"))}};
    FuzzSupport::Keep(ComposeStatusFile(stOrder.qmapFields.value(QStringLiteral("PUBLISHER")), qmapErrors).size());
}

void ReadHttp(const QByteArray& _qbaBuffer)
{
    // As a connection reads them: request after request off the front of what came.
    QByteArray qbaBuffer = _qbaBuffer;
    for (;;) {
        OdaSimHttpRequest stRequest;
        int iConsumed = 0;
        if (ParseHttpRequest(qbaBuffer, stRequest, iConsumed) != HttpParseResult::Complete)
            break;
        if (iConsumed <= 0 || iConsumed > qbaBuffer.size())
            abort();
        FuzzSupport::Keep(HttpResponse(200, stRequest.qbaBody).size());
        qbaBuffer.remove(0, iConsumed);
    }
}

void ReadOptionValues(const QByteArray& _qbaText)
{
    const QString qstrText = QString::fromUtf8(_qbaText);
    PubSimFailRule stRule;
    if (ParseFailRule(qstrText, stRule))
        FuzzSupport::Keep(FailCodeFor({stRule}, qstrText).size());
    OdaSimPool stPool;
    FuzzSupport::Keep(ParseOdaSimPool(qstrText, stPool));
    QVector<DmxSimInk> vecInks;
    FuzzSupport::Keep(ParseDmxSimInks(qstrText, vecInks));
}
void Run(uint8_t _uChoice, const QByteArray& _qbaRest)
{
    switch (_uChoice % 4) {
    case 0:
        ReadOrder(_qbaRest, EpsonVendor());
        break;
    case 1:
        ReadOrder(_qbaRest, PrimeraVendor());
        break;
    case 2:
        ReadHttp(_qbaRest);
        break;
    default:
        ReadOptionValues(_qbaRest);
        break;
    }
}
}  // namespace

const FuzzSupport::Target FuzzSupport::c_stTarget{false, false, nullptr, &Run};
