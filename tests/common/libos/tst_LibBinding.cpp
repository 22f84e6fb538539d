// The closed-library bindings, one case per process (a binding loads once per process):
//   unbound  every forwarder writes its Qt line and returns its failure value; the
//            loaders refuse null paths, missing files and over-long directories; the
//            DMX wrappers log and fail.
//   bound    (the recording stand-ins) every forwarder hands its own arguments to its
//            entry and returns the entry's result; rows never looked up, and the one
//            entry the libos stand-in lacks, still fail; loaders called again keep the
//            binding; the module log goes to the library; Public__Webservice_Common's
//            timeout; the DMX wrappers gate on the connection and own the reply.
// The forwarder rows come from the entry tables; what an unbound one promises is
// written out here.
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <type_traits>
#include <vector>

#include "BurnLibBinding.h"
#include "BurnTestRecorder.h"
#include "CommonFun.h"
#include "LogRecorder.h"

namespace
{
const char s_szLogSource[] = "tst_LibBinding";
QStringList s_qstrlistQtLines;  // Qt's log lines since the test function began

// Qt lines and the module log go to the lists, recorded calls are dropped.
void StartCapture()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& _qstrLine) {
        s_qstrlistQtLines << _qstrLine;
    });
    LogRecorder::install();
    s_qstrlistQtLines.clear();
    LogRecorder::clear();
    BurnTestTakeRecords();
}

QStringList Records()
{
    QStringList qstrlistRecords;
    for (const std::string& strRecord : BurnTestTakeRecords())
        qstrlistRecords << QString::fromStdString(strRecord);
    return qstrlistRecords;
}

// The module log's texts since the last call; lines of a level other than 3 (error) as "<level>|<source>|<text>".
QStringList ModuleLogTexts()
{
    QStringList qstrlistTexts;
    for (const QString& qstrLine : LogRecorder::lines())
        qstrlistTexts << (qstrLine.startsWith(QLatin1String("3|")) ? qstrLine.section('|', 2) : qstrLine);
    LogRecorder::clear();
    return qstrlistTexts;
}

// A value as the records show it; a null pointer as "0".
template <typename R>
QString Describe(R _value)
{
    if constexpr (std::is_pointer_v<R>)
        return _value ? QString::fromStdString(BurnTestDescribe(reinterpret_cast<const void*>(_value))) : "0";
    else
        return QString::fromStdString(BurnTestDescribe(_value));
}

// ---- Forwarders -------------------------------------------------------------------

struct CallOutcome
{
    QString qstrResult;       // what the forwarder returned (null for nothing)
    QString qstrEntryResult;  // what its stand-in entry returns
    QString qstrEntryCall;    // the call its stand-in entry records
};

template <typename... A, std::size_t... I>
std::tuple<A...> ArgsByPosition(std::index_sequence<I...>)
{
    return {BurnTestArg<A>(I)...};
}

// Calls the forwarder with a distinct value per position.
template <typename R, typename... A>
CallOutcome CallForwarder(R (*_pfn)(A...), const char* _szEntry)
{
    const std::tuple<A...> tupArgs = ArgsByPosition<A...>(std::index_sequence_for<A...>());
    CallOutcome stOutcome;
    stOutcome.qstrEntryCall = QString::fromStdString(BurnTestDescribeCall(_szEntry, tupArgs));
    if constexpr (std::is_void_v<R>) {
        std::apply(_pfn, tupArgs);
    } else {
        stOutcome.qstrResult = Describe(std::apply(_pfn, tupArgs));
        stOutcome.qstrEntryResult = Describe(BurnTestResult<R>());
    }
    return stOutcome;
}

// The printf-style forwarders take a level and a format. A long text that holds a '%'
// of its own must reach the entry as text.
CallOutcome CallForwarderVa(void (*_pfn)(int, const char*, ...), const char* _szEntry)
{
    const std::string strText = "50%s done " + std::string(5000, 'L');
    _pfn(BurnTestArg<int>(0), "%s %d", strText.c_str(), 42);
    const auto tupEntryArgs = std::make_tuple(BurnTestArg<int>(0), strText + " 42");
    return {QString(), QString(), QString::fromStdString(BurnTestDescribeCall(_szEntry, tupEntryArgs))};
}

