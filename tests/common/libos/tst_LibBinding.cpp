// The closed-library bindings, one case per process (a binding loads once per process);
// in both, the module exports exactly the forwarders and its own entries.
//   unbound  every forwarder writes its Qt line and returns its failure value; the loaders
//            refuse null paths and over-long directories and name missing files; the DMX
//            wrappers log and fail.
//   bound    (the recording stand-ins) the loaders point the module log at the library and,
//            called again, keep the binding; every forwarder hands its arguments to its entry
//            and returns the entry's result, except rows never looked up and the entry the
//            libos stand-in lacks; Public__Webservice_Common's timeout; the DMX sends.
#include <QtTest>

#include "BurnLibBinding.h"
#include "BurnTestRecorder.h"
#include "CommonFun.h"
#include "LogRecorder.h"

// A forwarder row's check, told whether the library is bound with the row's entry.
using PFN_CheckForwarder = void (*)(bool _blBound);
Q_DECLARE_METATYPE(PFN_CheckForwarder)

namespace
{
QStringList s_qstrlistQtLines;  // Qt's log lines since the test function began
QStringList s_qstrlistRecords;  // the stand-ins' calls since the last Records()

QStringList Records()
{
    return std::exchange(s_qstrlistRecords, {});
}

// The module log since the last call; an error line (level 3) as its text alone.
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

// What the module's interface promises for an unbound forwarder, written out here, not
// read from the tables: the Qt line of the first pattern its name matches, and its
// failure value (-1 for the names below, true for PMYBS_CheckSvcIsOnline, otherwise 0).
QString UnboundLine(const QString& _qstrName)
{
    static const std::vector<std::pair<const char*, const char*>> s_vecLines = {
        {"webservice_sdk_download_urlfile_ex3", "dy_%1== nullptr\r\n"},
        {"IOSetStatus", "dy_IOCtrl%1 == nullptr\r\n"},
        {"PP100_.*", "g_p%1 == nullptr"},
        {"(webservice_|PMYBS_|IOCtr).*", "dy_%1 == nullptr\r\n"},
        {"(mq_|alivemsg_|log_buf_).*|log_start|log_manage_startup", "dy_%1 == NULL\r\n"},
        {".*", "%1 == NULL\r\n"}};
    for (const auto& [szPattern, szLine] : s_vecLines) {
        if (QRegularExpression(QRegularExpression::anchoredPattern(szPattern)).match(_qstrName).hasMatch())
            return QString(szLine).arg(_qstrName);
    }
    return QString();
}

QString UnboundFailure(const QString& _qstrName)
{
    static const QRegularExpression s_qregMinusOne(QRegularExpression::anchoredPattern(
        "os_\\w+_(get_status|send)|os_(tcp|udp)_client_read|ringbuf_(clear|copy|read|remove|write)"
        "|os_thread_self|os_code_convert|getcustomfunction|mq_(create_mq|producer_create|consumer_create)"
        "|alivemsg_(?!create$)\\w+|PP100_\\w+|IOCtr\\w+|PMYBS_(?!GetErrorString$|CheckSvcIsOnline$)\\w+"
        "|webservice_sdk_(submit\\w*|getpos_\\w+|\\w+_asyn\\w*|(download|upload)_urlfile_ex)"));
    if (_qstrName == QLatin1String("PMYBS_CheckSvcIsOnline"))
        return "true";
    return s_qregMinusOne.match(_qstrName).hasMatch() ? "-1" : "0";
}

// Called: the entry recorded exactly this call and no Qt line was written. Otherwise: no
// call, and the forwarder's Qt line.
void CheckCall(bool _blCalled, const char* _szName, const std::string& _strCall)
{
    QCOMPARE(Records(), _blCalled ? QStringList{QString::fromStdString(_strCall)} : QStringList());
    QCOMPARE(s_qstrlistQtLines, _blCalled ? QStringList() : QStringList{UnboundLine(_szName)});
}

template <typename... A, std::size_t... I>
std::tuple<A...> ArgsByPosition(std::index_sequence<I...>)
{
    return {BurnTestArg<A>(I)...};
}

// Calls the forwarder with a distinct value per position: called, the entry gets exactly
// these and its result comes back; otherwise the forwarder returns its failure value.
template <typename R, typename... A>
void CheckForwarder(R (*_pfn)(A...), const char* _szName, const char* _szEntry, bool _blCalled)
{
    const std::tuple<A...> tupArgs = ArgsByPosition<A...>(std::index_sequence_for<A...>());
    if constexpr (std::is_void_v<R>) {
        std::apply(_pfn, tupArgs);
    } else {
        const QString qstrResult = Describe(std::apply(_pfn, tupArgs));
        QCOMPARE(qstrResult, _blCalled ? Describe(BurnTestResult<R>()) : UnboundFailure(_szName));
    }
    CheckCall(_blCalled, _szName, BurnTestDescribeCall(_szEntry, tupArgs));
}

// The printf-style forwarders take a level and a format; the entry gets the formatted
// text, also a long one that holds a '%' of its own.
void CheckForwarderVa(void (*_pfn)(int, const char*, ...), const char* _szName, bool _blCalled)
{
    const std::string strText = "50%s done " + std::string(5000, 'L');
    _pfn(BurnTestArg<int>(0), "%s %d", strText.c_str(), 42);
    const auto tupEntryArgs = std::make_tuple(BurnTestArg<int>(0), strText + " 42");
    CheckCall(_blCalled, _szName, BurnTestDescribeCall(_szName, tupEntryArgs));
}

// Every re-exported forwarder of the entry tables, with its check.
std::vector<std::pair<const char*, PFN_CheckForwarder>> Forwarders()
{
#define BURN_TEST_FORWARDER(name, entry, looked) \
    {#name, [](bool _blBound) { CheckForwarder(&name, #name, entry, _blBound && looked); }},
#define BURN_TEST_FORWARDER_VA(name) {#name, [](bool _blBound) { CheckForwarderVa(&name, #name, _blBound); }},
    return {
#include "AllForwarderRows.inc"
    };
#undef BURN_TEST_FORWARDER
#undef BURN_TEST_FORWARDER_VA
}

struct LoaderRow
{
    const char* szInit;  // the init's name, also the row's
    int (*pfnInit)(const char*);
    int (*pfnLoad)(const char*);
    QString qstrFile;              // appended by the init; without a leading '/', callers pass "<dir>/"
    QStringList qstrlistInitNull;  // module log of init(nullptr)
    QStringList qstrlistLoadNull;  // module log of load(nullptr)
    QStringList qstrlistFail;      // module log of a failed load: %ERR% the error, %PATH%, %DIR%
};

const std::vector<LoaderRow> s_vecLoaders = {
    {"libos_init", libos_init, load_libos_lib, "/win32_libos.dll", {"notesbus_load_lib:path == NULL"},
     {"load_libos_lib:path == NULL\r\n"}, {"%ERR%"}},
    {"mq_init", mq_init, mq_load_lib, "/win32_mq.dll", {"mq_load_lib:path == NULL\r\n", "!mq_init--(null)"},
     {"mq_load_lib:path == NULL\r\n"}, {"%ERR%", "!mq_init--%DIR%"}},
    {"alivemsg_init_lib", alivemsg_init_lib, alivemsg_load_lib, "alivemsg.dll",
     {"alivemsg_load_lib:path == NULL"}, {"alivemsg_load_lib:path == NULL"},
     {"alivemsg_lib failed. err=%ERR% _path = %PATH%"}},
    {"webservice_init_lib", webservice_init_lib, load_webservice_lib, "/win32_webservice_sdk.dll",
     {"webservice_init_lib:path == nullptr\r\n"}, {"load_webservice_lib:path == nullptr\r\n"}, {"%ERR%"}},
    {"dmx_init", dmx_init, DMX_loadDll, "/BurnModuleFile/DMX/wp_nwc.dll", {"dmx_init _path == NULL"},
     {"LoadDMXAPI:path == nullptr"}, {"LoadDMXAPI error: %ERR%"}},
    {"PMY4200_init_lib", PMY4200_init_lib, PMY4200_load_lib, "/PMYBurnSvcSdk.dll",
     {"PMY4200_init_lib:path == nullptr\r\n"}, {"PMY4200_load_lib:path == nullptr\r\n"}, {"%ERR%"}},
    {"burnsdkioctrl_init", burnsdkioctrl_init, burnsdkioctrl_load_lib, "BurnSdkIOCTL.dll",
     {"burnsdkioctrl_init:path == NULL"}, {}, {"%ERR%"}},
};

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
}  // namespace

// Where the stand-ins record their calls (this program exports it to them).
void BurnTestRecord(const std::string& _strCall)
{
    s_qstrlistRecords << QString::fromStdString(_strCall);
}

class TestLibBinding : public QObject
{
    Q_OBJECT

public:
    explicit TestLibBinding(bool _blBound) : m_blBound(_blBound) {}

private:
    const bool m_blBound;

private slots:
    void initTestCase()
    {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& _qstrLine) {
            s_qstrlistQtLines << _qstrLine;
        });
        if (!m_blBound)
            return;
        for (const LoaderRow& stRow : s_vecLoaders) {
            const QString qstrDir = Dir(stRow, BURN_TEST_LIB_DIR "/recording");
            QVERIFY2(stRow.pfnInit(qstrDir.toLocal8Bit().constData()), stRow.szInit);
        }
        QCOMPARE(s_qstrlistQtLines, QStringList());
        QCOMPARE(Records(), QStringList());  // binding calls nothing in the libraries
        // The libos binding points the module log at the library (tst_libos follows the lines).
        QVERIFY(g_pfnModuleLogDebugEx.load() && g_pfnModuleLogMsg.load() && g_pfnModuleLogDebugPuts.load());
        // Called again, the loaders keep the binding without looking at the path.
        LogRecorder::install();
        for (const LoaderRow& stRow : s_vecLoaders)
            QVERIFY2(stRow.pfnInit("/nonexistent/burnmodule/") && stRow.pfnLoad(nullptr), stRow.szInit);
        QCOMPARE(ModuleLogTexts(), (QStringList{"LoadDMXAPI is loaded ", "LoadDMXAPI is loaded "}));
        QCOMPARE(Records(), QStringList());
    }

    void init()
    {
        LogRecorder::install();
        LogRecorder::clear();
        s_qstrlistQtLines.clear();
        s_qstrlistRecords.clear();
    }

    void forwarder_data()
    {
        QTest::addColumn<PFN_CheckForwarder>("pfnCheck");
        for (const auto& [szName, pfnCheck] : Forwarders())
            QTest::newRow(szName) << pfnCheck;
    }
    void forwarder()
    {
        QFETCH(PFN_CheckForwarder, pfnCheck);
        // The recording libos lacks os_mutex_lock: a library without one entry still binds.
        pfnCheck(m_blBound && qstrcmp(QTest::currentDataTag(), "os_mutex_lock") != 0);
        QCOMPARE(ModuleLogTexts(), QStringList());
    }

    // The module's dynamic symbol table defines its own entries and the re-exported
    // forwarders, and nothing else: no forwarder dropped by the linker, no name leaked.
    void moduleExports()
    {
        QStringList qstrlistExpected = {"CreateModule", "DeleteModule", "Init", "Release",
                                        "alivemsg_init_lib", "alivemsg_load_lib"};
        for (const auto& stRow : Forwarders())
            qstrlistExpected << stRow.first;
        QProcess qprocNm;
        qprocNm.start(BURN_TEST_NM, {"-D", "--defined-only", BURN_TEST_MODULE});
        QVERIFY(qprocNm.waitForFinished() && qprocNm.exitCode() == 0);
        QStringList qstrlistExported;  // the last field of each line, without a version
        const QString qstrNm = QString::fromLocal8Bit(qprocNm.readAllStandardOutput());
        for (const QString& qstrLine : qstrNm.split('\n', Qt::SkipEmptyParts))
            qstrlistExported << qstrLine.section(' ', -1).section('@', 0, 0);
        qstrlistExported.sort();
        qstrlistExpected.sort();
        QCOMPARE(qstrlistExported, qstrlistExpected);
    }

    void loaderRefuses_data()
    {
        QTest::addColumn<int>("iLoader");
        for (std::size_t i = 0; i < s_vecLoaders.size(); ++i)
            QTest::newRow(s_vecLoaders[i].szInit) << static_cast<int>(i);
    }
    void loaderRefuses()
    {
        if (m_blBound)
            QSKIP("unbound only");
        QFETCH(int, iLoader);
        const LoaderRow& stRow = s_vecLoaders[static_cast<std::size_t>(iLoader)];
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
        const QString qstrTooLong = stRow.szInit + QStringLiteral(":path too long, dir=") + qstrLong;
        const bool blLooked = stRow.pfnInit == mq_init;
        QCOMPARE(ModuleLogTexts(), blLooked ? MissingFileLines(stRow, qstrLong) : QStringList{qstrTooLong});
        QCOMPARE(s_qstrlistQtLines, QStringList());
    }

    // Unbound, every wrapper logs and fails. Bound, the stand-in's is_conn says no for a
    // null device and nothing is sent to it; to a device each send goes out under a fresh
    // braced UUID (the caller's ID is not passed on), and the library's reply is copied
    // out, or cleared when there is none, and handed back.
    void dmx()
    {
        int iDevice = 0;
        void* pDevice = m_blBound ? nullptr : &iDevice;
        std::string strReply = "untouched";
        int iErrId = -5;
        QCOMPARE(DMX_sendMsgRet(pDevice, "get", "SysStatus", "", "{}", 10000, strReply), n_DmxNotSent);
        QCOMPARE(DMX_sendMsgErrRet(pDevice, "task", "AddTask", "", "{}", 600000, strReply, &iErrId),
                 n_DmxNotSent);
        QCOMPARE(iErrId, -5);
        QCOMPARE(strReply, std::string("untouched"));
        QStringList qstrlistLog = {
            "DMX_sendMsgRet dy_send_msg_ret_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)",
            "DMX_sendMsgErrRet dy_send_msg_ret_err_new_ex == nullptr || dy_free_str == nullptr"
            " || !DMX_isConn(dev)"};
        if (!m_blBound) {
            QCOMPARE(DMX_getDev("127.0.0.1", 1882, 0), nullptr);
            QCOMPARE(DMX_isConn(&iDevice), false);
            QCOMPARE(DMX_destroyDev(&iDevice), 0);
            QCOMPARE(DMX_setChangeEventCall(&iDevice, nullptr, this), nullptr);
            QCOMPARE(DMX_destroyChangeEventCall(&iDevice, &iDevice), 0);
            qstrlistLog << "DMX_getDev dy_get_dev == nullptr" << "DMX_isConn dy_is_conn == nullptr"
                        << "DMX_destroyDev dy_destroy_dev == nullptr"
                        << "DMX_setChangeEventCall dy_set_change_event_call == nullptr"
                        << "DMX_destroyChangeEventCall dy_destroy_change_event_call == nullptr";
        }
        QCOMPARE(ModuleLogTexts(), qstrlistLog);
        QCOMPARE(s_qstrlistQtLines, QStringList());
        if (!m_blBound)
            return;
        QCOMPARE(Records(), (QStringList{"is_conn(@0)", "is_conn(@0)"}));

        pDevice = DMX_getDev("10.1.2.3", 1882, 0);
        QCOMPARE(DMX_sendMsgRet(pDevice, "get", "SysStatus", "mine", "{}", 10000, strReply), 7);
        const QString qstrReply = QString::fromStdString(strReply);
        QCOMPARE(DMX_sendMsgErrRet(pDevice, "task", "AddTask", "mine", "no-reply", 600000, strReply,
                                   &iErrId), 9);
        QCOMPARE(iErrId, 112002);
        QCOMPARE(strReply, std::string());
        const QString qstrRecords = Records().join('\n');
        QStringList qstrlistIds;
        QRegularExpressionMatchIterator itId =
            QRegularExpression("\\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\}").globalMatch(qstrRecords);
        while (itId.hasNext())
            qstrlistIds << itId.next().captured();
        QVERIFY2(qstrlistIds.size() == 2 && qstrlistIds[0] != qstrlistIds[1], qPrintable(qstrRecords));
        const QString qstrExpected = QStringLiteral(
            "get_dev(\"10.1.2.3\", 1882, 0)\nis_conn(%1)\n"
            "send_msg_ret_new_ex(%1, \"get\", \"SysStatus\", \"%2\", \"{}\", 10000)\nfree_str(the reply)\n"
            "is_conn(%1)\nsend_msg_ret_err_new_ex(%1, \"task\", \"AddTask\", \"%3\", \"no-reply\", 600000)\n"
            "free_str(the reply)");
        QCOMPARE(qstrRecords, qstrExpected.arg(Describe(pDevice), qstrlistIds[0], qstrlistIds[1]));
        QCOMPARE(qstrReply, "reply:" + qstrlistIds[0]);
    }

    void webserviceCommonRaisesTheTimeout_data()
    {
        QTest::addColumn<int>("iGiven");
        QTest::addColumn<int>("iPassed");
        QTest::newRow("0") << 0 << 60;
        QTest::newRow("90") << 90 << 90;
    }
    // Public__Webservice_Common (source/Common) hands the library the URL, a timeout of at
    // least 60 s, the body and the POST flag.
    void webserviceCommonRaisesTheTimeout()
    {
        if (!m_blBound)
            QSKIP("bound only");
        QFETCH(int, iGiven);
        QFETCH(int, iPassed);
        Public__Webservice_Common("10.0.0.1", 8080, "/x", "{}", iGiven);
        const QString qstrCall = Records().value(0);
        const QString qstrExpected =
            QStringLiteral("webservice_sdk_submit(\"http://10.0.0.1:8080/x\", %1, \"{}\", 1, @").arg(iPassed);
        QVERIFY2(qstrCall.startsWith(qstrExpected), qPrintable(qstrCall));
    }
};

// tst_LibBinding [bound] [Qt Test options]: one case per process, unbound by default.
int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    QStringList qstrlistArgs = qapp.arguments();
    const bool blBound = qstrlistArgs.value(1) == QLatin1String("bound");
    if (blBound)
        qstrlistArgs.removeAt(1);
    TestLibBinding test(blBound);
    return QTest::qExec(&test, qstrlistArgs);
}

#include "tst_LibBinding.moc"
