// Jobs on the machine's own drives (kind 0) through burnhost --stdio, burning into an
// image-file drive, each run in its own application folder: the final status, what
// xorriso reads off the image, and the failures the operator sees on the way.
#include <QtTest>

#include <QCryptographicHash>

#include <sys/stat.h>

namespace
{
constexpr int n_WaitMs = 60000;

QByteArray Request(const QString& _qstrCmd, QJsonObject _qjsonParam)
{
    _qjsonParam.insert("JobId", "L1");
    const QJsonObject qjsonMsg{{"token", "tok"}, {"platform", "test"}, {"sender", "tester"},
                               {"msgId", "L1-" + _qstrCmd}, {"cmdtype", "request"},
                               {"param", QJsonObject{{"cmd", _qstrCmd}, {"ret", 0}, {"param", _qjsonParam}}}};
    return QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact) + '\n';
}

bool WriteFile(const QString& _qstrPath, const QByteArray& _qbaContent)
{
    QDir().mkpath(QFileInfo(_qstrPath).path());
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::WriteOnly) && qfile.write(_qbaContent) == _qbaContent.size();
}

QByteArray Md5(const QByteArray& _qbaContent)
{
    return QCryptographicHash::hash(_qbaContent, QCryptographicHash::Md5).toHex();
}
}  // namespace

class tst_LocalDriveJobs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_qtmpDir;
    QProcess m_qproc;
    QByteArray m_qbaOut;

    // The application folder: the host, the module, the libraries and dialog files.
    QString MakeAppDir()
    {
        const QString qstrAppDir = m_qtmpDir.filePath("app");
        const QString qstrBin = QCoreApplication::applicationDirPath();
        for (const char* szFile : {"/burnhost", "/libBurnModule.so", "/win32_libos.dll", "/BurnSdkIOCTL.dll",
                                   "/alivemsg.dll", "/MessageBox_Kv/skinTwo/MessageBox.qss"}) {
            QDir().mkpath(QFileInfo(qstrAppDir + szFile).path());
            QFile::copy(qstrBin + szFile, qstrAppDir + szFile);
        }
        return qstrAppDir;
    }
    // The module's field of the reply to the command, once it is there.
    QJsonObject WaitForReply(const QString& _qstrReplyCmd)
    {
        QJsonObject qjsonFound;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                m_qbaOut += m_qproc.readAllStandardOutput();
                for (const QByteArray& qbaLine : m_qbaOut.split('\n')) {
                    const QString qstrData = QJsonDocument::fromJson(qbaLine).object().value("data").toString();
                    const QJsonObject qjsonModule =
                        QJsonDocument::fromJson(qstrData.toUtf8()).object().value("param").toObject();
                    if (qjsonModule.value("cmd") == _qstrReplyCmd)
                        qjsonFound = qjsonModule.value("param").toObject();
                }
                return !qjsonFound.isEmpty();
            },
            n_WaitMs));
        return qjsonFound;
    }
    QString Log(const QString& _qstrAppDir)
    {
        QString qstrLog;
        QDirIterator it(_qstrAppDir + "/Log", QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile qfile(it.next());
            if (qfile.open(QIODevice::ReadOnly))
                qstrLog += QString::fromUtf8(qfile.readAll());
        }
        return qstrLog;
    }