struct ForwarderRow
{
    const char* szName;
    bool blLookedUp;  // false: the binding never looks the entry up
    CallOutcome (*pfnCall)();
};

const std::vector<ForwarderRow>& Forwarders()
{
#define BURN_TEST_FORWARDER(name, entry, looked) {#name, looked, [] { return CallForwarder(&name, entry); }},
#define BURN_TEST_FORWARDER_VA(name) {#name, true, [] { return CallForwarderVa(&name, #name); }},
    static const std::vector<ForwarderRow> s_vecRows = {
#define BURN_API_TABLE "LibOsApiTable.h"
#include "ForwarderRows.inc"
#define BURN_API_TABLE "MqApiTable.h"
#include "ForwarderRows.inc"
#define BURN_API_TABLE "AliveMsgApiTable.h"
#include "ForwarderRows.inc"
#define BURN_API_TABLE "WebServiceApiTable.h"
#include "ForwarderRows.inc"
#define BURN_API_TABLE "Pp100ApiTable.h"
#include "ForwarderRows.inc"
#define BURN_API_TABLE "PmyBsApiTable.h"
#include "ForwarderRows.inc"
#define BURN_API_TABLE "IoCtrlApiTable.h"
#include "ForwarderRows.inc"
    };
#undef BURN_TEST_FORWARDER
#undef BURN_TEST_FORWARDER_VA
    return s_vecRows;
}

void AddForwarderRows()
{
    QTest::addColumn<int>("iRow");
    for (std::size_t i = 0; i < Forwarders().size(); ++i)
        QTest::newRow(Forwarders()[i].szName) << static_cast<int>(i);
}

// What the module's interface promises for an unbound forwarder, written out here, not
// read from the tables: its Qt line, and its failure value (-1 for the names below, true
// for PMYBS_CheckSvcIsOnline, otherwise 0).
QString UnboundLine(const QString& _qstrName)
{
    const auto matches = [&_qstrName](const char* _szPattern) {
        return QRegularExpression(QRegularExpression::anchoredPattern(_szPattern)).match(_qstrName).hasMatch();
    };
    if (_qstrName == QLatin1String("webservice_sdk_download_urlfile_ex3"))
        return "dy_" + _qstrName + "== nullptr\r\n";
    if (_qstrName == QLatin1String("IOSetStatus"))
        return "dy_IOCtrl" + _qstrName + " == nullptr\r\n";
    if (_qstrName.startsWith(QLatin1String("PP100_")))
        return "g_p" + _qstrName + " == nullptr";
    if (matches("(webservice_|PMYBS_|IOCtr).*"))
        return "dy_" + _qstrName + " == nullptr\r\n";
    if (matches("(mq_|alivemsg_|log_buf_).*|log_start|log_manage_startup"))
        return "dy_" + _qstrName + " == NULL\r\n";
    return _qstrName + " == NULL\r\n";
}

QString UnboundFailure(const QString& _qstrName)
{
    static const QRegularExpression s_qregMinusOne(QRegularExpression::anchoredPattern(
        "os_\\w+_(get_status|send)|os_(tcp|udp)_client_read|ringbuf_(clear|copy|read|remove|write)|os_thread_self"
        "|os_code_convert|getcustomfunction|mq_(create_mq|producer_create|consumer_create)|alivemsg_(?!create$)\\w+"
        "|PP100_\\w+|IOCtr\\w+|PMYBS_(?!GetErrorString$|CheckSvcIsOnline$)\\w+"
        "|webservice_sdk_(submit\\w*|getpos_\\w+|\\w+_asyn\\w*|(download|upload)_urlfile_ex)"));
    if (_qstrName == QLatin1String("PMYBS_CheckSvcIsOnline"))
        return "true";
    return s_qregMinusOne.match(_qstrName).hasMatch() ? "-1" : "0";
}

