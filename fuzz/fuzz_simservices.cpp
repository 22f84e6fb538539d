// Fuzzes the simulated services' request readers as their connections call them: the
// DMX robot, the optical archive's REST service and the Primera burn service. The first
// input byte chooses the service; the rest is requests, each a route and a body
// separated by NUL ("task/AddTask", "/oss/rest/restServer/mkdir", "Task/Submit"...),
// answered in turn by one fresh service.
#include <QDir>

#include "CLS_DmxSimRobot.h"
#include "CLS_OdaSimService.h"
#include "CLS_PmySimService.h"
#include "FuzzSupport.h"

namespace
{
constexpr int n_MaxRequests = 8;

QString Folder(const char* _szName)
{
    return QDir::currentPath() + QLatin1Char('/') + QLatin1String(_szName);
}

// A fresh service prepared for the input, then asked its (route, body) pairs in turn.
template <typename Service, typename Ask>
void AskPairs(Service& _service, const QList<QByteArray>& _qlstParts, Ask _fnAsk)
{
    QString qstrError;
    if (!_service.Prepare(qstrError))
        std::abort();
    for (int i = 0; i + 1 < _qlstParts.size() && i < 2 * n_MaxRequests; i += 2)
        _fnAsk(_qlstParts.at(i), _qlstParts.at(i + 1));
}

void AskDmx(const QList<QByteArray>& _qlstParts, int _iDrives)
{
    DmxSimOptions stOptions;
    stOptions.iDrives = _iDrives;
    stOptions.qstrShare = Folder("dmx-share");
    stOptions.qstrOut = Folder("dmx-out");
    CLS_DmxSimRobot robot(stOptions);
    AskPairs(robot, _qlstParts, [&robot](const QByteArray& _qbaRoute, const QByteArray& _qbaBody) {
        const QString qstrRoute = QString::fromUtf8(_qbaRoute);
        const int iSlash = qstrRoute.indexOf(QLatin1Char('/'));
        FuzzSupport::Keep(
            robot.Answer(qstrRoute.left(iSlash), qstrRoute.mid(iSlash + 1), QString::fromUtf8(_qbaBody)).qstrReply);
    });
}

void AskOda(const QList<QByteArray>& _qlstParts)
{
    OdaSimOptions stOptions;
    stOptions.vecPools << OdaSimPool{QStringLiteral("P1"), QStringLiteral("一号池"), Folder("oda-pool1")};
    CLS_OdaSimService service(stOptions);
    AskPairs(service, _qlstParts, [&service](const QByteArray& _qbaRoute, const QByteArray& _qbaBody) {
        FuzzSupport::Keep(service.Answer(_qbaRoute, _qbaBody).size());
    });
}

void AskPmy(const QList<QByteArray>& _qlstParts)
{
    PmySimOptions stOptions;
    stOptions.qstrOut = Folder("pmy-out");
    CLS_PmySimService service(stOptions);
    AskPairs(service, _qlstParts, [&service](const QByteArray& _qbaLine, const QByteArray& _qbaBody) {
        FuzzSupport::Keep(service.Answer(QString::fromUtf8(_qbaLine), QString::fromUtf8(_qbaBody)).qstrReply);
    });
}
void Run(uint8_t _uChoice, const QByteArray& _qbaRest)
{
    const QList<QByteArray> qlstParts = _qbaRest.split('\0');
    switch (_uChoice % 5) {
    case 0:
        AskDmx(qlstParts, 2);
        break;
    case 1:
        AskDmx(qlstParts, 8);
        break;
    case 2:
        AskDmx(qlstParts, 12);
        break;
    case 3:
        AskOda(qlstParts);
        break;
    default:
        AskPmy(qlstParts);
        break;
    }
}
}  // namespace

const FuzzSupport::Target FuzzSupport::c_stTarget{true, true, nullptr, &Run};
