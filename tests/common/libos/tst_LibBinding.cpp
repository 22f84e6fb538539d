// The closed-library bindings, one case per process (a binding loads once per process):
//   unbound  every forwarder writes its Qt line and returns its row's failure value; the
//            loaders refuse null paths, missing files, files that are no library and
//            over-long directories; the DMX wrappers log and fail.
//   bound    (the recording stand-ins) every forwarder hands its own arguments to its
//            entry and returns the entry's result, rows never looked up still fail;
//            loaders called again keep the binding; the module log goes to the library;
//            Public__Webservice_Common's timeout; the DMX wrappers gate on the
//            connection and own the reply.
//   partial  a library without one entry binds; that entry's forwarder alone fails.
// The forwarder rows come from the entry tables (ForwarderRows.inc); what an unbound one
// promises is written out here.
#include <QLibrary>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "BurnLibBinding.h"
#include "BurnTestRecorder.h"
#include "CommonFun.h"
#include "LogRecorder.h"

namespace
{
const char s_szLogSource[] = "tst_LibBinding";
QStringList s_qstrlistQtLines;  // Qt's log lines since the test function began

void KeepQtLine(QtMsgType, const QMessageLogContext&, const QString& _qstrLine)
{
    s_qstrlistQtLines << _qstrLine;
}

// Qt lines and the module log go to the lists, recorded calls are dropped.
void StartCapture()
{
    qInstallMessageHandler(KeepQtLine);
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

// What one call of a forwarder gave and should have given.
struct CallOutcome
{
    QString qstrResult;        // what the forwarder returned ("" for nothing)
    QString qstrEntryResult;   // what its stand-in entry returns ("" for nothing)
    QString qstrEntryCall;     // the call its stand-in entry records
};

// Calls the forwarder with a distinct value per position.
template <typename R, typename... A, std::size_t... I>
CallOutcome CallForwarder(R (*_pfn)(A...), const char* _szEntry, std::index_sequence<I...>)
{
    const auto tupArgs = std::make_tuple(BurnTestArg<A>(I)...);
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

// A printf-style forwarder (they return nothing): its fixed arguments, then a format
// whose text is long and holds a '%' of its own, which must reach the entry as text.
template <typename R, typename... A, std::size_t... I>
CallOutcome CallForwarderVa(R (*_pfn)(A..., ...), const char* _szEntry, std::index_sequence<I...>)
{
    const auto tupFixed = std::make_tuple(BurnTestArg<std::tuple_element_t<I, std::tuple<A...>>>(I)...);
    const std::string strText = "50%s done " + std::string(5000, 'L');
    std::apply([&](auto... _fixed) { _pfn(_fixed..., "%s %d", strText.c_str(), 42); }, tupFixed);
    const std::string strEntryText = strText + " 42";
    const std::tuple<const char*> tupText(strEntryText.c_str());
    CallOutcome stOutcome;
    stOutcome.qstrEntryCall = QString::fromStdString(BurnTestDescribeCall(_szEntry, std::tuple_cat(tupFixed, tupText)));
    return stOutcome;
}

template <typename R, typename... A>
std::index_sequence_for<A...> Positions(R (*)(A...))
{
    return {};
}

struct ForwarderRow
{
    const char* szName;
    bool blLookedUp;  // false: the binding never looks the entry up
    std::function<CallOutcome()> fnCall;
};

const std::vector<ForwarderRow>& Forwarders()
{
    static const std::vector<ForwarderRow> s_vecRows = [] {
        std::vector<ForwarderRow> vecRows;
#define BURN_TEST_FORWARDER(name, entry, looked) \
    vecRows.push_back({#name, looked, [] { return CallForwarder(&name, entry, Positions(&name)); }});
#define BURN_TEST_FORWARDER_VA(name, fmtIndex)                                                               \
    vecRows.push_back({#name, true, [] {                                                                     \
                           return CallForwarderVa(&name, #name, std::make_index_sequence<(fmtIndex) - 1>()); \
                       }});
#include "AllForwarderRows.inc"
#undef BURN_TEST_FORWARDER
#undef BURN_TEST_FORWARDER_VA
        return vecRows;
    }();
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

// Bound and looked up: the entry saw exactly the forwarder's arguments and its result
// came back. Otherwise: the row's line and failure value, and no call.
void CheckForwarder(int _iRow, bool _blBound)
{
    const ForwarderRow& stRow = Forwarders()[static_cast<std::size_t>(_iRow)];
    const CallOutcome stOutcome = stRow.fnCall();
    if (_blBound && stRow.blLookedUp) {
        QCOMPARE(Records(), QStringList{stOutcome.qstrEntryCall});
        QCOMPARE(stOutcome.qstrResult, stOutcome.qstrEntryResult);
        QCOMPARE(s_qstrlistQtLines, QStringList());
    } else {
        const bool blReturnsNothing = stOutcome.qstrEntryResult.isEmpty();
        QCOMPARE(Records(), QStringList());
        QCOMPARE(stOutcome.qstrResult, blReturnsNothing ? QString() : UnboundFailure(stRow.szName));
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
    QString qstrFile;         // appended to the directory by the init
    bool blDirEndsInSlash;    // callers pass "<dir>/"
    bool blPathLimited;       // the init composes the path in a 260-byte buffer
    QStringList qstrlistInitNull;  // module log of init(nullptr)
    QStringList qstrlistLoadNull;  // module log of load(nullptr)
    QStringList qstrlistFail;      // module log of a failed load: %ERR% the error, %PATH%, %DIR%
    QString qstrLoaded;            // module log of a load that finds the library bound
};

const std::vector<LoaderRow>& Loaders()
{
    static const std::vector<LoaderRow> s_vecLoaders = {
        {"libos_init", libos_init, load_libos_lib, "/win32_libos.dll", false, true,
         {"notesbus_load_lib:path == NULL"}, {"load_libos_lib:path == NULL\r\n"}, {"%ERR%"}, {}},
        {"mq_init", mq_init, mq_load_lib, "/win32_mq.dll", false, false,
         {"mq_load_lib:path == NULL\r\n", "!mq_init--(null)"}, {"mq_load_lib:path == NULL\r\n"},
         {"%ERR%", "!mq_init--%DIR%"}, {}},
        {"alivemsg_init_lib", alivemsg_init_lib, alivemsg_load_lib, "alivemsg.dll", true, true,
         {"alivemsg_load_lib:path == NULL"}, {"alivemsg_load_lib:path == NULL"},
         {"alivemsg_lib failed. err=%ERR% _path = %PATH%"}, {}},
        {"webservice_init_lib", webservice_init_lib, load_webservice_lib, "/win32_webservice_sdk.dll", false, true,
         {"webservice_init_lib:path == nullptr\r\n"}, {"load_webservice_lib:path == nullptr\r\n"}, {"%ERR%"}, {}},
        {"dmx_init", dmx_init, DMX_loadDll, "/BurnModuleFile/DMX/wp_nwc.dll", false, true, {"dmx_init _path == NULL"},
         {"LoadDMXAPI:path == nullptr"}, {"LoadDMXAPI error: %ERR%"}, "LoadDMXAPI is loaded "},
        {"PMY4200_init_lib", PMY4200_init_lib, PMY4200_load_lib, "/PMYBurnSvcSdk.dll", false, true,
         {"PMY4200_init_lib:path == nullptr\r\n"}, {"PMY4200_load_lib:path == nullptr\r\n"}, {"%ERR%"}, {}},
        {"burnsdkioctrl_init", burnsdkioctrl_init, burnsdkioctrl_load_lib, "BurnSdkIOCTL.dll", true, true,
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
    return _stRow.blDirEndsInSlash ? _qstrDir + '/' : _qstrDir;
}

QStringList FailLines(const LoaderRow& _stRow, const QString& _qstrDir, const QString& _qstrError)
{
    QStringList qstrlistLines = _stRow.qstrlistFail;
    qstrlistLines.replaceInStrings("%ERR%", _qstrError);
    qstrlistLines.replaceInStrings("%PATH%", _qstrDir + _stRow.qstrFile);
    return qstrlistLines.replaceInStrings("%DIR%", _qstrDir);
}

const char s_szMissingFile[] = "Cannot load library %PATH%: (No such file or directory)";

// ---- DMX wrappers -----------------------------------------------------------------

const QStringList s_qstrlistNotSent = {
    "DMX_sendMsgRet dy_send_msg_ret_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)",
    "DMX_sendMsgErrRet dy_send_msg_ret_err_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)"};

void OnChangeEvent(const char*, const char*, void*) {}
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
        const int iFitting = 259 - 1 - stRow.qstrFile.size() - (stRow.blDirEndsInSlash ? 1 : 0);
        const QString qstrFitting = Dir(stRow, '/' + QString(iFitting, 'd'));
        QCOMPARE(stRow.pfnInit(qstrFitting.toLatin1().constData()), 0);
        QCOMPARE(ModuleLogTexts(), FailLines(stRow, qstrFitting, s_szMissingFile));
        // One byte more is refused unlooked, except by the queue library's, which has no buffer.
        const QString qstrLong = Dir(stRow, '/' + QString(iFitting + 1, 'd'));
        QCOMPARE(stRow.pfnInit(qstrLong.toLatin1().constData()), 0);
        const QStringList qstrlistTooLong = {stRow.szInit + QStringLiteral(":path too long, dir=") + qstrLong};
        QCOMPARE(ModuleLogTexts(), stRow.blPathLimited ? qstrlistTooLong : FailLines(stRow, qstrLong, s_szMissingFile));

        // Failed loads leave the binding unloaded: the next call opens a file that is no library.
        QTemporaryDir qtmpDir;
        const QString qstrDir = Dir(stRow, qtmpDir.path());
        const QString qstrPath = qstrDir + stRow.qstrFile;
        QVERIFY(QDir().mkpath(QFileInfo(qstrPath).path()));
        QFile qfileText(qstrPath);
        QVERIFY(qfileText.open(QIODevice::WriteOnly));
        qfileText.write("not a library\n");
        qfileText.close();
        QCOMPARE(stRow.pfnInit(qstrDir.toLocal8Bit().constData()), 0);
        QLibrary qlib(qstrPath);
        QVERIFY(!qlib.load());
        QCOMPARE(ModuleLogTexts(), FailLines(stRow, qstrDir, qlib.errorString()));
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
        QCOMPARE(DMX_sendMsgRet(&iDevice, "get", "SysStatus", "", "", 10000, strReply), 33);
        QCOMPARE(DMX_sendMsgErrRet(&iDevice, "task", "AddTask", "", "{}", 600000, strReply, &iErrId), 33);
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
        QTest::newRow("60") << 60 << 60;
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

    void dmxSendsNothingToAnOfflineDevice()
    {
        void* pDevice = DMX_getDev("offline", 1882, 0);
        std::string strReply = "before";
        int iErrId = -5;
        QCOMPARE(DMX_sendMsgRet(pDevice, "get", "SysStatus", "", "", 10000, strReply), 33);
        QCOMPARE(DMX_sendMsgErrRet(pDevice, "task", "AddTask", "", "{}", 600000, strReply, &iErrId), 33);
        QCOMPARE(iErrId, -5);
        const QString qstrIsConn = "is_conn(" + Describe(pDevice) + ")";
        QCOMPARE(Records(), (QStringList{"get_dev(\"offline\", 1882, 0)", qstrIsConn, qstrIsConn}));
        QCOMPARE(ModuleLogTexts(), s_qstrlistNotSent);
    }

    void dmxSend_data()
    {
        QTest::addColumn<bool>("blErrId");
        QTest::addColumn<QString>("qstrBody");
        QTest::newRow("sendMsgRet") << false << "{}";
        QTest::newRow("sendMsgErrRet") << true << "{\"guid\":\"J1\"}";
        QTest::newRow("no reply") << false << "no-reply";
    }
    // Each send goes out under a fresh braced UUID (the caller's ID is not passed on); the
    // library's reply is copied out and handed back.
    void dmxSend()
    {
        QFETCH(bool, blErrId);
        QFETCH(QString, qstrBody);
        void* pDevice = DMX_getDev("10.1.2.3", 1882, 0);
        Records();
        const QByteArray qbaBody = qstrBody.toUtf8();
        const QRegularExpression qregId("\\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\}");
        QStringList qstrlistIds;
        for (int i = 0; i < 2; ++i) {
            std::string strReply = "stale";
            int iErrId = 0;
            const int iResult = blErrId ? DMX_sendMsgErrRet(pDevice, "task", "AddTask", "not passed on",
                                                            qbaBody.constData(), 600000, strReply, &iErrId)
                                        : DMX_sendMsgRet(pDevice, "task", "AddTask", "not passed on",
                                                         qbaBody.constData(), 600000, strReply);
            QCOMPARE(iResult, blErrId ? 9 : 7);
            QCOMPARE(iErrId, blErrId ? 112002 : 0);
            QStringList qstrlistRecords = Records();
            const QString qstrId = qregId.match(qstrlistRecords.value(1)).captured();
            QVERIFY2(!qstrId.isEmpty(), qPrintable(qstrlistRecords.join(" | ")));
            const QString qstrSend = QStringLiteral("%1(%2, \"task\", \"AddTask\", \"<id>\", \"%3\", 600000)")
                                         .arg(blErrId ? "send_msg_ret_err_new_ex" : "send_msg_ret_new_ex",
                                              Describe(pDevice), qstrBody);
            QCOMPARE(qstrlistRecords.replaceInStrings(qstrId, "<id>"),
                     (QStringList{"is_conn(" + Describe(pDevice) + ")", qstrSend, "free_str(the reply)"}));
            QCOMPARE(QString::fromStdString(strReply), qstrBody == "no-reply" ? QString() : "reply:" + qstrId);
            qstrlistIds << qstrId;
        }
        QVERIFY(qstrlistIds[0] != qstrlistIds[1]);
    }

    void dmxOtherWrappersPassThrough()
    {
        int iContext = 0;
        void* pDevice = DMX_getDev("10.1.2.3", 1883, 0);
        void* pSubscription = DMX_setChangeEventCall(pDevice, &OnChangeEvent, &iContext);
        QCOMPARE(pSubscription, BurnTestResult<void*>());
        QCOMPARE(DMX_destroyChangeEventCall(pDevice, pSubscription), BurnTestResult<int>());
        QCOMPARE(DMX_destroyDev(pDevice), BurnTestResult<int>());
        const QString qstrDevice = Describe(pDevice);
        const QStringList qstrlistExpected = {
            "get_dev(\"10.1.2.3\", 1883, 0)",
            QStringLiteral("set_change_event_call(%1, %2, %3)")
                .arg(qstrDevice, Describe(&OnChangeEvent), Describe(&iContext)),
            QStringLiteral("destroy_change_event_call(%1, %2)").arg(qstrDevice, Describe(pSubscription)),
            "destroy_dev(" + qstrDevice + ")"};
        QCOMPARE(Records(), qstrlistExpected);
    }
};

// The stand-in here is the recording libos without os_mutex_lock.
class TestPartial : public QObject
{
    Q_OBJECT

private slots:
    void missingEntryFailsAloneOthersWork()
    {
        StartCapture();
        QCOMPARE(libos_init(BURN_TEST_LIB_DIR "/partial"), 1);
        int iMutex = 0;
        QCOMPARE(os_mutex_lock(&iMutex), 0);
        QCOMPARE(os_mutex_unlock(&iMutex), BurnTestResult<int>());
        QCOMPARE(os_mutex_create(), BurnTestResult<void*>());
        QCOMPARE(s_qstrlistQtLines, QStringList{"os_mutex_lock == NULL\r\n"});
        QCOMPARE(Records(), (QStringList{"os_mutex_unlock(" + Describe(&iMutex) + ")", "os_mutex_create()"}));
    }
};

// tst_LibBinding [unbound|bound|partial] [Qt Test options]: one case per process.
int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    const bool blNamed = argc > 1 && QByteArrayList({"unbound", "bound", "partial"}).contains(argv[1]);
    const QByteArray qbaMode = blNamed ? argv[1] : "unbound";
    std::unique_ptr<QObject> pTest(new TestUnbound);
    if (qbaMode == "bound")
        pTest.reset(new TestBound);
    else if (qbaMode == "partial")
        pTest.reset(new TestPartial);
    if (blNamed) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    return QTest::qExec(pTest.get(), argc, argv);
}

#include "tst_LibBinding.moc"
