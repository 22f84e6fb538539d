// Loads the plug-in the way the host does (by file name, entries by name, signals and
// slot by signature text) and checks its start-up with and without the platform
// library, the requests it ignores, and its end. Requests it serves: tests/host.
#include <QtTest>

#include <cstring>

namespace
{
using PFN_Init = int (*)();
using PFN_CreateModule = QObject* (*)(QString);
using PFN_DeleteModule = int (*)(QObject*);

const char s_szChildFlag[] = "--child-no-libos";

QString ModulePath(const QString& _qstrDir)
{
    return _qstrDir + QStringLiteral("/libBurnModule.so");
}

// In a copy of this program in a folder without the platform library: Init, one
// request and DeleteModule; the exit code tells which step failed.
int RunChildWithoutLibos()
{
    QLibrary qlib(ModulePath(QCoreApplication::applicationDirPath()));
    const auto pfnInit = reinterpret_cast<PFN_Init>(qlib.resolve("Init"));
    const auto pfnCreateModule = reinterpret_cast<PFN_CreateModule>(qlib.resolve("CreateModule"));
    if (!pfnInit || !pfnCreateModule || pfnInit() != 0)
        return 2;
    QObject* pModule = pfnCreateModule(QString());
    QMetaObject::invokeMethod(pModule, "DealModuleRequest", Q_ARG(int, 17), Q_ARG(QString, "BurnModule"),
                              Q_ARG(QString, "{}"), Q_ARG(bool, false));
    return reinterpret_cast<PFN_DeleteModule>(qlib.resolve("DeleteModule"))(pModule) == 0 ? 0 : 3;
}
}  // namespace

class tst_CLS_ModuleBurn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_qlib.setFileName(ModulePath(QCoreApplication::applicationDirPath()));
        QVERIFY2(m_qlib.load(), qPrintable(m_qlib.errorString()));
        m_pfnCreateModule = reinterpret_cast<PFN_CreateModule>(m_qlib.resolve("CreateModule"));
        m_pfnDeleteModule = reinterpret_cast<PFN_DeleteModule>(m_qlib.resolve("DeleteModule"));
        QVERIFY(m_pfnCreateModule && m_pfnDeleteModule);
    }

    // Init binds the platform library, makes the log folder and writes the first line there.
    void initStartsLogging()
    {
        QCOMPARE(reinterpret_cast<PFN_Init>(m_qlib.resolve("Init"))(), 0);
        const QDir qdirLog(QCoreApplication::applicationDirPath() + QStringLiteral("/Log/")
                           + QCoreApplication::applicationName());
        const auto fnLogged = [&qdirLog] {
            for (const QFileInfo& qfileInfo : qdirLog.entryInfoList(QDir::Files)) {
                QFile qfile(qfileInfo.filePath());
                if (qfile.open(QIODevice::ReadOnly) && qfile.readAll().contains("BurnModule fun=Init, Compile date="))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(fnLogged(), 10000);
    }

    // The host connects by signature text, in the interface's declared order, and ends the
    // module through DeleteModule and Release.
    void hostInterface()
    {
        QObject* pModule = m_pfnCreateModule(QString());
        QVERIFY(pModule);
        const QMetaObject* pBase = pModule->metaObject()->superClass();
        QCOMPARE(pBase->className(), "CLS_ModuleBase");
        const QList<QByteArray> qlstExpected = {
            "SignSendRequset(int,QString,QString,bool)",
            "SignSendMsgWithWebSocket(int,QString)",
            "SignMODSendMsgWithWebSocket(int,QString)",
            "SignCloseWindow()",
            "SignalPreset(int,int)",
            "SignalPresetEx(QString)",
            "SignalCruiseEx(QString)",
            "SignalScanSchemeEx(QString)",
            "SignalStartControl(int,int)",
            "SignalStopControl(int)",
            "SignalPtzAdvanceControl(n_WgtPtzAdvance_Signal_Type,int)",
            "SignalLoginSuccess()",
            "DealModuleRequest(int,QString,QString,bool)",
        };
        QList<QByteArray> qlstDeclared;
        for (int i = pBase->methodOffset(); i < pBase->methodCount(); ++i)
            qlstDeclared << pBase->method(i).methodSignature();
        QCOMPARE(qlstDeclared, qlstExpected);
        QCOMPARE(pBase->method(pBase->methodOffset() + 12).methodType(), QMetaMethod::Slot);

        // Codes other than 17, 35, 70 and 71 are ignored; texts that are no module message are dropped.
        QSignalSpy spyMsg(pModule, SIGNAL(SignSendMsgWithWebSocket(int, QString)));
        QSignalSpy spyModMsg(pModule, SIGNAL(SignMODSendMsgWithWebSocket(int, QString)));
        const QString qstrApply = QStringLiteral(R"({"msgId":"1","param":{"cmd":"ApplyBurn","param":{"JobId":"x"}}})");
        for (const auto& pairRequest : QList<QPair<int, QString>>{{18, qstrApply}, {36, qstrApply}, {72, qstrApply},
                                                                   {0, qstrApply}, {17, "not json"}, {17, "[]"}})
            QVERIFY(QMetaObject::invokeMethod(pModule, "DealModuleRequest", Q_ARG(int, pairRequest.first),
                                              Q_ARG(QString, "BurnModule"), Q_ARG(QString, pairRequest.second),
                                              Q_ARG(bool, false)));
        QCoreApplication::processEvents();
        QCOMPARE(spyMsg.count() + spyModMsg.count(), 0);
        QPointer<QObject> qptrModule(pModule);
        QCOMPARE(m_pfnDeleteModule(pModule), 0);
        QVERIFY(qptrModule.isNull());
        QCOMPARE(m_pfnDeleteModule(nullptr), 0);
        QCOMPARE(reinterpret_cast<int (*)()>(m_qlib.resolve("Release"))(), 0);
    }

    // Without the platform library Init still returns 0 and the module still works.
    void initWithoutPlatformLibrary()
    {
        QTemporaryDir qtmpDir;
        const QString qstrChild = qtmpDir.filePath(QStringLiteral("hostcopy"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), qstrChild));
        QVERIFY(QFile::copy(ModulePath(QCoreApplication::applicationDirPath()), ModulePath(qtmpDir.path())));
        QProcess qproc;
        qproc.start(qstrChild, {QString::fromLatin1(s_szChildFlag)});
        QVERIFY(qproc.waitForFinished(60000));
        const QByteArray qbaErr = qproc.readAllStandardError();
        QVERIFY2(qproc.exitCode() == 0 && qbaErr.contains("!libos_init--"), qbaErr);
        QVERIFY(!QDir(qtmpDir.filePath(QStringLiteral("Log"))).exists());
    }

private:
    QLibrary m_qlib;
    PFN_CreateModule m_pfnCreateModule = nullptr;
    PFN_DeleteModule m_pfnDeleteModule = nullptr;
};

int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], s_szChildFlag) == 0)
        return RunChildWithoutLibos();
    tst_CLS_ModuleBurn tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_CLS_ModuleBurn.moc"
