// Loads the plug-in the way the host does (by file name, entries by name, signals by
// signature text) and checks its start-up log, the requests that give no message, and
// its end. The requests it serves: tests/host and tests/source/AutoBurnPublisher.
#include <QtTest>

namespace
{
using PFN_CreateModule = QObject* (*)(QString);
using PFN_DeleteModule = int (*)(QObject*);
}  // namespace

class tst_CLS_ModuleBurn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_qlib.setFileName(QCoreApplication::applicationDirPath() + QStringLiteral("/libBurnModule.so"));
        QVERIFY2(m_qlib.load(), qPrintable(m_qlib.errorString()));
        m_pfnCreateModule = reinterpret_cast<PFN_CreateModule>(m_qlib.resolve("CreateModule"));
        m_pfnDeleteModule = reinterpret_cast<PFN_DeleteModule>(m_qlib.resolve("DeleteModule"));
        QVERIFY(m_pfnCreateModule && m_pfnDeleteModule);
    }

    // Init binds the platform library, makes the log folder and writes its first line there.
    void initStartsLogging()
    {
        QDir qdirLog(QCoreApplication::applicationDirPath() + "/Log/" + QCoreApplication::applicationName());
        qdirLog.removeRecursively();  // no line of an earlier run
        QCOMPARE(reinterpret_cast<int (*)()>(m_qlib.resolve("Init"))(), 0);
        const auto fnLog = [&qdirLog] {
            QByteArray qbaLog;
            for (const QFileInfo& qfileInfo : qdirLog.entryInfoList(QDir::Files)) {
                QFile qfile(qfileInfo.filePath());
                qbaLog += qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray();
            }
            return qbaLog;
        };
        QTRY_VERIFY_WITH_TIMEOUT(fnLog().contains("BurnModule fun=Init, Compile date="), 10000);
    }

    // The module ends through DeleteModule and Release.
    void requestsAndEnd()
    {
        QObject* pModule = m_pfnCreateModule(QString());
        // No message comes of codes the module does not serve, of texts that are no module
        // message, nor of acknowledgements (70, 71) and log-outs (35) that name nothing.
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
        QCOMPARE(m_pfnDeleteModule(pModule), 0);
        QVERIFY(qptrModule.isNull());
        QCOMPARE(m_pfnDeleteModule(nullptr), 0);
        QCOMPARE(reinterpret_cast<int (*)()>(m_qlib.resolve("Release"))(), 0);
    }

private:
    QLibrary m_qlib;
    PFN_CreateModule m_pfnCreateModule = nullptr;
    PFN_DeleteModule m_pfnDeleteModule = nullptr;
};

QTEST_GUILESS_MAIN(tst_CLS_ModuleBurn)
#include "tst_CLS_ModuleBurn.moc"