// Bound and found: the entry saw exactly the forwarder's arguments and its result came
// back. Otherwise: the row's line and failure value, and no call.
void CheckForwarder(int _iRow, bool _blBound)
{
    const ForwarderRow& stRow = Forwarders()[static_cast<std::size_t>(_iRow)];
    const CallOutcome stOutcome = stRow.pfnCall();
    const bool blMissing = qstrcmp(stRow.szName, "os_mutex_lock") == 0;  // not in the libos stand-in
    if (_blBound && stRow.blLookedUp && !blMissing) {
        QCOMPARE(Records(), QStringList{stOutcome.qstrEntryCall});
        QCOMPARE(stOutcome.qstrResult, stOutcome.qstrEntryResult);
        QCOMPARE(s_qstrlistQtLines, QStringList());
    } else {
        QCOMPARE(Records(), QStringList());
        if (!stOutcome.qstrEntryResult.isNull())  // it returns a value
            QCOMPARE(stOutcome.qstrResult, UnboundFailure(stRow.szName));
        QCOMPARE(s_qstrlistQtLines, QStringList{UnboundLine(stRow.szName)});
    }
    QCOMPARE(ModuleLogTexts(), QStringList());
}

// ---- Loaders ----------------------------------------------------------------------

struct LoaderRow
{
    const char* szInit;  // the init's name, also the row's
    int (*pfnInit)(const char*);
    int (*pfnLoad)(const char*);
    QString qstrFile;              // appended to the directory by the init; without a
                                   // leading '/', callers pass "<dir>/"
    QStringList qstrlistInitNull;  // module log of init(nullptr)
    QStringList qstrlistLoadNull;  // module log of load(nullptr)
    QStringList qstrlistFail;      // module log of a failed load: %ERR% the error, %PATH%, %DIR%
    QString qstrLoaded;            // module log of a load that finds the library bound
};

const std::vector<LoaderRow>& Loaders()
{
    static const std::vector<LoaderRow> s_vecLoaders = {
        {"libos_init", libos_init, load_libos_lib, "/win32_libos.dll", {"notesbus_load_lib:path == NULL"},
         {"load_libos_lib:path == NULL\r\n"}, {"%ERR%"}, {}},
        {"mq_init", mq_init, mq_load_lib, "/win32_mq.dll", {"mq_load_lib:path == NULL\r\n", "!mq_init--(null)"},
         {"mq_load_lib:path == NULL\r\n"}, {"%ERR%", "!mq_init--%DIR%"}, {}},
        {"alivemsg_init_lib", alivemsg_init_lib, alivemsg_load_lib, "alivemsg.dll", {"alivemsg_load_lib:path == NULL"},
         {"alivemsg_load_lib:path == NULL"}, {"alivemsg_lib failed. err=%ERR% _path = %PATH%"}, {}},
        {"webservice_init_lib", webservice_init_lib, load_webservice_lib, "/win32_webservice_sdk.dll",
         {"webservice_init_lib:path == nullptr\r\n"}, {"load_webservice_lib:path == nullptr\r\n"}, {"%ERR%"}, {}},
        {"dmx_init", dmx_init, DMX_loadDll, "/BurnModuleFile/DMX/wp_nwc.dll", {"dmx_init _path == NULL"},
         {"LoadDMXAPI:path == nullptr"}, {"LoadDMXAPI error: %ERR%"}, "LoadDMXAPI is loaded "},
        {"PMY4200_init_lib", PMY4200_init_lib, PMY4200_load_lib, "/PMYBurnSvcSdk.dll",
         {"PMY4200_init_lib:path == nullptr\r\n"}, {"PMY4200_load_lib:path == nullptr\r\n"}, {"%ERR%"}, {}},
        {"burnsdkioctrl_init", burnsdkioctrl_init, burnsdkioctrl_load_lib, "BurnSdkIOCTL.dll",
         {"burnsdkioctrl_init:path == NULL"}, {}, {"%ERR%"}, {}},
    };
    return s_vecLoaders;
}

void AddLoaderRows()
{
    QTest::addColumn<int>("iLoader");
    for (std::size_t i = 0; i < Loaders().size(); ++i)
        QTest::newRow(Loaders()[i].szInit) << static_cast<int>(i);
}

