// The bindings with no library bound: what every forwarder and DMX wrapper reports and
// returns, and how the loaders refuse null paths, missing files, files that are not
// libraries and over-long directories. Nothing in this program ever binds a library.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <set>
#include <type_traits>
#include <vector>

#include "BindingTestSupport.h"
#include "BurnLibBinding.h"

namespace
{
// What an unbound forwarder gave back.
struct UnboundResult
{
    QString qstrType;  // "void", "bool", "int32", "int64" or "pointer"
    qint64 llValue = 0;  // a pointer counts as 0 when null, 1 otherwise
};

template <typename T>
T DefaultArg()
{
    if constexpr (std::is_same_v<T, const char*>)
        return "";
    else
        return T{};
}

template <typename R>
UnboundResult ToResult(R _value)
{
    if constexpr (std::is_same_v<R, bool>)
        return {QStringLiteral("bool"), _value ? 1 : 0};
    else if constexpr (std::is_integral_v<R>)
        return {QString::fromLatin1(sizeof(R) == 8 ? "int64" : "int32"), static_cast<qint64>(_value)};
    else
        return {QStringLiteral("pointer"), _value ? 1 : 0};
}

template <typename R, typename... A>
std::function<UnboundResult()> Caller(R (*_pfnForwarder)(A...))
{
    return [_pfnForwarder]() -> UnboundResult {
        if constexpr (std::is_void_v<R>) {
            _pfnForwarder(DefaultArg<A>()...);
            return {QStringLiteral("void"), 0};
        } else {
            return ToResult(_pfnForwarder(DefaultArg<A>()...));
        }
    };
}

template <typename R, typename... A>
std::function<UnboundResult()> Caller(R (*_pfnForwarder)(A..., ...))
{
    return [_pfnForwarder]() -> UnboundResult {
        if constexpr (std::is_void_v<R>) {
            _pfnForwarder(DefaultArg<A>()...);
            return {QStringLiteral("void"), 0};
        } else {
            return ToResult(_pfnForwarder(DefaultArg<A>()...));
        }
    };
}

struct ForwarderCase
{
    QString qstrName;
    std::function<UnboundResult()> fnCall;
};

const std::vector<ForwarderCase>& AllForwarders()
{
    static const std::vector<ForwarderCase> s_vecCases = [] {
        std::vector<ForwarderCase> vecCases;
#define BURN_TEST_FORWARDER(name, entry, looked) vecCases.push_back({QStringLiteral(#name), Caller(&name)});
#define BURN_TEST_FORWARDER_VA(name) vecCases.push_back({QStringLiteral(#name), Caller(&name)});
#include "AllForwarderRows.inc"
#undef BURN_TEST_FORWARDER
#undef BURN_TEST_FORWARDER_VA
        return vecCases;
    }();
    return s_vecCases;
}

// The failure values, as the module's interface defines them.
const std::set<QString> s_setNoResult = {
    "log_buf_date",      "log_buf_lock",      "log_buf_msg",      "log_buf_msg_unlock",
    "log_get_path",      "log_set_path",      "log_set_proc_name", "os_sleep",
    "ringbuf_copydata",  "ringbuf_destroy",   "ringbuf_get_index", "webservice_sdk_release_redirect_url",
    "IOCtrlSetBurnCallBack", "IOSetStatus"};
const std::set<QString> s_setMinusOne64 = {
    "mq_create_mq", "mq_producer_create", "mq_consumer_create", "webservice_sdk_download_asyn_urlfile",
    "webservice_sdk_download_urlfile_ex", "webservice_sdk_upload_asyn_urlfile", "webservice_sdk_upload_urlfile_ex"};
const std::set<QString> s_setMinusOne32 = {
    "getcustomfunction", "os_code_convert", "os_comm_client_get_status", "os_comm_client_send",
    "os_tcp_client_get_status", "os_tcp_client_read", "os_tcp_client_send", "os_tcp_server_get_status",
    "os_thread_self", "os_udp_client_get_status", "os_udp_client_read", "os_udp_client_send",
    "ringbuf_clear", "ringbuf_copy", "ringbuf_read", "ringbuf_remove", "ringbuf_write",
    "webservice_sdk_getpos_download_urlfile", "webservice_sdk_getpos_upload_urlfile",
    "webservice_sdk_getpos_download_asyn_urlfile", "webservice_sdk_getpos_multipart_asyn",
    "webservice_sdk_getpos_upload_asyn_urlfile", "webservice_sdk_stop_download_asyn_urlfile",
    "webservice_sdk_stop_multipart_asyn", "webservice_sdk_stop_upload_asyn_urlfile", "webservice_sdk_submit",
    "webservice_sdk_submit_ex", "webservice_sdk_submit_ex2", "webservice_sdk_submit_ex3", "webservice_sdk_submit_ex4",
    "webservice_sdk_submit_ex5", "webservice_sdk_submit_ex7", "webservice_sdk_submit_multipart",
    "webservice_sdk_submit_multipart_ex"};

QString Family(const QString& _qstrName)
{
    static const QList<QPair<QString, QString>> s_listPrefixes = {
        {"mq_", "mq"},           {"adt_", "containers"},  {"log_", "logging"},   {"os_", "system"},
        {"getcustomfunction", "system"}, {"ringbuf_", "ringbuf"}, {"alivemsg_", "alivemsg"},
        {"webservice_", "webservice"},  {"PP100_", "PP100"},     {"PMYBS_", "PMYBS"},
        {"IOCtr", "IOCtrl"},     {"IOSetStatus", "IOCtrl"}};
    for (const auto& pairPrefix : s_listPrefixes) {
        if (_qstrName.startsWith(pairPrefix.first))
            return pairPrefix.second;
    }
    return QString();
}

// Families whose every forwarder returns -1, apart from the named exceptions.
bool FailsWithMinusOneByFamily(const QString& _qstrName)
{
    const QString qstrFamily = Family(_qstrName);
    if (qstrFamily == QLatin1String("alivemsg"))
        return _qstrName != QLatin1String("alivemsg_create");
    if (qstrFamily == QLatin1String("PMYBS"))
        return _qstrName != QLatin1String("PMYBS_GetErrorString") && _qstrName != QLatin1String("PMYBS_CheckSvcIsOnline");
    return qstrFamily == QLatin1String("PP100") || qstrFamily == QLatin1String("IOCtrl");
}

QString ExpectedLine(const QString& _qstrName)
{
    static const std::set<QString> s_setDyLogging = {"log_buf_date", "log_buf_lock", "log_buf_msg",
                                                     "log_buf_msg_unlock", "log_start", "log_manage_startup"};
    const QString qstrFamily = Family(_qstrName);
    if (_qstrName == QLatin1String("webservice_sdk_download_urlfile_ex3"))
        return QStringLiteral("dy_webservice_sdk_download_urlfile_ex3== nullptr\r\n");
    if (_qstrName == QLatin1String("IOSetStatus"))
        return QStringLiteral("dy_IOCtrlIOSetStatus == nullptr\r\n");
    if (qstrFamily == QLatin1String("PP100"))
        return "g_p" + _qstrName + " == nullptr";
    if (qstrFamily == QLatin1String("webservice") || qstrFamily == QLatin1String("PMYBS") ||
        qstrFamily == QLatin1String("IOCtrl"))
        return "dy_" + _qstrName + " == nullptr\r\n";
    if (qstrFamily == QLatin1String("mq") || qstrFamily == QLatin1String("alivemsg") ||
        s_setDyLogging.count(_qstrName))
        return "dy_" + _qstrName + " == NULL\r\n";
    return _qstrName + " == NULL\r\n";
}

// A line template with "%ERR%" standing for a loader's error text, as an anchored pattern.
QRegularExpression LinePattern(const QString& _qstrTemplate, const QString& _qstrErrPattern)
{
    QString qstrPattern = QRegularExpression::escape(_qstrTemplate);
    qstrPattern.replace(QRegularExpression::escape(QStringLiteral("%ERR%")), _qstrErrPattern);
    return QRegularExpression(QRegularExpression::anchoredPattern(qstrPattern));
}

// One binding's loader pair as the tests drive it.
struct LoaderCase
{
    const char* szName;
    std::function<int(const char*)> fnInit;
    std::function<int(const char*)> fnLoad;
    QString qstrFileSuffix;     // what init appends to the directory
    bool blDirEndsInSlash;      // the caller passes "<dir>/"
    QStringList qstrlistInitNullLines;
    QStringList qstrlistLoadNullLines;
    QStringList qstrlistFailLines;  // "%PATH%", "%DIR%" and "%ERR%" filled in
};

const std::vector<LoaderCase>& Loaders()
{
    static const std::vector<LoaderCase> s_vecLoaders = {
        {"libos", libos_init, load_libos_lib, "/win32_libos.dll", false, {"notesbus_load_lib:path == NULL"},
         {"load_libos_lib:path == NULL\r\n"}, {"%ERR%"}},
        {"mq", mq_init, mq_load_lib, "/win32_mq.dll", false, {"mq_load_lib:path == NULL\r\n", "!mq_init--(null)"},
         {"mq_load_lib:path == NULL\r\n"}, {"%ERR%", "!mq_init--%DIR%"}},
        {"alivemsg", alivemsg_init_lib, alivemsg_load_lib, "alivemsg.dll", true, {"alivemsg_load_lib:path == NULL"},
         {"alivemsg_load_lib:path == NULL"}, {"alivemsg_lib failed. err=%ERR% _path = %PATH%"}},
        {"webservice", webservice_init_lib, load_webservice_lib, "/win32_webservice_sdk.dll", false,
         {"webservice_init_lib:path == nullptr\r\n"}, {"load_webservice_lib:path == nullptr\r\n"}, {"%ERR%"}},
        {"DMX", dmx_init, DMX_loadDll, "/BurnModuleFile/DMX/wp_nwc.dll", false, {"dmx_init _path == NULL"},
         {"LoadDMXAPI:path == nullptr"}, {"LoadDMXAPI error: %ERR%"}},
        {"PMYBS", PMY4200_init_lib, PMY4200_load_lib, "/PMYBurnSvcSdk.dll", false,
         {"PMY4200_init_lib:path == nullptr\r\n"}, {"PMY4200_load_lib:path == nullptr\r\n"}, {"%ERR%"}},
        {"IOCtrl", burnsdkioctrl_init, burnsdkioctrl_load_lib, "BurnSdkIOCTL.dll", true,
         {"burnsdkioctrl_init:path == NULL"}, {}, {"%ERR%"}},
    };
    return s_vecLoaders;
}

void AddLoaderRows(const char* _szExcept = "")
{
    QTest::addColumn<int>("iLoader");
    for (std::size_t i = 0; i < Loaders().size(); ++i) {
        if (QLatin1String(Loaders()[i].szName) != QLatin1String(_szExcept))
            QTest::newRow(Loaders()[i].szName) << static_cast<int>(i);
    }
}

QString LoaderDir(const LoaderCase& _stLoader, const QString& _qstrDir)
{
    return _stLoader.blDirEndsInSlash ? _qstrDir + '/' : _qstrDir;
}

// Checks the module log lines of a failed load against the loader's failure lines.
void VerifyFailLines(const LoaderCase& _stLoader, const QStringList& _qstrlistLines, const QString& _qstrDir,
                     const QString& _qstrPath, const QString& _qstrErrPattern)
{
    QCOMPARE(_qstrlistLines.size(), _stLoader.qstrlistFailLines.size());
    for (int i = 0; i < _qstrlistLines.size(); ++i) {
        QString qstrTemplate = _stLoader.qstrlistFailLines[i];
        qstrTemplate.replace("%PATH%", _qstrPath).replace("%DIR%", _qstrDir);
        const QRegularExpression qregLine = LinePattern(qstrTemplate, _qstrErrPattern);
        QVERIFY2(qregLine.match(_qstrlistLines[i]).hasMatch(),
                 qPrintable(QStringLiteral("line [%1] does not match [%2]").arg(_qstrlistLines[i], qregLine.pattern())));
    }
}
}  // namespace

