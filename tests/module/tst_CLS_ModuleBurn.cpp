// Loads the plug-in the way the host does (by file name, entries by name, signals
// and slot by signature text) and checks its start-up, request dispatch and end.
#include <QtTest>

#include <cstring>

namespace
{
using PFN_Init = int (*)();
using PFN_CreateModule = QObject* (*)(QString);
using PFN_DeleteModule = int (*)(QObject*);
using PFN_Release = int (*)();

const char s_szChildFlag[] = "--child-no-libos";

QString ModulePath(const QString& _qstrDir)
{
    return _qstrDir + QStringLiteral("/libBurnModule.so");
}

struct ModuleEntries
{
    PFN_Init pfnInit = nullptr;
    PFN_CreateModule pfnCreateModule = nullptr;
    PFN_DeleteModule pfnDeleteModule = nullptr;
    PFN_Release pfnRelease = nullptr;

    bool Resolve(QLibrary& _qlib)
    {
        pfnInit = reinterpret_cast<PFN_Init>(_qlib.resolve("Init"));
        pfnCreateModule = reinterpret_cast<PFN_CreateModule>(_qlib.resolve("CreateModule"));
        pfnDeleteModule = reinterpret_cast<PFN_DeleteModule>(_qlib.resolve("DeleteModule"));
        pfnRelease = reinterpret_cast<PFN_Release>(_qlib.resolve("Release"));
        return pfnInit && pfnCreateModule && pfnDeleteModule && pfnRelease;
    }
};

// Runs in a copy of this program placed in a folder without the platform library.
int RunChildWithoutLibos()
{
    QLibrary qlib(ModulePath(QCoreApplication::applicationDirPath()));
    ModuleEntries stEntries;
    if (!qlib.load() || !stEntries.Resolve(qlib)) {
        fprintf(stdout, "CHILD-LOAD-FAILED %s\n", qPrintable(qlib.errorString()));
        return 2;
    }
    if (stEntries.pfnInit() != 0)
        return 3;
    QObject* pModule = stEntries.pfnCreateModule(QString());
    if (!pModule || qstrcmp(pModule->metaObject()->className(), "CLS_ModuleBurn") != 0)
        return 4;
    QMetaObject::invokeMethod(pModule, "DealModuleRequest", Q_ARG(int, 17), Q_ARG(QString, "BurnModule"),
                              Q_ARG(QString, "{}"), Q_ARG(bool, false));
    if (stEntries.pfnDeleteModule(pModule) != 0)
        return 5;
    fprintf(stdout, "CHILD-OK\n");
    return 0;
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
        QVERIFY(m_stEntries.Resolve(m_qlib));
    }

    // Init binds the platform library, makes the log folder and writes the first line there.
    void initStartsLogging()
    {
        QCOMPARE(m_stEntries.pfnInit(), 0);
        const QDir qdirLog(QCoreApplication::applicationDirPath() + QStringLiteral("/Log/")
                           + QCoreApplication::applicationName());
        QVERIFY2(qdirLog.exists(), qPrintable(qdirLog.path()));
        QTRY_VERIFY_WITH_TIMEOUT(LogFolderContains(qdirLog, "BurnModule fun=Init, Compile date="), 10000);
    }

