// The gateway's message texts, built from tables of inbound messages and replies.
#include <QtTest>

#include "BurnMessageFormat.h"
#include "PublicCommonFun.h"

namespace
{
const char s_szRequest[] =
    R"({"token":"T1","platform":"web","sender":"client-7","msgId":"m-1","cmdtype":"req",)"
    R"("sendSocketID":"S-A","recvSocketID":"S-B",)"
    R"("param":{"cmd":"StartBurn","ret":5,"param":{"JobId":"J1","CDType":"DVD 4.7GB","eventId":"E9"}}})";

QJsonObject Obj(const QString& _qstrText)
{
    return QStringToJsonObject(_qstrText);
}

QStringList Keys(const QJsonObject& _qjsonObj)
{
    QStringList lstKeys = _qjsonObj.keys();
    lstKeys.sort();
    return lstKeys;
}
}  // namespace

class tst_BurnMessageFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseInbound()
    {
        const QString qstrMsg = QString::fromUtf8(s_szRequest);
        const BurnMsgInfo stInfo = ParseInboundMsg(qstrMsg, Obj(qstrMsg));
        QCOMPARE(stInfo.qstrMsg, qstrMsg);
        QCOMPARE(stInfo.qstrJobId, QStringLiteral("J1"));
        QCOMPARE(stInfo.qstrCmd, QStringLiteral("StartBurn"));
        QCOMPARE(stInfo.qstrMsgId, QStringLiteral("m-1"));
        QCOMPARE(stInfo.qstrToken, QStringLiteral("T1"));
        QCOMPARE(stInfo.qstrPlatform, QStringLiteral("web"));
        QCOMPARE(stInfo.qstrSender, QStringLiteral("client-7"));
        QCOMPARE(stInfo.qstrCmdType, QStringLiteral("req"));
        QCOMPARE(stInfo.qstrEventId, QStringLiteral("E9"));
        QCOMPARE(stInfo.iAck, 5);
        QCOMPARE(stInfo.iJobState, -1);
        QVERIFY(stInfo.qstrBurnTempParam.isEmpty());
        const QJsonObject qjsonParam = Obj(stInfo.qstrCmdParam);
        QCOMPARE(qjsonParam.value("msgId").toString(), QStringLiteral("m-1"));
        QCOMPARE(qjsonParam.value("CDType").toString(), QStringLiteral("DVD 4.7GB"));
        const QJsonObject qjsonHead = Obj(stInfo.qstrHead);
        QVERIFY(!qjsonHead.contains("param"));
        QCOMPARE(qjsonHead.value("sendSocketID").toString(), QStringLiteral("S-A"));
        QVERIFY(!stInfo.qstrHead.contains(QLatin1Char(' ')));
    }

    void parseInboundLeniently()
    {
        const QString qstrMsg = QStringLiteral(R"({"msgId":7,"param":{"cmd":"ApplyBurn","param":[]}})");
        const BurnMsgInfo stInfo = ParseInboundMsg(qstrMsg, Obj(qstrMsg));
        QCOMPARE(stInfo.qstrMsgId, QString());  // a number is not a text
        QCOMPARE(stInfo.iAck, -1);
        QCOMPARE(stInfo.qstrJobId, QString());
        QCOMPARE(Obj(stInfo.qstrBurnTempParam).value("cmd").toString(), QStringLiteral("ApplyBurn"));
    }

    void immediateAck()
    {
        const QJsonObject qjsonReq = Obj(QString::fromUtf8(s_szRequest));
        const QJsonObject qjsonAck = Obj(BuildImmediateAck(qjsonReq, QStringLiteral("StartBurn"), false));
        QCOMPARE(qjsonAck.value("msgId").toString(), QStringLiteral("m-1"));
        const QJsonObject qjsonExpected{{"ModuleName", "BurnModule"}, {"cmd", "StartBurn"},
                                        {"param", QJsonObject{{"ret", 1}}}};
        QCOMPARE(qjsonAck.value("param").toObject(), qjsonExpected);

        const QJsonObject qjsonWrapped = Obj(BuildImmediateAck(qjsonReq, QStringLiteral("StartBurn"), true));
        QCOMPARE(Keys(qjsonWrapped), (QStringList{"param", "platform", "sender", "token"}));
        QCOMPARE(qjsonWrapped.value("param").toObject(), qjsonAck);
    }

    void directReply()
    {
        const QJsonObject qjsonReply{{"cmd", "StartBurnReply"}, {"param", QJsonObject{{"ret", 0}}}};
        const QJsonObject qjsonPlain = Obj(BuildDirectReply(QString::fromUtf8(s_szRequest), qjsonReply, false));
        QCOMPARE(qjsonPlain.value("param").toObject(), qjsonReply);
        QCOMPARE(qjsonPlain.value("sender").toString(), QStringLiteral("client-7"));

        const QJsonObject qjsonWrapped = Obj(BuildDirectReply(QString::fromUtf8(s_szRequest), qjsonReply, true));
        QCOMPARE(qjsonWrapped.value("param").toObject(), qjsonPlain);
        QCOMPARE(qjsonWrapped.value("token").toString(), QStringLiteral("T1"));

        // Without a route the reply is "param" alone (wrapped once more with the flag).
        QCOMPARE(Obj(BuildDirectReply(QString(), qjsonReply, false)), (QJsonObject{{"param", qjsonReply}}));
        QCOMPARE(Obj(BuildDirectReply(QString(), qjsonReply, true)),
                 (QJsonObject{{"param", QJsonObject{{"param", qjsonReply}}}}));
    }

    void sendMessage()
    {
        const QString qstrMsg = QString::fromUtf8(s_szRequest);
        const BurnMsgInfo stInfo = ParseInboundMsg(qstrMsg, Obj(qstrMsg));
        const QJsonObject qjsonReply{{"cmd", "StartBurnReply"}};
        const QJsonObject qjsonSend = Obj(BuildSendMessage(stInfo.qstrHead, qjsonReply, 1700000000123LL));
        QCOMPARE(qjsonSend.value("cmd").toInt(), 10110);
        QCOMPARE(qjsonSend.value("cmdtype").toString(), QStringLiteral("send"));
        QCOMPARE(qjsonSend.value("timestamp").toString(), QStringLiteral("1700000000123"));
        QCOMPARE(qjsonSend.value("sendSocketID").toString(), QStringLiteral("S-B"));
        QCOMPARE(qjsonSend.value("recvSocketID").toString(), QStringLiteral("S-A"));
        QCOMPARE(qjsonSend.value("sender").toString(), QStringLiteral("BurnModule"));
        QCOMPARE(qjsonSend.value("clientlist").toArray(), QJsonArray{"client-7"});
        QCOMPARE(qjsonSend.value("token").toString(), QStringLiteral("T1"));
        QCOMPARE(qjsonSend.value("msgId").toString(), QStringLiteral("m-1"));
        QCOMPARE(qjsonSend.value("param").toObject(), (QJsonObject{{"param", qjsonReply}}));
    }

    void receipt()
    {
        const QString qstrHead = QStringLiteral(R"({"msgId":"m-2","timestamp":"99","token":"T","cmdtype":"req"})");
        const QJsonObject qjsonReceipt = Obj(BuildReceipt(qstrHead, QStringLiteral("J5"), QStringLiteral("DoBurn")));
        QCOMPARE(qjsonReceipt.value("cmdtype").toString(), QStringLiteral("ack"));
        QCOMPARE(qjsonReceipt.value("timestamp").toString(), QStringLiteral("99"));
        QCOMPARE(qjsonReceipt.value("msgId").toString(), QStringLiteral("m-2"));
        QCOMPARE(qjsonReceipt.value("param").toObject(),
                 (QJsonObject{{"JobId", "J5"}, {"action", "DoBurn"}, {"ret", 0}}));
    }

    void eventAndNotice()
    {
        const ClientRoute stRoute{"T", "P", "S", "{}"};
        const QJsonObject qjsonEvent = Obj(BuildDeviceEvent(stRoute, QJsonObject{{"cmd", "BurnDevCtrlReply"}}));
        QCOMPARE(Keys(qjsonEvent), (QStringList{"param", "platform", "sender", "token"}));
        QCOMPARE(qjsonEvent.value("platform").toString(), QStringLiteral("P"));
        QCOMPARE(Obj(BuildTimeoutNotice(QStringLiteral("DoBurnReply"), QStringLiteral("J1"))),
                 (QJsonObject{{"cmd", "BurnTimeOutMsg"}, {"param", QJsonObject{{"cmd", "DoBurnReply"}, {"JobId", "J1"}}}}));
    }

    void commandNames_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("replyCmd");
        QTest::addColumn<QString>("requestCmd");
        QTest::newRow("reply") << R"({"cmd":"StartBurnReply"})" << "StartBurnReply" << "StartBurn";
        QTest::newRow("status") << R"({"cmd":"BurnStatusReply"})" << "BurnStatusReply" << "DoBurn";
        QTest::newRow("no cmd") << R"({"x":1})" << "undefined" << "undefined";
        QTest::newRow("cmd not text") << R"({"cmd":3})" << "undefined" << "undefined";
        QTest::newRow("not json") << "garbage" << "undefined" << "undefined";
    }
    void commandNames()
    {
        QFETCH(QString, reply);
        QFETCH(QString, replyCmd);
        QFETCH(QString, requestCmd);
        QCOMPARE(ReplyCommandOf(reply), replyCmd);
        QCOMPARE(RequestCommandOf(replyCmd), requestCmd);
    }
};

QTEST_GUILESS_MAIN(tst_BurnMessageFormat)
#include "tst_BurnMessageFormat.moc"