class TestLibBindingUnbound : public QObject
{
    Q_OBJECT

private slots:
    void forwarderFailsWhenUnbound_data();
    void forwarderFailsWhenUnbound();
    void everyExportedForwarderIsPresent();
    void loaderRefusesNullPath_data();
    void loaderRefusesNullPath();
    void loaderNamesTheMissingFile_data();
    void loaderNamesTheMissingFile();
    void loaderRetriesAndRejectsNonLibraryFile_data();
    void loaderRetriesAndRejectsNonLibraryFile();
    void initRefusesPathLongerThanTheBuffer_data();
    void initRefusesPathLongerThanTheBuffer();
    void dmxWrappersFailWhenUnbound();
};

void TestLibBindingUnbound::forwarderFailsWhenUnbound_data()
{
    QTest::addColumn<int>("iCase");
    for (std::size_t i = 0; i < AllForwarders().size(); ++i)
        QTest::newRow(qPrintable(AllForwarders()[i].qstrName)) << static_cast<int>(i);
}

void TestLibBindingUnbound::forwarderFailsWhenUnbound()
{
    QFETCH(int, iCase);
    const ForwarderCase& stCase = AllForwarders()[static_cast<std::size_t>(iCase)];
    const QString& qstrName = stCase.qstrName;

    CLS_ModuleLogCapture moduleLog;
    UnboundResult stResult;
    QStringList qstrlistQtLines;
    {
        CLS_QtLogCapture qtLog;
        stResult = stCase.fnCall();
        qstrlistQtLines = qtLog.Take();
    }

    QCOMPARE(qstrlistQtLines, QStringList{ExpectedLine(qstrName)});
    QVERIFY(moduleLog.Texts().isEmpty());
    if (s_setNoResult.count(qstrName)) {
        QCOMPARE(stResult.qstrType, QStringLiteral("void"));
    } else if (qstrName == QLatin1String("PMYBS_CheckSvcIsOnline")) {
        QCOMPARE(stResult.qstrType, QStringLiteral("bool"));
        QCOMPARE(stResult.llValue, 1);
    } else if (s_setMinusOne64.count(qstrName)) {
        QCOMPARE(stResult.qstrType, QStringLiteral("int64"));
        QCOMPARE(stResult.llValue, -1);
    } else if (s_setMinusOne32.count(qstrName) || FailsWithMinusOneByFamily(qstrName)) {
        QCOMPARE(stResult.qstrType, QStringLiteral("int32"));
        QCOMPARE(stResult.llValue, -1);
    } else {
        QVERIFY2(stResult.qstrType != QLatin1String("void"), "a forwarder failing with 0 has a result");
        QCOMPARE(stResult.llValue, 0);
    }
}

