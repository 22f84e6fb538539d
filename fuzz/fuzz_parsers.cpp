// Fuzzes the readers of device and client texts that are free functions: the burn
// service's, the optical archive's and the DMX robots' replies, the message formats of
// the gateway, the label request and the drive library's messages. The first input byte
// chooses the reader; the rest is its text (NUL separates a second one where needed).
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include "BurnMessageFormat.h"
#include "DMX/DmxService.h"
#include "Epson/CLS_AutoEpson.h"
#include "JobFolder.h"
#include "LocalCDRom/LocalCDRomTexts.h"
#include "Oda/OdaService.h"
#include "Primera4200/PmyService.h"
#include "Publisher/PublisherJobFile.h"
#include "Publisher/PublisherVendor.h"
#include "PublicCommonFun.h"
#include "FuzzSupport.h"

namespace
{
QJsonObject ObjectOf(const QString& _qstrText)
{
    return QJsonDocument::fromJson(_qstrText.toUtf8()).object();
}

void ReadPmy(int _iWhich, const QString& _qstrText)
{
    switch (_iWhich) {
    case 0: {
        const PmyTaskReply stReply = ReadPmyTaskStatus(_qstrText);
        for (const PmyTaskStatus& stTask : stReply.vecTasks)
            FuzzSupport::Keep(PmyTaskState(stTask.iStatusCode));
        FuzzSupport::Keep(PmyErrorText(stReply.iErrorCode));
        break;
    }
    case 1: {
        const std::optional<QJsonObject> optStatus = ReadPmyRobotStatus(_qstrText, QJsonArray{"127.0.0.1"});
        const std::optional<QJsonObject> optDynamic = ReadPmyDynamic(_qstrText);
        if (optStatus)
            FuzzSupport::Keep(PmyRobotStatusMessage(*optStatus, QJsonArray{optDynamic.value_or(QJsonObject())}));
        break;
    }
    case 2:
        FuzzSupport::Keep(PmyCalibrationRefusal(_qstrText));
        break;
    default: {
        const PmyLabelFields stFields = ReadPmyLabelFields(ObjectOf(_qstrText));
        FuzzSupport::Keep(stFields.qlstUp.size() + stFields.qlstDown.size());
        break;
    }
    }
}

void ReadOda(int _iWhich, const QString& _qstrText, const QString& _qstrSecond)
{
    switch (_iWhich) {
    case 0: {
        const OdaPoolChoice stChoice = ChooseOdaPool(_qstrText, _qstrSecond);
        FuzzSupport::Keep(static_cast<int>(stChoice.stPool.m_strVolPath.size()));
        break;
    }
    case 1: {
        const OdaTaskState stState = ReadOdaTaskState(_qstrText);
        FuzzSupport::Keep(OdaOfflineStatusMessage(stState, _qstrSecond));
        FuzzSupport::Keep(OdaTaskKnown(_qstrText));
        break;
    }
    case 2:
        FuzzSupport::Keep(ReadOdaDiscs(_qstrText));
        FuzzSupport::Keep(OdaJobIdSuffix(_qstrSecond));
        break;
    default: {
        const QString qstrLabels = MakeOdaLabelList(ObjectOf(_qstrText));
        const QString qstrDiscLabel = MakeOdaDiscLabel(_qstrSecond, QDateTime::fromMSecsSinceEpoch(0), 7, _qstrSecond);
        FuzzSupport::Keep(OdaTaskBody(_qstrSecond, _qstrSecond, qstrDiscLabel, 1, qstrLabels));
        FuzzSupport::Keep(OdaMkdirBody(_qstrSecond));
        break;
    }
    }
}

void ReadDmx(int _iWhich, const QString& _qstrText, const QString& _qstrSecond)
{
    int iUnreadable = 0;
    switch (_iWhich) {
    case 0:
        FuzzSupport::Keep(ReadDmxShares(_qstrText).qlstMissingKeys.size());
        break;
    case 1: {
        QString qstrMissingKey;
        FuzzSupport::Keep(DmxServiceState(_qstrText, &qstrMissingKey));
        break;
    }
    case 2: {
        DMXDevStatus stStatus;
        ReadDmxInks(_qstrText, stStatus);
        stStatus.iEmptyDiscCount = ReadDmxDepotDiscs(_qstrSecond, &iUnreadable);
        stStatus.iErrorCode = DmxErrorCode(stStatus, iUnreadable == 0);
        FuzzSupport::Keep(DmxRobotStatusText(stStatus));
        break;
    }
    case 3:
        FuzzSupport::Keep(HasMissDiscError(_qstrText, &iUnreadable));
        FuzzSupport::Keep(DmxLogFilter(_qstrSecond) + DmxRestartRange(_qstrSecond));
        break;
    default: {
        DMXJobParam stJob;
        stJob.qstrLabel = _qstrSecond;
        stJob.vecBurnFiles.emplace_back(_qstrSecond.toStdString(), _qstrText.toStdString());
        FuzzSupport::Keep(DmxDiscPath(_qstrText.toStdString()));
        const QJsonObject qjsonValues = ObjectOf(_qstrText);
        FuzzSupport::Keep(DmxTaskText(stJob, &qjsonValues));
        break;
    }
    }
}

void ReadMessage(int _iWhich, const QString& _qstrText, const QString& _qstrSecond)
{
    const QJsonObject qjsonMsg = ObjectOf(_qstrText);
    switch (_iWhich) {
    case 0: {
        const BurnMsgInfo stInfo = ParseInboundMsg(_qstrText, qjsonMsg);
        FuzzSupport::Keep(HasTimestamp(qjsonMsg));
        FuzzSupport::Keep(BuildImmediateAck(qjsonMsg, stInfo.qstrCmd, true));
        FuzzSupport::Keep(BuildReceipt(stInfo.qstrHead, stInfo.qstrJobId, stInfo.qstrCmd, 0));
        break;
    }
    case 1:
        FuzzSupport::Keep(BuildDirectReply(_qstrText, ObjectOf(_qstrSecond), false));
        FuzzSupport::Keep(BuildSendMessage(_qstrText, ObjectOf(_qstrSecond), 1700000000000));
        break;
    case 2: {
        const QString qstrReplyCmd = ReplyCommandOf(_qstrText);
        FuzzSupport::Keep(RequestCommandOf(qstrReplyCmd) + RequestCommandOf(_qstrSecond));
        FuzzSupport::Keep(BuildTimeoutNotice(qstrReplyCmd, _qstrSecond));
        break;
    }
    default: {
        const ClientRoute stRoute{_qstrSecond, _qstrSecond, _qstrSecond, _qstrText};
        FuzzSupport::Keep(BuildDeviceEvent(stRoute, ObjectOf(_qstrSecond)));
        const QJsonObject qjsonItem = DevCtrlReplyItem(qjsonMsg, QJsonArray{_qstrSecond}, -9, _qstrSecond);
        FuzzSupport::Keep(BuildDevCtrlReply(_qstrSecond, -9, QJsonArray{qjsonItem}));
        break;
    }
    }
}

void ReadOther(int _iWhich, const QByteArray& _qbaText, const QString& _qstrText, const QString& _qstrSecond)
{
    switch (_iWhich) {
    case 0: {
        const PublisherVendor& stVendor = (_qbaText.size() % 2) ? EpsonPublisher() : PrimeraPublisher();
        const std::optional<QStringList> optValues =
            LabelFieldValues(_qbaText.toStdString(), LabelFieldNames(stVendor));
        if (optValues)
            FuzzSupport::Keep(ComposeLabelFile(stVendor, *optValues).size());
        break;
    }
    case 1: {
        const IoCtrlMessage stMsg = ParseIoCtrlMessage(_qstrText);
        FuzzSupport::Keep(LocalCDRomNoticeFor(stMsg.iCode, stMsg.iErrType, stMsg.iGroupId).qstrOperator);
        break;
    }
    case 2:
        FuzzSupport::Keep(ResubmittedOrderLine(_qbaText, _qstrSecond.toUtf8()).size());
        break;
    default:
        FuzzSupport::Keep(IsSafeFolderName(_qstrText) + IsSafeRelativePath(_qstrSecond) + IsValidIP(_qstrText));
        FuzzSupport::Keep(JsonValueText(QJsonDocument::fromJson(_qbaText).object().value(_qstrSecond)));
        break;
    }
}
void Run(uint8_t _uChoice, const QByteArray& _qbaRest)
{
    const QList<QByteArray> qlstParts = FuzzSupport::Parts(_qbaRest, 2);
    const QString qstrText = QString::fromUtf8(qlstParts.at(0));
    const QString qstrSecond = QString::fromUtf8(qlstParts.at(1));
    // Five families of four or five readers each.
    const int iWhich = _uChoice % 25;
    if (iWhich < 4)
        ReadPmy(iWhich, qstrText);
    else if (iWhich < 8)
        ReadOda(iWhich - 4, qstrText, qstrSecond);
    else if (iWhich < 13)
        ReadDmx(iWhich - 8, qstrText, qstrSecond);
    else if (iWhich < 17)
        ReadMessage(iWhich - 13, qstrText, qstrSecond);
    else
        ReadOther((iWhich - 17) % 4, qlstParts.at(0), qstrText, qstrSecond);
}
}  // namespace

const FuzzSupport::Target FuzzSupport::c_stTarget{false, true, nullptr, &Run};
