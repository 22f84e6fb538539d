// Loads the plug-in the way the host does (by file name, entries by name, signals by
// signature text) and checks its start-up log, the requests that give no message, and
// its end. The requests it serves: tests/host and tests/source/AutoBurnPublisher.
#include <QtTest>

class tst_CLS_ModuleBurn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Init binds the platform library, makes the log folder and writes its first line
    // there. No message comes of codes the module does not serve, of texts that are no
    // module message, nor of acknowledgements (70, 71) and log-outs (35) that name
    // nothing. The module ends through DeleteModule and Release.
    void lifeCycle()
    {
        QLibrary qlib(QCoreApplication::applicationDirPath() + QStringLiteral("/libBurnModule.so"));
        QVERIFY2(qlib.load(), qPrintable(qlib.errorString()));
        const auto pfnCreateModule = reinterpret_cast<QObject* (*)(QString)>(qlib.resolve("CreateModule"));
        const auto pfnDeleteModule = reinterpret_cast<int (*)(QObject*)>(qlib.resolve("DeleteModule"));
        QVERIFY(pfnCreateModule && pfnDeleteModule);
        QDir qdirLog(QCoreApplication::applicationDirPath() + "/Log/" + QCoreApplication::applicationName());
        qdirLog.removeRecursively();  // no line of an earlier run
        QCOMPARE(reinterpret_cast<int (*)()>(qlib.resolve("Init"))(), 0);
        const auto fnLog = [&qdirLog] {  // the newest log file
            QFile qfile(qdirLog.entryInfoList(QDir::Files, QDir::Time).value(0).filePath());
            return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(fnLog().contains("BurnModule fun=Init, Compile date="), 10000);

        QObject* pModule = pfnCreateModule(QString());
        QSignalSpy spyMsg(pModule, SIGNAL(SignSendMsgWithWebSocket(int, QString)));
        QSignalSpy spyModMsg(pModule, SIGNAL(SignMODSendMsgWithWebSocket(int, QString)));
        const QString qstrApply = QStringLiteral(R"({"msgId":"1","param":{"cmd":"ApplyBurn","param":{"JobId":"x"}}})");
        for (const auto& pairRequest : QList<QPair<int, QString>>{{18, qstrApply}, {72, qstrApply}, {17, "not json"},
                                                                   {17, "[]"}, {35, "{}"}, {70, "{}"}, {71, "[]"}})
            QVERIFY(QMetaObject::invokeMethod(pModule, "DealModuleRequest", Q_ARG(int, pairRequest.first),
                                              Q_ARG(QString, "BurnModule"), Q_ARG(QString, pairRequest.second),
                                              Q_ARG(bool, false)));
        QCoreApplication::processEvents();
        QCOMPARE(spyMsg.count() + spyModMsg.count(), 0);
        QPointer<QObject> qptrModule(pModule);
        QCOMPARE(pfnDeleteModule(pModule), 0);
        QVERIFY(qptrModule.isNull());
        QCOMPARE(pfnDeleteModule(nullptr), 0);
        QCOMPARE(reinterpret_cast<int (*)()>(qlib.resolve("Release"))(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_CLS_ModuleBurn)
#include "tst_CLS_ModuleBurn.moc"
