// burnhost as a program: with its module in a folder without the platform library it
// still answers (Init says what is missing, no log folder is made), SIGTERM ends it
// with 0, and bad options with 2. Whole jobs over standard streams: tests/simulators.
#include <QtTest>

class tst_burnhost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        m_qproc.kill();
        m_qproc.waitForFinished(5000);
    }

    void runsWithoutPlatformLibrary()
    {
        QTemporaryDir qtmpDir;
        for (const char* szFile : {"/burnhost", "/libBurnModule.so"})
            QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + szFile, qtmpDir.path() + szFile));
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("TMPDIR"), qtmpDir.path());
        qenv.insert(QStringLiteral("BURNMODULE_PUBLISHER_ROOT"), qtmpDir.filePath(QStringLiteral("pub")));
        m_qproc.setProcessEnvironment(qenv);
        m_qproc.start(qtmpDir.filePath(QStringLiteral("burnhost")), {"--stdio", "--data-dir", qtmpDir.path()});
        m_qproc.write(R"({"msgId":"m1","param":{"cmd":"ApplyBurn","param":{"JobId":"J1","BurnDev":2}}})" "\n");
        QByteArray qbaOut;
        QTRY_VERIFY_WITH_TIMEOUT((qbaOut += m_qproc.readAllStandardOutput()).contains(R"(ApplyBurnReply)"), 20000);
        QVERIFY(m_qproc.readAllStandardError().contains("!libos_init--"));
        m_qproc.terminate();
        QVERIFY(m_qproc.waitForFinished(20000));
        QCOMPARE(m_qproc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_qproc.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(qtmpDir.filePath(QStringLiteral("Log"))));
    }

    void refusesBadOptions()
    {
        for (const QStringList& qstrlstArgs : {QStringList{}, QStringList{"--stdio", "--listen", "1"},
                                               QStringList{"--listen", "nonsense:port"}}) {
            m_qproc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/burnhost"), qstrlstArgs);
            QVERIFY(m_qproc.waitForFinished(20000));
            QCOMPARE(m_qproc.exitCode(), 2);
        }
    }

private:
    QProcess m_qproc;
};

QTEST_GUILESS_MAIN(tst_burnhost)
#include "tst_burnhost.moc"