private Q_SLOTS:
    void job_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errMsg");
        QTest::newRow("burned") << "" << 3 << "";
        QTest::newRow("source missing") << "missing" << 4 << "源文件不可读";
        QTest::newRow("larger than the disc") << "large" << 4 << "未知错误";
        QTest::newRow("read-only drive, fixed by the operator") << "read-only" << 3 << "";
    }
    // ApplyBurn to the final BurnStatusReply; a burned image holds the files under their
    // names (nested folders, Chinese names) with their sizes and MD5s, and the title as
    // volume id. An operator dialog closes by itself after the countdown set.
    void job()
    {
        QFETCH(QString, failure);
        QFETCH(int, status);
        QFETCH(QString, errMsg);
        const QString qstrAppDir = MakeAppDir();
        const QString qstrSrc = m_qtmpDir.filePath("src/");
        const QByteArray qbaVideo(failure == "large" ? 2 << 20 : 300000, 'v');
        QVERIFY(failure == "missing" || WriteFile(qstrSrc + "video.mp4", qbaVideo));
        QVERIFY(WriteFile(qstrSrc + "案卷/证据/清单.txt", "一、现场照片\n"));
        const QString qstrDriveDir = m_qtmpDir.filePath("drive");
        QVERIFY(QDir().mkpath(qstrDriveDir));
        if (failure == "read-only")
            QVERIFY(chmod(QFile::encodeName(qstrDriveDir).constData(), 0555) == 0);
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert("BURNMODULE_LOCAL_DRIVES", "stdio:" + qstrDriveDir + "/disc.iso");
        qenv.insert("BURNMODULE_SCAN_DRIVES", "0");
        qenv.insert("BURNMODULE_OPERATOR_TIMEOUT", "1");
        qenv.insert("BURNMODULE_PSEUDO_DISC_MIB", failure == "large" ? "1" : "100");
        qenv.insert("BURNMODULE_TIME_SCALE", "0.05");
        qenv.insert("TMPDIR", m_qtmpDir.path());
        qenv.remove("DISPLAY");
        qenv.remove("QT_QPA_PLATFORM");
        m_qproc.setProcessEnvironment(qenv);
        m_qproc.start(qstrAppDir + "/burnhost", {"--stdio", "--data-dir", m_qtmpDir.filePath("data")});
        m_qproc.write(Request("ApplyBurn", {{"BurnDev", 0}, {"CopyCount", 1}}));
        QCOMPARE(WaitForReply("ApplyBurnReply").value("ret").toInt(), 0);
        m_qproc.write(Request("StartBurn", {{"CDType", "DVD"}, {"CDTitle", "CASE_42"}}));
        QCOMPARE(WaitForReply("StartBurnReply").value("ret").toInt(), 0);
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", qstrSrc + "video.mp4"}, {"DesFile", "/视频/video.mp4"}},
                                    QJsonObject{{"srcFile", qstrSrc + "案卷"}, {"DesFile", "/案卷"}}};
        m_qproc.write(Request("AddFile", {{"FileList", qjsonFiles}}));
        QCOMPARE(WaitForReply("AddFileReply").value("ret").toInt(), 0);
        m_qproc.write(Request("DoBurn", {}));
        QCOMPARE(WaitForReply("DoBurnReply").value("ret").toInt(), 0);
        if (failure == "read-only") {
            QTRY_VERIFY_WITH_TIMEOUT(Log(qstrAppDir).contains("刻录组的光盘 只读,请换盘。"), n_WaitMs);
            QVERIFY(chmod(QFile::encodeName(qstrDriveDir).constData(), 0755) == 0);
        }
        const QJsonObject qjsonFinal = WaitForReply("BurnStatusReply");
        QCOMPARE(qjsonFinal.value("status").toInt(), status);
        QCOMPARE(qjsonFinal.value("errMsg").toString(), errMsg);
        m_qproc.terminate();
        QVERIFY(m_qproc.waitForFinished(n_WaitMs));
        if (status != 3)
            return;
        QProcess xorriso;
        xorriso.start("xorriso", {"-indev", qstrDriveDir + "/disc.iso", "-pvd_info", "-find", "/", "-type", "f",
                                  "-exec", "lsdl", "--", "-osirrox", "on", "-extract", "/", m_qtmpDir.filePath("out")});
        QVERIFY(xorriso.waitForFinished(n_WaitMs));
        const QString qstrSeen = QString::fromUtf8(xorriso.readAllStandardOutput());
        QVERIFY2(qstrSeen.contains("Volume Id    : CASE_42"), qPrintable(qstrSeen));
        QVERIFY2(qstrSeen.contains(QRegularExpression(" 300000 .* '/视频/video.mp4'")), qPrintable(qstrSeen));
        QVERIFY2(qstrSeen.contains(QRegularExpression(" 19 .* '/案卷/证据/清单.txt'")), qPrintable(qstrSeen));
        QFile qfileRead(m_qtmpDir.filePath("out/视频/video.mp4"));
        QVERIFY(qfileRead.open(QIODevice::ReadOnly));
        QCOMPARE(Md5(qfileRead.readAll()), Md5(qbaVideo));
    }
    void cleanup()
    {
        m_qproc.kill();
        m_qproc.waitForFinished();
        m_qbaOut.clear();
        QDir(m_qtmpDir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_qtmpDir.path()));
    }
};

QTEST_GUILESS_MAIN(tst_LocalDriveJobs)
#include "tst_LocalDriveJobs.moc"
