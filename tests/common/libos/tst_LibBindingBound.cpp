// The bindings with the recording stand-in libraries bound: every forwarder hands its
// arguments on unchanged and returns the entry's result, printf-style and C++-typed
// forwarders included; the module log goes to the library; loaders called again keep
// the binding; the DMX wrappers gate on the connection and own the reply.
#include <QRegularExpression>
#include <QtTest>

#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "BindingTestSupport.h"
#include "BurnLibBinding.h"
#include "BurnTestRecorder.h"

namespace
{
const char s_szLogSource[] = "tst_LibBindingBound";
const QByteArray s_qbaLibDir = QByteArrayLiteral(BURN_TEST_LIB_DIR "/recording");

QString Joined(const std::vector<std::string>& _vecRecords)
{
    QStringList qstrlistRecords;
    for (const std::string& strRecord : _vecRecords)
        qstrlistRecords << QString::fromStdString(strRecord);
    return qstrlistRecords.join(QStringLiteral(" | "));
}

QStringList Records()
{
    QStringList qstrlistRecords;
    for (const std::string& strRecord : BurnTestTakeRecords())
        qstrlistRecords << QString::fromStdString(strRecord);
    return qstrlistRecords;
}

// Calls the forwarder with distinct values per position and returns what went wrong
// (empty when the entry saw exactly those values and its result came back).
template <typename R, typename... A, std::size_t... I>
QString CheckPassThrough(R (*_pfnForwarder)(A...), const char* _szEntry, std::index_sequence<I...>)
{
    auto tupArgs = std::make_tuple(BurnTestArg<A>(I)...);
    const std::string strExpected = BurnTestDescribeCall(_szEntry, tupArgs);
    BurnTestTakeRecords();
    if constexpr (!std::is_void_v<R>) {
        const R result = std::apply(_pfnForwarder, tupArgs);
        if (result != BurnTestResult<R>(_szEntry))
            return QStringLiteral("result %1, expected %2")
                .arg(QString::fromStdString(BurnTestDescribe(result)),
                     QString::fromStdString(BurnTestDescribe(BurnTestResult<R>(_szEntry))));
    } else {
        std::apply(_pfnForwarder, tupArgs);
    }
    const std::vector<std::string> vecRecords = BurnTestTakeRecords();
    if (vecRecords != std::vector<std::string>{strExpected})
        return QStringLiteral("calls [%1], expected [%2]").arg(Joined(vecRecords), QString::fromStdString(strExpected));
    return QString();
}

template <typename R, typename... A>
std::function<QString()> PassThroughCheck(R (*_pfnForwarder)(A...), const char* _szEntry)
{
    return [_pfnForwarder, _szEntry] { return CheckPassThrough(_pfnForwarder, _szEntry, std::index_sequence_for<A...>()); };
}

struct PassThroughCase
{
    QString qstrName;
    std::function<QString()> fnCheck;
};

const std::vector<PassThroughCase>& BoundForwarders()
{
    static const std::vector<PassThroughCase> s_vecCases = [] {
        std::vector<PassThroughCase> vecCases;
#define BURN_TEST_FORWARDER(name, entry, looked) \
    if (looked)                                  \
        vecCases.push_back({QStringLiteral(#name), PassThroughCheck(&name, entry)});
#define BURN_TEST_FORWARDER_VA(name)
#include "AllForwarderRows.inc"
#undef BURN_TEST_FORWARDER
#undef BURN_TEST_FORWARDER_VA
        return vecCases;
    }();
    return s_vecCases;
}

// Every loader with the directory its caller passes.
const std::vector<std::pair<const char*, std::function<int()>>>& Inits()
{
    static const std::vector<std::pair<const char*, std::function<int()>>> s_vecInits = {
        {"libos", [] { return libos_init(s_qbaLibDir.constData()); }},
        {"mq", [] { return mq_init(s_qbaLibDir.constData()); }},
        {"alivemsg", [] { return alivemsg_init_lib((s_qbaLibDir + '/').constData()); }},
        {"webservice", [] { return webservice_init_lib((s_qbaLibDir + '/').constData()); }},
        {"DMX", [] { return dmx_init(s_qbaLibDir.constData()); }},
        {"PMYBS", [] { return PMY4200_init_lib(s_qbaLibDir.constData()); }},
        {"IOCtrl", [] { return burnsdkioctrl_init((s_qbaLibDir + '/').constData()); }},
    };
    return s_vecInits;
}

void RecordChangeEvent(const char*, const char*, void*) {}

const QString s_qstrAddress = QStringLiteral("@([0-9a-f]+)");
const QString s_qstrBracedUuid = QStringLiteral("(\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\})");
}  // namespace

class TestLibBindingBound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void forwarderPassesArgumentsAndResult_data();
    void forwarderPassesArgumentsAndResult();
    void unboundRowsStayUnboundBesideBoundOnes();
    void printfForwardersPassTheFormattedText();
    void ioctrlForwardersPassStandardObjects();
    void moduleLogGoesToTheLibrary();
    void loadersCalledAgainKeepTheBinding();
    void dmxSendToOfflineDeviceSendsNothing();
    void dmxSendPassesBracedIdAndReleasesReply();
    void dmxErrSendAlsoReturnsTheErrorId();
    void dmxOtherWrappersPassThrough();
};

void TestLibBindingBound::initTestCase()
{
    CLS_QtLogCapture qtLog;
    for (const auto& pairInit : Inits())
        QVERIFY2(pairInit.second() == 1, pairInit.first);
    QVERIFY(qtLog.Take().isEmpty());
    // Loading calls nothing in the libraries.
    QCOMPARE(Records(), QStringList());
}

void TestLibBindingBound::forwarderPassesArgumentsAndResult_data()
{
    QTest::addColumn<int>("iCase");
    for (std::size_t i = 0; i < BoundForwarders().size(); ++i)
        QTest::newRow(qPrintable(BoundForwarders()[i].qstrName)) << static_cast<int>(i);
}

void TestLibBindingBound::forwarderPassesArgumentsAndResult()
{
    QFETCH(int, iCase);
    CLS_QtLogCapture qtLog;
    const QString qstrError = BoundForwarders()[static_cast<std::size_t>(iCase)].fnCheck();
    QVERIFY2(qstrError.isEmpty(), qPrintable(qstrError));
    QVERIFY(qtLog.Take().isEmpty());
}

void TestLibBindingBound::unboundRowsStayUnboundBesideBoundOnes()
{
    CLS_QtLogCapture qtLog;
    BurnTestTakeRecords();
    // The stand-in exports log_manage_startup, but the binding never looks it up.
    QCOMPARE(log_manage_startup(), 0);
    QCOMPARE(PP100_Initialize(), -1);
    QCOMPARE(qtLog.Take(), (QStringList{"dy_log_manage_startup == NULL\r\n", "g_pPP100_Initialize == nullptr"}));
    QCOMPARE(Records(), QStringList());
}

void TestLibBindingBound::printfForwardersPassTheFormattedText()
{
    BurnTestTakeRecords();
    log_buf_msg(5, "%s=%d %.2f %%", "x", 42, 1.5);
    // The text reaches the library as an argument: its own '%' is not read as a format.
    log_buf_msg(1, "%s", "50%s done");
    const std::string strLong(10000, 'L');
    log_buf_msg_unlock(2, "<%s>", strLong.c_str());

    const QStringList qstrlistExpected = {"log_buf_msg(5, \"x=42 1.50 %\")", "log_buf_msg(1, \"50%s done\")",
                                          "log_buf_msg_unlock(2, \"<" + QString::fromStdString(strLong) + ">\")"};
    QCOMPARE(Records(), qstrlistExpected);
}

void TestLibBindingBound::ioctrlForwardersPassStandardObjects()
{
    BurnTestTakeRecords();
    const std::string strSource = "/media/\xE8\xA7\x86\xE9\xA2\x91 1.mp4";
    QCOMPARE(IOCtrlAddFile(strSource, "/\xE8\xA7\x86\xE9\xA2\x91 1.mp4", 3), BurnTestResult<int>("AddFile"));
    QCOMPARE(IOCtrlSetMediaCaption("\xE6\xA1\x88\xE4\xBB\xB6 2024", 3), BurnTestResult<int>("SetMediaCaption"));
    QCOMPARE(IOCtrlSetBurnGroup({"/dev/sr0"}), BurnTestResult<int>("SetBurnGroup"));
    IOSetStatus(1);
    IOCtrlSetBurnCallBack(nullptr, nullptr);

    const QStringList qstrlistExpected = {
        QString::fromUtf8("AddFile(\"/media/\xE8\xA7\x86\xE9\xA2\x91 1.mp4\", \"/\xE8\xA7\x86\xE9\xA2\x91 1.mp4\", 3)"),
        QString::fromUtf8("SetMediaCaption(\"\xE6\xA1\x88\xE4\xBB\xB6 2024\", 3)"), "SetBurnGroup([\"/dev/sr0\"])",
        "IOSetStatus(1)", "SetBurnCallBack(@0, @0)"};
    QCOMPARE(Records(), qstrlistExpected);
    QCOMPARE(strSource, std::string("/media/\xE8\xA7\x86\xE9\xA2\x91 1.mp4"));
}

void TestLibBindingBound::moduleLogGoesToTheLibrary()
{
    QVERIFY(g_pfnModuleLogDebugEx.load() != nullptr);
    QVERIFY(g_pfnModuleLogMsg.load() != nullptr);
    QVERIFY(g_pfnModuleLogDebugPuts.load() != nullptr);
    BurnTestTakeRecords();

    const int iLine = __LINE__ + 1;
    BURN_LOG(n_BurnLogLevel_Info, "n=%d s=%s", 7, "x");
    g_pfnModuleLogMsg.load()(3, "a%d", 1);
    g_pfnModuleLogDebugPuts.load()(2, "CLS_Puts", 9, "plain %d");

    const QStringList qstrlistExpected = {
        QStringLiteral("log_debug_ex(4, \"tst_LibBindingBound\", %1, \"n=7 s=x\")").arg(iLine),
        "log_msg(3, \"a1\")", "log_debug_puts(2, \"CLS_Puts\", 9, \"plain %d\")"};
    QCOMPARE(Records(), qstrlistExpected);
}

void TestLibBindingBound::loadersCalledAgainKeepTheBinding()
{
    CLS_QtLogCapture qtLog;
    CLS_ModuleLogCapture moduleLog;
    BurnTestTakeRecords();
    const char* szNowhere = "/nonexistent/burnmodule";
    QCOMPARE(libos_init(szNowhere), 1);
    QCOMPARE(load_libos_lib(nullptr), 1);
    QCOMPARE(mq_init(szNowhere), 1);
    QCOMPARE(mq_load_lib(nullptr), 1);
    QCOMPARE(alivemsg_init_lib(szNowhere), 1);
    QCOMPARE(alivemsg_load_lib(nullptr), 1);
    QCOMPARE(webservice_init_lib(szNowhere), 1);
    QCOMPARE(load_webservice_lib(nullptr), 1);
    QCOMPARE(PMY4200_init_lib(szNowhere), 1);
    QCOMPARE(PMY4200_load_lib(nullptr), 1);
    QCOMPARE(burnsdkioctrl_init(szNowhere), 1);
    QCOMPARE(burnsdkioctrl_load_lib(nullptr), 1);
    QCOMPARE(dmx_init(szNowhere), 1);
    QCOMPARE(DMX_loadDll(nullptr), 1);

    QCOMPARE(moduleLog.Texts(), (QStringList{"LoadDMXAPI is loaded ", "LoadDMXAPI is loaded "}));
    QVERIFY(qtLog.Take().isEmpty());
    QCOMPARE(Records(), QStringList());
    // Still the same entries.
    QCOMPARE(os_startup(128, 10), BurnTestResult<int>("os_startup"));
    QCOMPARE(Records(), QStringList{"os_startup(128, 10)"});
}

void TestLibBindingBound::dmxSendToOfflineDeviceSendsNothing()
{
    void* pDevice = DMX_getDev("offline", 1882, 0);
    QVERIFY(pDevice != nullptr);
    const QString qstrDevice = QString::fromStdString(BurnTestDescribe(pDevice));
    QCOMPARE(Records(), QStringList{"get_dev(\"offline\", 1882, 0)"});

    CLS_ModuleLogCapture moduleLog;
    std::string strReply = "before";
    int iErrId = -5;
    QCOMPARE(DMX_sendMsgRet(pDevice, "get", "SysStatus", "", "", 10000, strReply), n_DmxNotSent);
    QCOMPARE(DMX_sendMsgErrRet(pDevice, "task", "AddTask", "", "{}", 600000, strReply, &iErrId), n_DmxNotSent);

    QCOMPARE(Records(), (QStringList{"is_conn(" + qstrDevice + ")", "is_conn(" + qstrDevice + ")"}));
    QCOMPARE(iErrId, -5);
    QCOMPARE(moduleLog.Texts(),
             (QStringList{
                 "DMX_sendMsgRet dy_send_msg_ret_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)",
                 "DMX_sendMsgErrRet dy_send_msg_ret_err_new_ex == nullptr || dy_free_str == nullptr || "
                 "!DMX_isConn(dev)"}));
}

void TestLibBindingBound::dmxSendPassesBracedIdAndReleasesReply()
{
    void* pDevice = DMX_getDev("10.1.2.3", 1882, 0);
    QVERIFY(DMX_isConn(pDevice));
    const QString qstrDevice = QString::fromStdString(BurnTestDescribe(pDevice));
    BurnTestTakeRecords();

    const QRegularExpression qregSend(QRegularExpression::anchoredPattern(
        "send_msg_ret_new_ex\\(" + QRegularExpression::escape(qstrDevice) + ", \"get\", \"SysStatus\", \"" +
        s_qstrBracedUuid + "\", \"\\{\\}\", 10000, " + s_qstrAddress + ", @0, @[0-9a-f]+\\) reply=" + s_qstrAddress));
    QStringList qstrlistIds;
    for (int i = 0; i < 2; ++i) {
        std::string strReply;
        QCOMPARE(DMX_sendMsgRet(pDevice, "get", "SysStatus", "not passed on", "{}", 10000, strReply), 7);
        const QStringList qstrlistRecords = Records();
        QCOMPARE(qstrlistRecords.size(), 3);
        QCOMPARE(qstrlistRecords[0], "is_conn(" + qstrDevice + ")");
        const QRegularExpressionMatch qmatchSend = qregSend.match(qstrlistRecords[1]);
        QVERIFY2(qmatchSend.hasMatch(), qPrintable(qstrlistRecords[1]));
        const QString qstrId = qmatchSend.captured(1);
        // The library's reply is copied out, then handed back through the same pointer.
        QCOMPARE(QString::fromStdString(strReply), "reply:" + qstrId);
        QCOMPARE(qstrlistRecords[2],
                 QStringLiteral("free_str(@%1, @%2)").arg(qmatchSend.captured(2), qmatchSend.captured(3)));
        qstrlistIds << qstrId;
    }
    QVERIFY(qstrlistIds[0] != qstrlistIds[1]);

    std::string strReply = "stale";
    QCOMPARE(DMX_sendMsgRet(pDevice, "get", "SysStatus", "", "no-reply", 10000, strReply), 7);
    QCOMPARE(strReply, std::string());
    const QStringList qstrlistRecords = Records();
    QCOMPARE(qstrlistRecords.size(), 3);
    QVERIFY2(qstrlistRecords[2].startsWith("free_str(@") && qstrlistRecords[2].endsWith(", @0)"),
             qPrintable(qstrlistRecords[2]));
}

void TestLibBindingBound::dmxErrSendAlsoReturnsTheErrorId()
{
    void* pDevice = DMX_getDev("10.1.2.3", 1882, 0);
    const QString qstrDevice = QString::fromStdString(BurnTestDescribe(pDevice));
    BurnTestTakeRecords();

    std::string strReply;
    int iErrId = 0;
    QCOMPARE(DMX_sendMsgErrRet(pDevice, "task", "AddTask", "not passed on", "{\"guid\":\"J1\"}", 600000, strReply, &iErrId),
             9);
    QCOMPARE(iErrId, 112002);
    const QStringList qstrlistRecords = Records();
    QCOMPARE(qstrlistRecords.size(), 3);
    const QRegularExpression qregSend(QRegularExpression::anchoredPattern(
        "send_msg_ret_err_new_ex\\(" + QRegularExpression::escape(qstrDevice) + ", \"task\", \"AddTask\", \"" +
        s_qstrBracedUuid + "\", \"\\{\"guid\":\"J1\"\\}\", 600000, " + s_qstrAddress + ", @0, @[0-9a-f]+, " +
        QRegularExpression::escape(QString::fromStdString(BurnTestDescribe(&iErrId))) + "\\) reply=" + s_qstrAddress));
    const QRegularExpressionMatch qmatchSend = qregSend.match(qstrlistRecords[1]);
    QVERIFY2(qmatchSend.hasMatch(), qPrintable(qstrlistRecords[1]));
    QCOMPARE(QString::fromStdString(strReply), "reply:" + qmatchSend.captured(1));
    QCOMPARE(qstrlistRecords[2], QStringLiteral("free_str(@%1, @%2)").arg(qmatchSend.captured(2), qmatchSend.captured(3)));
}

void TestLibBindingBound::dmxOtherWrappersPassThrough()
{
    int iContext = 0;
    void* pDevice = DMX_getDev("10.1.2.3", 1883, 0);
    void* pSubscription = DMX_setChangeEventCall(pDevice, &RecordChangeEvent, &iContext);
    QCOMPARE(pSubscription, BurnTestResult<void*>("set_change_event_call"));
    QCOMPARE(DMX_destroyChangeEventCall(pDevice, pSubscription), BurnTestResult<int>("destroy_change_event_call"));
    QCOMPARE(DMX_destroyDev(pDevice), BurnTestResult<int>("destroy_dev"));

    const QString qstrDevice = QString::fromStdString(BurnTestDescribe(pDevice));
    const QString qstrSubscription = QString::fromStdString(BurnTestDescribe(pSubscription));
    const QStringList qstrlistExpected = {
        "get_dev(\"10.1.2.3\", 1883, 0)",
        QStringLiteral("set_change_event_call(%1, %2, %3)")
            .arg(qstrDevice, QString::fromStdString(BurnTestDescribe(&RecordChangeEvent)),
                 QString::fromStdString(BurnTestDescribe(&iContext))),
        QStringLiteral("destroy_change_event_call(%1, %2)").arg(qstrDevice, qstrSubscription),
        QStringLiteral("destroy_dev(%1)").arg(qstrDevice)};
    QCOMPARE(Records(), qstrlistExpected);
}

QTEST_GUILESS_MAIN(TestLibBindingBound)
#include "tst_LibBindingBound.moc"
