// Loads the plug-in the way the host does (by file name, entries by name, signals and
// slot by signature text) and checks its interface, the requests that give no message,
// and its end. Its start-up and the requests it serves: tests/simulators; its start
// without the platform library: tests/host.
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

        // No message comes of codes the module does not serve, of texts that are no module
        // message, nor of acknowledgements (70, 71) and log-outs (35) that name nothing.
        QSignalSpy spyMsg(pModule, SIGNAL(SignSendMsgWithWebSocket(int, QString)));
        QSignalSpy spyModMsg(pModule, SIGNAL(SignMODSendMsgWithWebSocket(int, QString)));
        const QString qstrApply = QStringLiteral(R"({"msgId":"1","param":{"cmd":"ApplyBurn","param":{"JobId":"x"}}})");
        for (const auto& pairRequest : QList<QPair<int, QString>>{{18, qstrApply}, {36, qstrApply}, {72, qstrApply},
                                                                   {0, qstrApply}, {17, "not json"}, {17, "[]"},
                                                                   {35, "{}"}, {70, "{}"}, {71, "not json"}})
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