// The directory as the loader's callers write it.
QString Dir(const LoaderRow& _stRow, const QString& _qstrDir)
{
    return _stRow.qstrFile.startsWith('/') ? _qstrDir : _qstrDir + '/';
}

// The module log of a load that finds no file in the directory.
QStringList MissingFileLines(const LoaderRow& _stRow, const QString& _qstrDir)
{
    QStringList qstrlistLines = _stRow.qstrlistFail;
    qstrlistLines.replaceInStrings("%ERR%", "Cannot load library %PATH%: (No such file or directory)");
    qstrlistLines.replaceInStrings("%PATH%", _qstrDir + _stRow.qstrFile);
    return qstrlistLines.replaceInStrings("%DIR%", _qstrDir);
}

// ---- DMX wrappers -----------------------------------------------------------------

const QStringList s_qstrlistNotSent = {
    "DMX_sendMsgRet dy_send_msg_ret_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)",
    "DMX_sendMsgErrRet dy_send_msg_ret_err_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)"};

void OnChangeEvent(const char*, const char*, void*) {}

// Both sends to the device; the reply and the error ID as they were left.
int SendBoth(void* _pDevice, const char* _szBody, std::string& _strReply, int& _iErrId)
{
    const int iResult = DMX_sendMsgRet(_pDevice, "get", "SysStatus", "", _szBody, 10000, _strReply);
    return iResult + DMX_sendMsgErrRet(_pDevice, "task", "AddTask", "", _szBody, 600000, _strReply, &_iErrId);
}
}  // namespace

class TestUnbound : public QObject
{
    Q_OBJECT

private slots:
    void init() { StartCapture(); }

    void forwarder_data() { AddForwarderRows(); }
    void forwarder()
    {
        QFETCH(int, iRow);
        CheckForwarder(iRow, false);
    }

    void loaderRefuses_data() { AddLoaderRows(); }
    void loaderRefuses()
    {
        QFETCH(int, iLoader);
        const LoaderRow& stRow = Loaders()[static_cast<std::size_t>(iLoader)];
        QCOMPARE(stRow.pfnInit(nullptr), 0);
        QCOMPARE(ModuleLogTexts(), stRow.qstrlistInitNull);
        QCOMPARE(stRow.pfnLoad(nullptr), 0);
        QCOMPARE(ModuleLogTexts(), stRow.qstrlistLoadNull);

        // The longest path that fits the buffer (259 bytes and the terminator) is looked for.
        const int iDirBytes = 259 - stRow.qstrFile.size() - Dir(stRow, "").size();
        const QString qstrFitting = Dir(stRow, '/' + QString(iDirBytes - 1, 'd'));
        QCOMPARE(stRow.pfnInit(qstrFitting.toLatin1().constData()), 0);
        QCOMPARE(ModuleLogTexts(), MissingFileLines(stRow, qstrFitting));
        // One byte more is refused unlooked, except by the queue library's, which has no buffer.
        const QString qstrLong = Dir(stRow, '/' + QString(iDirBytes, 'd'));
        QCOMPARE(stRow.pfnInit(qstrLong.toLatin1().constData()), 0);
        const QStringList qstrlistTooLong = {stRow.szInit + QStringLiteral(":path too long, dir=") + qstrLong};
        QCOMPARE(ModuleLogTexts(),
                 stRow.pfnInit == mq_init ? MissingFileLines(stRow, qstrLong) : qstrlistTooLong);

        QCOMPARE(s_qstrlistQtLines, QStringList());
    }