void TestLibBindingUnbound::everyExportedForwarderIsPresent()
{
    QMap<QString, int> qmapFamilyCounts;
    std::set<QString> setNames;
    for (const ForwarderCase& stCase : AllForwarders()) {
        QVERIFY2(setNames.insert(stCase.qstrName).second, qPrintable("twice: " + stCase.qstrName));
        ++qmapFamilyCounts[Family(stCase.qstrName)];
    }
    qmapFamilyCounts["alivemsg"] += 2;  // its two exported loaders
    const QMap<QString, int> qmapExpected = {{"mq", 15},        {"containers", 22}, {"logging", 9},
                                             {"system", 72},    {"ringbuf", 12},    {"alivemsg", 10},
                                             {"webservice", 30}, {"PP100", 25},     {"PMYBS", 30},
                                             {"IOCtrl", 16}};
    QCOMPARE(qmapFamilyCounts, qmapExpected);
    for (const auto* pSet : {&s_setNoResult, &s_setMinusOne64, &s_setMinusOne32}) {
        for (const QString& qstrName : *pSet)
            QVERIFY2(setNames.count(qstrName), qPrintable("no forwarder " + qstrName));
    }
}

void TestLibBindingUnbound::loaderRefusesNullPath_data()
{
    AddLoaderRows();
}

