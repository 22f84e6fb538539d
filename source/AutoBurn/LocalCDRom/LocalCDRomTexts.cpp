#include "LocalCDRomTexts.h"

#include <QJsonObject>

#include "PublicCommonFun.h"

namespace
{
struct DiscErrorRow
{
    const char* szLogLine;
    const char* szOperator;
};

// By disc error type 0-6; other types take the last row.
const DiscErrorRow s_arrDiscErrors[] = {
    {"[IOCtrlCallBackFunc::ParseMsg] 刻录组, 光盘信息读取错误,原因 [没有可用光盘,请更换光盘后继续]",
     "没有可用光盘，请更换光盘后继续，如已有光盘，请重新推入光驱"},
    {"[IOCtrlCallBackFunc::ParseMsg] 刻录组的光盘 格式错误,请换盘。", "光盘格式错误，请换盘"},
    {"[IOCtrlCallBackFunc::ParseMsg] 刻录组的光盘 只读,请换盘。", "光盘只读，请换盘"},
    {"[IOCtrlCallBackFunc::ParseMsg] 刻录组 的光盘光盘刻录轨道过多,请换盘。", "光盘刻录轨道过多，请换盘"},
    {"[IOCtrlCallBackFunc::ParseMsg] 刻录组的光盘驱动器无效，请换盘。", "驱动器无效"},
    {"[IOCtrlCallBackFunc::ParseMsg] 刻录组的光盘没有光盘,请放入光盘。",
     "没有光盘，请放入光盘，如已有光盘，请重新推入光驱"},
    {"[IOCtrlCallBackFunc::ParseMsg] 不是新盘,请放入新光盘。", "不是新盘，请放入新光盘"},
    {"[IOCtrlCallBackFunc::ParseMsg] 未知错误。", "光盘错误，请换盘后尝试"},
};
constexpr int n_KnownDiscErrors = int(sizeof(s_arrDiscErrors) / sizeof(s_arrDiscErrors[0])) - 1;
}  // namespace

LocalCDRomNotice LocalCDRomNoticeFor(int _iBurnState, int _iErrType, int _iUnfinished)
{
    switch (_iBurnState) {
    case 1:
        if (_iUnfinished > 0)
            return {QString(), QStringLiteral("待出盘：%1 张。放入光盘后，点击‘确定’将继续刻录！").arg(_iUnfinished)};
        return {QString(), QStringLiteral("刻录成功，请取走光盘")};
    case 6: {
        const DiscErrorRow& stRow =
            s_arrDiscErrors[_iErrType >= 0 && _iErrType < n_KnownDiscErrors ? _iErrType : n_KnownDiscErrors];
        return {QString::fromUtf8(stRow.szLogLine), QString::fromUtf8(stRow.szOperator)};
    }
    case 7:
        return {QString(), QStringLiteral("刻录失败，源文件不可读")};
    default:
        return {QString(), QStringLiteral("刻录失败，未知错误")};
    }
}

IoCtrlMessage ParseIoCtrlMessage(const QString& _qstrMsg)
{
    const QJsonObject qjsonMsg = QStringToJsonObject(_qstrMsg);
    IoCtrlMessage stMsg;
    stMsg.qstrType = qjsonMsg.value(QStringLiteral("type")).toString();
    stMsg.iCode = qjsonMsg.value(QStringLiteral("code")).toInt(-1);
    stMsg.iGroupId = qjsonMsg.value(QStringLiteral("groupID")).toInt(-1);
    const QJsonObject qjsonVal = qjsonMsg.value(QStringLiteral("strVal")).toObject();
    stMsg.iErrType = qjsonVal.value(QStringLiteral("errType")).toInt(-1);
    stMsg.qstrErrMsg = qjsonVal.value(QStringLiteral("errMsg")).toString();
    return stMsg;
}