    void dmxWrappersLogAndFail()
    {
        int iDevice = 0;
        std::string strReply = "untouched";
        int iErrId = -5;
        QCOMPARE(DMX_getDev("127.0.0.1", 1882, 0), nullptr);
        QCOMPARE(DMX_isConn(&iDevice), false);
        QCOMPARE(DMX_destroyDev(&iDevice), 0);
        QCOMPARE(DMX_setChangeEventCall(&iDevice, &OnChangeEvent, this), nullptr);
        QCOMPARE(DMX_destroyChangeEventCall(&iDevice, &iDevice), 0);
        QCOMPARE(SendBoth(&iDevice, "{}", strReply, iErrId), 2 * 33);
        QCOMPARE(iErrId, -5);
        QCOMPARE(strReply, std::string("untouched"));
        const QStringList qstrlistExpected = QStringList{
            "DMX_getDev dy_get_dev == nullptr", "DMX_isConn dy_is_conn == nullptr",
            "DMX_destroyDev dy_destroy_dev == nullptr",
            "DMX_setChangeEventCall dy_set_change_event_call == nullptr",
            "DMX_destroyChangeEventCall dy_destroy_change_event_call == nullptr"} + s_qstrlistNotSent;
        QCOMPARE(ModuleLogTexts(), qstrlistExpected);
        QCOMPARE(s_qstrlistQtLines, QStringList());
    }
};

class TestBound : public QObject
{
    Q_OBJECT

    PFN_LogDebugEx m_pfnLibraryLog = nullptr;

private slots:
    void initTestCase()
    {
        StartCapture();
        for (const LoaderRow& stRow : Loaders())
            QVERIFY2(stRow.pfnInit(Dir(stRow, BURN_TEST_LIB_DIR "/recording").toLocal8Bit().constData()), stRow.szInit);
        QCOMPARE(s_qstrlistQtLines, QStringList());
        QCOMPARE(Records(), QStringList());  // binding calls nothing in the libraries
        m_pfnLibraryLog = g_pfnModuleLogDebugEx.load();  // the libos binding pointed the module log there
        QVERIFY(m_pfnLibraryLog && g_pfnModuleLogMsg.load() && g_pfnModuleLogDebugPuts.load());
    }
    void init() { StartCapture(); }

    // Runs before the forwarders, which then show the entries are still the same.
    void loaderKeepsTheBinding_data() { AddLoaderRows(); }
    void loaderKeepsTheBinding()
    {
        QFETCH(int, iLoader);
        const LoaderRow& stRow = Loaders()[static_cast<std::size_t>(iLoader)];
        QCOMPARE(stRow.pfnInit("/nonexistent/burnmodule/"), 1);
        QCOMPARE(stRow.pfnLoad(nullptr), 1);
        const QStringList qstrlistLoaded = {stRow.qstrLoaded, stRow.qstrLoaded};
        QCOMPARE(ModuleLogTexts(), stRow.qstrLoaded.isEmpty() ? QStringList() : qstrlistLoaded);
        QCOMPARE(s_qstrlistQtLines, QStringList());
        QCOMPARE(Records(), QStringList());
    }

    void forwarder_data() { AddForwarderRows(); }
    void forwarder()
    {
        QFETCH(int, iRow);
        CheckForwarder(iRow, true);
    }

    void moduleLogGoesToTheLibrary()
    {
        g_pfnModuleLogDebugEx.store(m_pfnLibraryLog);
        const int iLine = __LINE__ + 1;
        BURN_LOG(n_BurnLogLevel_Info, "n=%d s=%s", 7, "x");
        g_pfnModuleLogMsg.load()(3, "a%d", 1);
        g_pfnModuleLogDebugPuts.load()(2, "CLS_Puts", 9, "plain %d");
        const QStringList qstrlistExpected = {
            QStringLiteral("log_debug_ex(4, \"tst_LibBinding\", %1, \"n=7 s=x\")").arg(iLine), "log_msg(3, \"a1\")",
            "log_debug_puts(2, \"CLS_Puts\", 9, \"plain %d\")"};
        QCOMPARE(Records(), qstrlistExpected);
    }

    void webserviceCommonRaisesTheTimeout_data()
    {
        QTest::addColumn<int>("iGiven");
        QTest::addColumn<int>("iPassed");
        QTest::newRow("0") << 0 << 60;
        QTest::newRow("90") << 90 << 90;
    }
    // Public__Webservice_Common (source/Common) hands the library the URL, the body, the
    // POST flag and a timeout of at least 60 s.
    void webserviceCommonRaisesTheTimeout()
    {
        QFETCH(int, iGiven);
        QFETCH(int, iPassed);
        Public__Webservice_Common("10.0.0.1", 8080, "/x", "{}", iGiven);
        const QString qstrCall = Records().value(0);
        const QString qstrExpected =
            QStringLiteral("webservice_sdk_submit(\"http://10.0.0.1:8080/x\", %1, \"{}\", 1, @").arg(iPassed);
        QVERIFY2(qstrCall.startsWith(qstrExpected), qPrintable(qstrCall));
    }