    // The host connects by signature text, in the interface's declared order.
    void interfaceSignatures()
    {
        QObject* pModule = m_stEntries.pfnCreateModule(QString());
        QVERIFY(pModule);
        const QMetaObject* pBase = pModule->metaObject()->superClass();
        QCOMPARE(pBase->className(), "CLS_ModuleBase");
        const QList<QByteArray> expected = {
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
        QList<QByteArray> declared;
        for (int i = pBase->methodOffset(); i < pBase->methodCount(); ++i)
            declared << pBase->method(i).methodSignature();
        QCOMPARE(declared, expected);
        QCOMPARE(pBase->method(pBase->methodOffset() + 12).methodType(), QMetaMethod::Slot);
        QVERIFY(pModule->metaObject()->indexOfSlot("DealModuleRequest(int,QString,QString,bool)") >= 0);
        QCOMPARE(m_stEntries.pfnDeleteModule(pModule), 0);
    }

    // Codes outside 17/35/70/71 are ignored whatever the text; texts that are no
    // module message are dropped whatever the code.
    void requestCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("moduleType");
        for (int iCode : {17, 18, 35, 36, 70, 71, 72, 0, -1})
            QTest::addRow("code %d", iCode) << iCode << QStringLiteral("BurnModule");
        QTest::newRow("other module type") << 17 << QStringLiteral("SomethingElse");
    }
    void requestCodes()
    {
        QFETCH(int, code);
        QFETCH(QString, moduleType);
        QObject* pModule = m_stEntries.pfnCreateModule(QString());
        QSignalSpy spyMsg(pModule, SIGNAL(SignSendMsgWithWebSocket(int, QString)));
        QSignalSpy spyModMsg(pModule, SIGNAL(SignMODSendMsgWithWebSocket(int, QString)));
        QVERIFY(spyMsg.isValid() && spyModMsg.isValid());
        QStringList lstTexts{QStringLiteral("not json"), QStringLiteral("[]")};
        if (code != 17)
            lstTexts << QStringLiteral(R"({"msgId":"1","param":{"cmd":"ApplyBurn","param":{"JobId":"x"}}})");
        for (const QString& qstrText : lstTexts) {
            QVERIFY(QMetaObject::invokeMethod(pModule, "DealModuleRequest", Q_ARG(int, code),
                                              Q_ARG(QString, moduleType), Q_ARG(QString, qstrText),
                                              Q_ARG(bool, false)));
        }
        QCoreApplication::processEvents();
        QCOMPARE(spyMsg.count() + spyModMsg.count(), 0);
        QCOMPARE(m_stEntries.pfnDeleteModule(pModule), 0);
    }

    void deleteAndRelease()
    {
        QCOMPARE(m_stEntries.pfnDeleteModule(nullptr), 0);
        QCOMPARE(m_stEntries.pfnRelease(), 0);
        QObject* pModule = m_stEntries.pfnCreateModule(QStringLiteral("{\"anything\":1}"));
        QPointer<QObject> qptrModule(pModule);
        QCOMPARE(m_stEntries.pfnDeleteModule(pModule), 0);
        QVERIFY(qptrModule.isNull());
        QCOMPARE(m_stEntries.pfnRelease(), 0);
    }

    // Without the platform library Init still returns 0 and the module still works.
    void initWithoutPlatformLibrary()
    {
        QTemporaryDir qtmpDir;
        QVERIFY(qtmpDir.isValid());
        const QString qstrChild = qtmpDir.filePath(QStringLiteral("hostcopy"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), qstrChild));
        QVERIFY(QFile::setPermissions(qstrChild, QFile::permissions(qstrChild) | QFileDevice::ExeOwner));
        QVERIFY(QFile::copy(ModulePath(QCoreApplication::applicationDirPath()), ModulePath(qtmpDir.path())));

        QProcess qproc;
        qproc.start(qstrChild, {QString::fromLatin1(s_szChildFlag)});
        QVERIFY(qproc.waitForFinished(60000));
        const QByteArray qbaOut = qproc.readAllStandardOutput();
        const QByteArray qbaErr = qproc.readAllStandardError();
        QVERIFY2(qproc.exitCode() == 0, qbaOut + qbaErr);
        QVERIFY(qbaOut.contains("CHILD-OK"));
        QVERIFY2(qbaErr.contains("!libos_init--"), qbaErr);
        QVERIFY(!QDir(qtmpDir.filePath(QStringLiteral("Log"))).exists());
    }

private:
    static bool LogFolderContains(const QDir& _qdirLog, const char* _szText)
    {
        for (const QFileInfo& qfileInfo : _qdirLog.entryInfoList(QDir::Files)) {
            QFile qfile(qfileInfo.filePath());
            if (qfile.open(QIODevice::ReadOnly) && qfile.readAll().contains(_szText))
                return true;
        }
        return false;
    }

    QLibrary m_qlib;
    ModuleEntries m_stEntries;
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