void TestLibBindingUnbound::loaderRefusesNullPath()
{
    QFETCH(int, iLoader);
    const LoaderCase& stLoader = Loaders()[static_cast<std::size_t>(iLoader)];
    CLS_QtLogCapture qtLog;
    {
        CLS_ModuleLogCapture moduleLog;
        QCOMPARE(stLoader.fnInit(nullptr), 0);
        QCOMPARE(moduleLog.Texts(), stLoader.qstrlistInitNullLines);
    }
    {
        CLS_ModuleLogCapture moduleLog;
        QCOMPARE(stLoader.fnLoad(nullptr), 0);
        QCOMPARE(moduleLog.Texts(), stLoader.qstrlistLoadNullLines);
    }
    QVERIFY(qtLog.Take().isEmpty());
}

void TestLibBindingUnbound::loaderNamesTheMissingFile_data()
{
    AddLoaderRows();
}

void TestLibBindingUnbound::loaderNamesTheMissingFile()
{
    QFETCH(int, iLoader);
    const LoaderCase& stLoader = Loaders()[static_cast<std::size_t>(iLoader)];
    QTemporaryDir qtmpDir;
    QVERIFY(qtmpDir.isValid());
    const QString qstrDir = LoaderDir(stLoader, qtmpDir.path());
    const QString qstrPath = qstrDir + stLoader.qstrFileSuffix;

    CLS_ModuleLogCapture moduleLog;
    CLS_QtLogCapture qtLog;
    QCOMPARE(stLoader.fnInit(qstrDir.toLocal8Bit().constData()), 0);
    // The error names the file asked for, not a name variant Qt guessed.
    const QString qstrErr = QRegularExpression::escape("Cannot load library " + qstrPath + ": (No such file or directory)");
    VerifyFailLines(stLoader, moduleLog.Texts(), qstrDir, qstrPath, qstrErr);
    QVERIFY(qtLog.Take().isEmpty());
}

