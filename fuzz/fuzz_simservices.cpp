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

void AskDmx(const QList<QByteArray>& _qlstParts, int _iDrives)
{
    DmxSimOptions stOptions;
    stOptions.iDrives = _iDrives;
    stOptions.qstrShare = Folder("dmx-share");
    stOptions.qstrOut = Folder("dmx-out");
    CLS_DmxSimRobot robot(stOptions);
    QString qstrError;
    if (!robot.Prepare(qstrError))
        std::abort();
    for (int i = 0; i + 1 < _qlstParts.size() && i < 2 * n_MaxRequests; i += 2) {
        const QString qstrRoute = QString::fromUtf8(_qlstParts.at(i));
        const int iSlash = qstrRoute.indexOf(QLatin1Char('/'));
        const DmxSimAnswer stAnswer =
            robot.Answer(qstrRoute.left(iSlash), qstrRoute.mid(iSlash + 1), QString::fromUtf8(_qlstParts.at(i + 1)));
        FuzzSupport::Keep(stAnswer.qstrReply);
    }
}

void AskOda(const QList<QByteArray>& _qlstParts)
{
    OdaSimOptions stOptions;
    stOptions.vecPools << OdaSimPool{QStringLiteral("P1"), QStringLiteral("一号池"), Folder("oda-pool1")};
    CLS_OdaSimService service(stOptions);
    QString qstrError;
    if (!service.Prepare(qstrError))
        std::abort();
    for (int i = 0; i + 1 < _qlstParts.size() && i < 2 * n_MaxRequests; i += 2)
        FuzzSupport::Keep(service.Answer(_qlstParts.at(i), _qlstParts.at(i + 1)).size());
}

void AskPmy(const QList<QByteArray>& _qlstParts)
{
    PmySimOptions stOptions;
    stOptions.qstrOut = Folder("pmy-out");
    CLS_PmySimService service(stOptions);
    QString qstrError;
    if (!service.Prepare(qstrError))
        std::abort();
    for (int i = 0; i + 1 < _qlstParts.size() && i < 2 * n_MaxRequests; i += 2) {
        const PmySimAnswer stAnswer =
            service.Answer(QString::fromUtf8(_qlstParts.at(i)), QString::fromUtf8(_qlstParts.at(i + 1)));
        FuzzSupport::Keep(stAnswer.qstrReply);
    }
    FuzzSupport::Keep(service.RobotStatusJson());
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