    // The stand-in's is_conn says no for a null device.
    void dmxSendsNothingToAnOfflineDevice()
    {
        std::string strReply = "before";
        int iErrId = -5;
        QCOMPARE(SendBoth(nullptr, "{}", strReply, iErrId), 2 * 33);
        QCOMPARE(iErrId, -5);
        QCOMPARE(strReply, std::string("before"));
        QCOMPARE(Records(), (QStringList{"is_conn(@0)", "is_conn(@0)"}));
        QCOMPARE(ModuleLogTexts(), s_qstrlistNotSent);
    }

    void dmxSend_data()
    {
        QTest::addColumn<QString>("qstrBody");
        QTest::newRow("reply") << "{\"guid\":\"J1\"}";
        QTest::newRow("no reply") << "no-reply";
    }
    // Each send goes out under a fresh braced UUID (the caller's ID is not passed on); the
    // library's reply is copied out and handed back.
    void dmxSend()
    {
        QFETCH(QString, qstrBody);
        const QByteArray qbaBody = qstrBody.toUtf8();
        void* pDevice = DMX_getDev("10.1.2.3", 1882, 0);
        std::string strReply = "stale";
        std::string strErrReply = "stale";
        int iErrId = 0;
        const char* szBody = qbaBody.constData();
        QCOMPARE(DMX_sendMsgRet(pDevice, "get", "SysStatus", "mine", szBody, 10000, strReply), 7);
        QCOMPARE(DMX_sendMsgErrRet(pDevice, "task", "AddTask", "mine", szBody, 600000, strErrReply, &iErrId), 9);
        QCOMPARE(iErrId, 112002);
        const QString qstrRecords = Records().join('\n');
        QStringList qstrlistIds;
        QRegularExpressionMatchIterator itId =
            QRegularExpression("\\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\}").globalMatch(qstrRecords);
        while (itId.hasNext())
            qstrlistIds << itId.next().captured();
        QVERIFY2(qstrlistIds.size() == 2 && qstrlistIds[0] != qstrlistIds[1], qPrintable(qstrRecords));
        const QString qstrExpected = QStringLiteral(
            "get_dev(\"10.1.2.3\", 1882, 0)\nis_conn(%1)\n"
            "send_msg_ret_new_ex(%1, \"get\", \"SysStatus\", \"%2\", \"%4\", 10000)\nfree_str(the reply)\nis_conn(%1)\n"
            "send_msg_ret_err_new_ex(%1, \"task\", \"AddTask\", \"%3\", \"%4\", 600000)\nfree_str(the reply)");
        QCOMPARE(qstrRecords, qstrExpected.arg(Describe(pDevice), qstrlistIds[0], qstrlistIds[1], qstrBody));
        const bool blReply = qstrBody != "no-reply";
        QCOMPARE(QString::fromStdString(strReply), blReply ? "reply:" + qstrlistIds[0] : QString());
        QCOMPARE(QString::fromStdString(strErrReply), blReply ? "reply:" + qstrlistIds[1] : QString());
    }
};

// tst_LibBinding [unbound|bound] [Qt Test options]: one case per process.
int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    QStringList qstrlistArgs = qapp.arguments();
    const bool blNamed = qstrlistArgs.size() > 1 && !qstrlistArgs[1].startsWith('-');
    const QString qstrMode = blNamed ? qstrlistArgs.takeAt(1) : QStringLiteral("unbound");
    std::unique_ptr<QObject> pTest(new TestUnbound);
    if (qstrMode == QLatin1String("bound"))
        pTest.reset(new TestBound);
    return QTest::qExec(pTest.get(), qstrlistArgs);
}

#include "tst_LibBinding.moc"