void TestLibBindingUnbound::loaderRetriesAndRejectsNonLibraryFile_data()
{
    AddLoaderRows();
}

void TestLibBindingUnbound::loaderRetriesAndRejectsNonLibraryFile()
{
    QFETCH(int, iLoader);
    const LoaderCase& stLoader = Loaders()[static_cast<std::size_t>(iLoader)];
    QTemporaryDir qtmpDir;
    QVERIFY(qtmpDir.isValid());
    const QString qstrDir = LoaderDir(stLoader, qtmpDir.path());
    const QString qstrPath = qstrDir + stLoader.qstrFileSuffix;
    const QByteArray qbaPath = qstrPath.toLocal8Bit();

    // A failed load leaves the binding unloaded, so the next call looks again.
    QCOMPARE(stLoader.fnLoad(qbaPath.constData()), 0);
    QVERIFY(QDir().mkpath(QFileInfo(qstrPath).path()));
    QFile qfileText(qstrPath);
    QVERIFY(qfileText.open(QIODevice::WriteOnly));
    qfileText.write("not a library\n");
    qfileText.close();

    CLS_ModuleLogCapture moduleLog;
    QCOMPARE(stLoader.fnInit(qstrDir.toLocal8Bit().constData()), 0);
    const QString qstrErr = QRegularExpression::escape("Cannot load library " + qstrPath + ": (") + ".*" +
                            QRegularExpression::escape("file too short)");
    VerifyFailLines(stLoader, moduleLog.Texts(), qstrDir, qstrPath, qstrErr);
}

