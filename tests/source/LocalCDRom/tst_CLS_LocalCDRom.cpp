// The local drive backend against a drive library built for the test: the job queue
// (first job without files blocks, only the first drive), the library's messages and
// the operator dialog each one brings, job states, the drive released or kept busy,
// and the unfinished count; the notification service it starts.
#include <QtTest>

#include <QLabel>
#include <QPushButton>

#include "BurnLibBinding.h"
#include "CLS_MessageBox.h"
#include "LocalCDRom/CLS_LocalCDRom.h"
#include "LogRecorder.h"

namespace
{
constexpr int n_WaitMs = 20000;
}  // namespace

class tst_CLS_LocalCDRom : public QObject
{
    Q_OBJECT

    std::unique_ptr<CLS_LocalCDRom> m_pBackend;
    QLibrary m_qlibDouble{QStringLiteral(BURN_TEST_LIB_DIR "BurnSdkIOCTL.dll")};
    QStringList m_qlstCalls;
    QStringList m_qlstDialogs;  // texts of the dialogs shown, each confirmed at once
    QTimer m_qtimerOperator;

    QStringList Calls()
    {
        std::vector<std::string> vecCalls;
        using PFN_TakeCalls = void (*)(std::vector<std::string>*);
        reinterpret_cast<PFN_TakeCalls>(m_qlibDouble.resolve("TestIoCtrlTakeCalls"))(&vecCalls);
        for (const std::string& strCall : vecCalls)
            m_qlstCalls << QString::fromStdString(strCall);
        return m_qlstCalls;
    }
    void Send(int _iCode, int _iGroupId, int _iErrType = -1)
    {
        const QJsonObject qjsonMsg{{"type", "BurnState"}, {"code", _iCode}, {"groupID", _iGroupId},
                                   {"burnDriver", "drive0"}, {"strVal", QJsonObject{{"errType", _iErrType}}}};
        const QByteArray qbaMsg = QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact);
        reinterpret_cast<void (*)(const char*)>(m_qlibDouble.resolve("TestIoCtrlSend"))(qbaMsg.constData());
    }
    // A job with one file, ready for the job timer.
    void AddJob(const QString& _qstrJobId, bool _blWithFile = true)
    {
        const std::string strJobId = _qstrJobId.toStdString();
        QCOMPARE(m_pBackend->StartBurn(strJobId, "DVD", "T-" + strJobId, "", 1, 1, "", "{}", nullptr), 0);
        if (_blWithFile)
            AddFiles(_qstrJobId, {{"/src/" + _qstrJobId, "/" + _qstrJobId}});
    }
    void AddFiles(const QString& _qstrJobId, const QList<QPair<QString, QString>>& _qlstFiles)
    {
        BurnFileTask stTask{_qstrJobId.toStdString(), {}};
        for (const auto& prFile : _qlstFiles)
            stTask.vecFiles.emplace_back(prFile.first.toStdString(), prFile.second.toStdString());
        QCOMPARE(m_pBackend->AddFile(_qstrJobId.toStdString(), stTask, nullptr), 0);
    }
    int State(const QString& _qstrJobId, QString* _pqstrMsg = nullptr)
    {
        BurnResultInfo stResult;
        const int iState = m_pBackend->GetJobStatus(_qstrJobId, &stResult);
        if (_pqstrMsg)
            *_pqstrMsg = stResult.qstrErrMsg;
        return iState;
    }
    // Waits until the job timer has passed over the queue again after now.
    bool JobTimerPassed(const QString& _qstrLine)
    {
        LogRecorder::clear();
        return QTest::qWaitFor([&] { return LogRecorder::contains(_qstrLine); }, n_WaitMs);
    }

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        QVERIFY(burnsdkioctrl_init(BURN_TEST_LIB_DIR));  // bound first: the backend keeps it
        QVERIFY(m_qlibDouble.load());
        connect(&m_qtimerOperator, &QTimer::timeout, this, [this] {
            auto* pDialog = qobject_cast<CLS_MessageBox*>(QApplication::activeModalWidget());
            if (!pDialog)
                return;
            m_qlstDialogs << pDialog->findChild<QLabel*>("label_Show")->text();
            QTest::mouseClick(pDialog->findChild<QPushButton*>("pushButton_main"), Qt::LeftButton);
        });
        m_qtimerOperator.start(5);
    }
    void init()
    {
        m_pBackend = std::make_unique<CLS_LocalCDRom>();
        reinterpret_cast<void (*)()>(m_qlibDouble.resolve("TestIoCtrlReset"))();
        m_qlstCalls.clear();
        m_qlstDialogs.clear();
    }
    void cleanup() { m_pBackend.reset(); }

    void notificationService_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QByteArray>("param");
        QTest::addColumn<bool>("ownHandle");
        QTest::addColumn<int>("code");  // of the answer; the call returns 0 for 0, else -1
        QTest::newRow("InitData") << "InitData" << QByteArray(R"({"capacity":1})") << true << 0;
        QTest::newRow("SetSkin") << "SetSkin" << QByteArray(R"({"path":"/none.qss"})") << true << 0;
        QTest::newRow("unknown method") << "Shout" << QByteArray("{}") << true << -3;
        QTest::newRow("bad JSON") << "InitData" << QByteArray("{nope") << true << -2;
        QTest::newRow("unknown handle") << "InitData" << QByteArray("{}") << false << -1;
    }
    // The notification service the backend starts (the application folder's own): every
    // call that names a method gets an answer text to release, failures included.
    void notificationService()
    {
        QFETCH(QString, method);
        QFETCH(QByteArray, param);
        QFETCH(bool, ownHandle);
        QFETCH(int, code);
        QCOMPARE(alivemsg_is_startup(), 1);
        void* pHandle = alivemsg_create();
        QVERIFY(pHandle);
        char* szAnswer = nullptr;
        const int iRet = alivemsg_call_method(ownHandle ? pHandle : &szAnswer, method.toUtf8().constData(),
                                              param.constData(), &szAnswer);
        QCOMPARE(iRet, code == 0 ? 0 : -1);
        QVERIFY(szAnswer);
        const QJsonObject qjsonAnswer = QJsonDocument::fromJson(szAnswer).object();
        QCOMPARE(qjsonAnswer.value("code").toInt(), code);
        QCOMPARE(qjsonAnswer.value("method").toString(), method);
        QCOMPARE(alivemsg_free_ptr(pHandle, szAnswer), 0);
        QCOMPARE(alivemsg_destroy(pHandle), 0);
        QCOMPARE(alivemsg_destroy(pHandle), -1);
    }

    // The first job waits for files and keeps the later ones waiting; it goes to the
    // first of the three drives, with its title and files; files added later are not
    // burned. A job not started is cancelled with group -1. Removing a waiting job lowers
    // the unfinished count, a finished one does not; a message of a group no job holds
    // is ignored.
    void queue()
    {
        AddJob("J1", false);
        AddJob("J2");
        AddJob("J3");
        QVERIFY(JobTimerPassed("job=J1尚未添加刻录文件！！！"));
        QVERIFY(!Calls().join('\n').contains("SetBurnGroup"));
        AddFiles("J1", {{"/src/案件.mp4", "/视频/案件.mp4"}, {"/src/b", "/b"}});
        QTRY_VERIFY_WITH_TIMEOUT(Calls().contains("EndBurn 1"), n_WaitMs);
        QCOMPARE(m_qlstCalls, (QStringList{"SetBurnGroup drive0", "SetMediaCaption T-J1 1",
                                           "AddFile /src/案件.mp4>/视频/案件.mp4 1", "AddFile /src/b>/b 1",
                                           "EndBurn 1"}));
        QString qstrMsg = "?";
        QCOMPARE(State("J1", &qstrMsg), 1);
        QCOMPARE(qstrMsg, QString());
        AddFiles("J1", {{"/src/late", "/late"}});
        QVERIFY(JobTimerPassed("光驱正在执行刻录...待定刻录的数量：3"));
        QVERIFY(!Calls().join('\n').contains("late"));
        QCOMPARE(m_pBackend->CancelBurn("J2"), 0);
        QCOMPARE(m_pBackend->CancelBurn("J1"), 0);
        QCOMPARE(Calls().mid(5), (QStringList{"ForceCancel -1", "ForceCancel 1"}));

        QCOMPARE(m_pBackend->ClearData("J3"), 0);
        QVERIFY(LogRecorder::contains("CLS_LocalCDRom::ClearData 580 m_atUnFinishedCount = 2"));
        Send(1, 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_qlstDialogs, QStringList{"待出盘：1 张。放入光盘后，点击‘确定’将继续刻录！"}, n_WaitMs);
        QCOMPARE(State("J1"), 3);
        LogRecorder::clear();
        QCOMPARE(m_pBackend->ClearData("J1"), 0);
        QCOMPARE(State("J1"), -1);
        QVERIFY(!LogRecorder::contains("ClearData 580"));
        Send(1, 77);
        QTRY_VERIFY_WITH_TIMEOUT(LogRecorder::contains("qstrJobId.length() <= 0"), n_WaitMs);
    }

    void libraryMessage_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("errType");
        QTest::addColumn<int>("waiting");  // jobs behind the burning one
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("state");    // of the burning job
        QTest::addColumn<QString>("failMsg");  // every job's message on failure; empty: not failed
        QTest::addColumn<bool>("released");    // the next job starts
        QTest::newRow("burned, two waiting (one: queue)")
            << 1 << -1 << 2 << "待出盘：2 张。放入光盘后，点击‘确定’将继续刻录！" << 3 << "" << true;
        QTest::newRow("burned, none waiting") << 1 << -1 << 0 << "刻录成功，请取走光盘" << 3 << "" << false;
        QTest::newRow("read-only disc") << 6 << 2 << 1 << "光盘只读，请换盘" << 1 << "" << false;
        QTest::newRow("not blank") << 6 << 6 << 1 << "不是新盘，请放入新光盘" << 1 << "" << false;
        QTest::newRow("unknown disc error") << 6 << 9 << 1 << "光盘错误，请换盘后尝试" << 1 << "" << false;
        QTest::newRow("source unreadable") << 7 << -1 << 1 << "刻录失败，源文件不可读" << 4 << "源文件不可读" << false;
        QTest::newRow("write failed") << 2 << -1 << 1 << "刻录失败，未知错误" << 4 << "未知错误" << false;
    }
    // One dialog per message, confirmed, and the library told to go on; a burned disc
    // or an unreadable source frees the drive, a disc error keeps it for the same burn,
    // and a failure fails every job of the table.
    void libraryMessage()
    {
        QFETCH(int, code);
        QFETCH(int, errType);
        QFETCH(int, waiting);
        QFETCH(QString, dialog);
        QFETCH(int, state);
        QFETCH(QString, failMsg);
        QFETCH(bool, released);
        for (int iJob = 0; iJob <= waiting; ++iJob)
            AddJob(QStringLiteral("M%1").arg(iJob));
        QTRY_VERIFY_WITH_TIMEOUT(Calls().contains("EndBurn 1"), n_WaitMs);
        Send(code, 1, errType);
        QTRY_COMPARE_WITH_TIMEOUT(m_qlstDialogs, QStringList{dialog}, n_WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(Calls().contains("IOSetStatus 1"), n_WaitMs);
        QCOMPARE(State("M0"), state);
        for (int iJob = 0; !failMsg.isEmpty() && iJob <= waiting; ++iJob) {
            QString qstrMsg;
            QCOMPARE(State(QStringLiteral("M%1").arg(iJob), &qstrMsg), 4);
            QCOMPARE(qstrMsg, failMsg);
        }
        if (released) {
            QTRY_VERIFY_WITH_TIMEOUT(Calls().contains("EndBurn 2"), n_WaitMs);
        } else {
            QVERIFY(JobTimerPassed(waiting > 0 && failMsg.isEmpty() ? "光驱正在执行刻录" : "SlotTmrProcessJob"));
            QVERIFY(!Calls().contains("EndBurn 2"));
        }
        QCOMPARE(m_qlstDialogs.size(), 1);
    }
};

QTEST_MAIN(tst_CLS_LocalCDRom)
#include "tst_CLS_LocalCDRom.moc"