void TestLibBindingUnbound::initRefusesPathLongerThanTheBuffer_data()
{
    AddLoaderRows("mq");  // the queue library's path is a growing text, not the buffer
}

void TestLibBindingUnbound::initRefusesPathLongerThanTheBuffer()
{
    QFETCH(int, iLoader);
    const LoaderCase& stLoader = Loaders()[static_cast<std::size_t>(iLoader)];
    // 259 characters and the terminator fill the 260-byte buffer exactly.
    const int iFitting = 259 - stLoader.qstrFileSuffix.size();
    const QString qstrFittingDir = '/' + QString(iFitting - 1, 'd');
    {
        CLS_ModuleLogCapture moduleLog;
        QCOMPARE(stLoader.fnInit(qstrFittingDir.toLatin1().constData()), 0);
        const QString qstrPath = qstrFittingDir + stLoader.qstrFileSuffix;
        const QString qstrErr =
            QRegularExpression::escape("Cannot load library " + qstrPath + ": (No such file or directory)");
        VerifyFailLines(stLoader, moduleLog.Texts(), qstrFittingDir, qstrPath, qstrErr);
    }
    {
        const QString qstrLongDir = qstrFittingDir + 'd';
        CLS_ModuleLogCapture moduleLog;
        QCOMPARE(stLoader.fnInit(qstrLongDir.toLatin1().constData()), 0);
        const QStringList qstrlistTexts = moduleLog.Texts();
        QCOMPARE(qstrlistTexts.size(), 1);
        QVERIFY2(qstrlistTexts[0].contains("path too long"), qPrintable(qstrlistTexts[0]));
    }
}

void TestLibBindingUnbound::dmxWrappersFailWhenUnbound()
{
    CLS_QtLogCapture qtLog;
    CLS_ModuleLogCapture moduleLog;
    int iDevice = 0;
    std::string strReply = "untouched";
    int iErrId = -5;

    QCOMPARE(DMX_getDev("127.0.0.1", 1882, 0), nullptr);
    QCOMPARE(DMX_isConn(&iDevice), false);
    QCOMPARE(DMX_destroyDev(&iDevice), 0);
    QCOMPARE(DMX_setChangeEventCall(&iDevice, nullptr, this), nullptr);
    QCOMPARE(DMX_destroyChangeEventCall(&iDevice, &iDevice), 0);
    QCOMPARE(DMX_sendMsgRet(&iDevice, "get", "SysStatus", "", "", 10000, strReply), 33);
    QCOMPARE(DMX_sendMsgErrRet(&iDevice, "task", "AddTask", "", "{}", 600000, strReply, &iErrId), 33);
    QCOMPARE(iErrId, -5);

    const QStringList qstrlistExpected = {
        "DMX_getDev dy_get_dev == nullptr",
        "DMX_isConn dy_is_conn == nullptr",
        "DMX_destroyDev dy_destroy_dev == nullptr",
        "DMX_setChangeEventCall dy_set_change_event_call == nullptr",
        "DMX_destroyChangeEventCall dy_destroy_change_event_call == nullptr",
        "DMX_sendMsgRet dy_send_msg_ret_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)",
        "DMX_sendMsgErrRet dy_send_msg_ret_err_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)"};
    QCOMPARE(moduleLog.Texts(), qstrlistExpected);
    QVERIFY(qtLog.Take().isEmpty());
}

QTEST_GUILESS_MAIN(TestLibBindingUnbound)
#include "tst_LibBindingUnbound.moc"
