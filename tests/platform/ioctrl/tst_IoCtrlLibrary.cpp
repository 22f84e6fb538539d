// The drive library burning into pseudo-drives: the drives of the setting, what each failure
// reports and leaves behind, the disc error that waits for the operator, cancel, a drive
// held twice, the read-back check finding a damaged copy, a file over 4 GiB (a long test).
#include <QtTest>

#include <sys/stat.h>

#include "BurnSdkIOCTL.h"
#include "IsoImage.h"

namespace
{
constexpr int n_DiscMiB = 64;
constexpr int n_WaitMs = 60000;

QMutex s_mutexMessages;
QList<QJsonObject> s_qlstMessages;

void CollectMessage(const char* _szMsg, void*)
{
    QMutexLocker locker(&s_mutexMessages);
    s_qlstMessages << QJsonDocument::fromJson(_szMsg).object();
}

// The messages of a group so far.
QList<QJsonObject> MessagesOf(int _iGroupId)
{
    QMutexLocker locker(&s_mutexMessages);
    QList<QJsonObject> qlstFound;
    for (const QJsonObject& qjsonMsg : s_qlstMessages) {
        if (qjsonMsg.value("groupID").toInt() == _iGroupId)
            qlstFound << qjsonMsg;
    }
    return qlstFound;
}

bool WriteFile(const QString& _qstrPath, const QByteArray& _qbaContent, qint64 _llSparseSize = 0)
{
    QDir().mkpath(QFileInfo(_qstrPath).path());
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::WriteOnly) && qfile.write(_qbaContent) == _qbaContent.size()
           && (_llSparseSize == 0 || qfile.resize(_llSparseSize));
}

}  // namespace

class tst_IoCtrlLibrary : public QObject
{
    Q_OBJECT

    QTemporaryDir m_qtmpDir;
    QLibrary m_qlib;
    QString m_qstrSources;
    int m_iCase = 0;

    template <typename Fn>
    Fn Entry(const char* _szName)
    {
        return reinterpret_cast<Fn>(m_qlib.resolve(_szName));
    }
    // A group on the drive with the files (source below the sources folder -> disc path).
    int Group(const QString& _qstrDrive, const QList<QPair<QString, QString>>& _qlstFiles,
              const QString& _qstrCaption = "CASE")
    {
        const auto pfnSetBurnGroup = Entry<int (*)(std::vector<std::string>)>("SetBurnGroup");
        const int iGroupId = pfnSetBurnGroup({_qstrDrive.toStdString()});
        Entry<int (*)(std::string, int)>("SetMediaCaption")(_qstrCaption.toStdString(), iGroupId);
        for (const auto& prFile : _qlstFiles)
            Entry<int (*)(std::string, std::string, int)>("AddFile")(
                (m_qstrSources + prFile.first).toStdString(), prFile.second.toStdString(), iGroupId);
        return iGroupId;
    }
    int EndBurn(int _iGroupId) { return Entry<int (*)(int)>("EndBurn")(_iGroupId); }
    QJsonObject WaitForMessage(int _iGroupId, int _iCount = 1, int _iWaitMs = n_WaitMs)
    {
        static_cast<void>(QTest::qWaitFor([&] { return MessagesOf(_iGroupId).size() >= _iCount; }, _iWaitMs));
        return MessagesOf(_iGroupId).value(_iCount - 1);
    }
    QString NewImage() { return m_qtmpDir.filePath(QStringLiteral("disc%1.iso").arg(++m_iCase)); }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("BURNMODULE_LOCAL_DRIVES", " stdio:/srv/d0.iso ; /dev/sr9 ;");
        qputenv("BURNMODULE_SCAN_DRIVES", "0");
        const bool blLong = qEnvironmentVariableIsSet("BURN_TEST_LONG");
        qputenv("BURNMODULE_PSEUDO_DISC_MIB", QByteArray::number(blLong ? 8000 : n_DiscMiB));
        m_qlib.setFileName(QCoreApplication::applicationDirPath() + "/BurnSdkIOCTL.dll");
        QVERIFY2(m_qlib.load(), qPrintable(m_qlib.errorString()));
        QCOMPARE(Entry<int (*)()>("Init")(), 0);
        // The drives: the pseudo-drives of the setting, in order (no scan asked for).
        std::vector<std::string> vecDrives{"stale"};
        QCOMPARE(Entry<int (*)(std::vector<std::string>*)>("GetCDRomList")(&vecDrives), 0);
        QCOMPARE(vecDrives, (std::vector<std::string>{"stdio:/srv/d0.iso", "/dev/sr9"}));
        Entry<void (*)(PFN_IoCtrlCallBack, void*)>("SetBurnCallBack")(&CollectMessage, nullptr);
        m_qstrSources = m_qtmpDir.filePath("src/");
        QVERIFY(WriteFile(m_qstrSources + "video.mp4", QByteArray(300000, 'v')));
        QVERIFY(WriteFile(m_qstrSources + "案件/笔录.txt", "询问笔录\n"));
        QVERIFY(WriteFile(m_qstrSources + "案件/照片/1.jpg", QByteArray(5000, 'j')));
        QVERIFY(WriteFile(m_qstrSources + "big.bin", "x", qint64(n_DiscMiB + 1) << 20));
        QVERIFY(WriteFile(m_qstrSources + "slow.bin", "y", qint64(n_DiscMiB - 8) << 20));
    }
    void cleanupTestCase() { Entry<int (*)()>("UnInit")(); }

    // A burn reports its drive and code 1 once written and read back (what the disc holds,
    // as another program reads it: tests/host); a disc whose copy of a file differs
    // fails the read-back check.
    void imageWrittenAndChecked()
    {
        const QString qstrImage = NewImage();
        const int iGroupId = Group("stdio:" + qstrImage, {{"video.mp4", "/视频/video.mp4"}, {"案件", "\\案件\\"}},
                                   "CASE_2026_01");
        QCOMPARE(EndBurn(iGroupId), 0);
        QCOMPARE(EndBurn(iGroupId), -1);  // started once
        const QJsonObject qjsonMsg = WaitForMessage(iGroupId);
        QCOMPARE(qjsonMsg.value("code").toInt(), 1);
        QCOMPARE(qjsonMsg.value("burnDriver").toString(), "stdio:" + qstrImage);
        QCOMPARE(qjsonMsg.value("type").toString(), QStringLiteral("BurnState"));
        QFile qfileImage(qstrImage);
        QVERIFY(qfileImage.open(QIODevice::ReadWrite));
        const QByteArray qbaText = "询问笔录\n";
        const int iAt = qfileImage.readAll().indexOf(qbaText);
        QVERIFY(iAt > 0 && qfileImage.seek(iAt) && qfileImage.write("W") == 1 && qfileImage.flush());
        IsoDataSource* pSource = nullptr;
        QCOMPARE(iso_data_source_new_from_file(qstrImage.toUtf8().constData(), &pSource), 1);
        const QByteArray qbaMd5 = QCryptographicHash::hash(qbaText, QCryptographicHash::Md5).toHex();
        const std::map<std::string, std::string> mapMd5s{{"/案件/笔录.txt", qbaMd5.toStdString()}};
        const DiscReader fnRead = [&](long long _llOffset, char* _pBuffer, size_t _uSize) {
            return qfileImage.seek(_llOffset) && qfileImage.read(_pBuffer, qint64(_uSize)) == qint64(_uSize);
        };
        QCOMPARE(QString::fromStdString(VerifyImage(pSource, fnRead, mapMd5s)),
                 QStringLiteral("differs from its source: /案件/笔录.txt"));
        iso_data_source_unref(pSource);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dest");
        QTest::addColumn<QString>("drive");  // "ro": a read-only folder; "used": a non-blank image
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("errType");
        QTest::addColumn<bool>("imageLeft");
        QTest::newRow("source missing") << "gone.mp4" << "/f" << "" << 7 << -1 << false;
        QTest::newRow("larger than the disc") << "big.bin" << "/f" << "" << 3 << -1 << false;
        QTest::newRow("destination climbs out") << "video.mp4" << "../x" << "" << 2 << -1 << false;
        QTest::newRow("read-only drive, fixed") << "video.mp4" << "/f" << "ro" << 6 << 2 << true;
        QTest::newRow("not blank, replaced") << "video.mp4" << "/f" << "used" << 6 << 6 << true;
        QTest::newRow("drive folder missing") << "video.mp4" << "/f" << "nowhere" << 6 << 4 << false;
    }
    // What each failure reports and leaves behind; a disc error waits for the operator,
    // then the same burn goes on to the end on the changed disc.
    void failures()
    {
        QFETCH(QString, source);
        QFETCH(QString, dest);
        QFETCH(QString, drive);
        QFETCH(int, code);
        QFETCH(int, errType);
        QFETCH(bool, imageLeft);
        const QString qstrFolder = m_qtmpDir.filePath(drive);  // of "ro" and "nowhere"
        const QString qstrImage = drive == "ro" || drive == "nowhere" ? qstrFolder + "/disc.iso" : NewImage();
        const QByteArray qbaFolder = QFile::encodeName(qstrFolder);
        QVERIFY(drive != "ro" || (QDir().mkpath(qstrFolder) && chmod(qbaFolder.constData(), 0555) == 0));
        QVERIFY(drive != "used" || WriteFile(qstrImage, "old disc"));
        const int iGroupId = Group("stdio:" + qstrImage, {{source, dest}});
        QCOMPARE(EndBurn(iGroupId), 0);
        const QJsonObject qjsonMsg = WaitForMessage(iGroupId);
        QCOMPARE(qjsonMsg.value("code").toInt(), code);
        QCOMPARE(qjsonMsg.value("strVal").toObject().value("errType").toInt(), errType);
        QVERIFY(!qjsonMsg.value("strVal").toObject().value("errMsg").toString().isEmpty());
        if (drive == "nowhere") {
            QVERIFY(QDir().mkpath(qstrFolder));
            Entry<int (*)(int)>("ForceCancel")(iGroupId);  // gives up waiting for the operator
            QCOMPARE(WaitForMessage(iGroupId, 2).value("code").toInt(), 5);
        } else if (code == 6) {
            QVERIFY(drive != "ro" || chmod(qbaFolder.constData(), 0755) == 0);
            QVERIFY(drive != "used" || QFile::remove(qstrImage));
            Entry<void (*)(int)>("IOSetStatus")(1);
            QCOMPARE(WaitForMessage(iGroupId, 2).value("code").toInt(), 1);
        }
        QCOMPARE(QFileInfo(qstrImage).size() > 0, imageLeft);
    }

    // A cancelled burn reports 5 and leaves no partial image; a drive another group holds
    // is refused at once.
    void cancelAndHeldDrive()
    {
        const QString qstrImage = NewImage();
        const int iGroupId = Group("stdio:" + qstrImage, {{"slow.bin", "/slow.bin"}});
        const int iRival = Group("stdio:" + qstrImage, {{"video.mp4", "/v.mp4"}});
        QCOMPARE(EndBurn(iGroupId), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(qstrImage), n_WaitMs);
        QCOMPARE(EndBurn(iRival), 0);
        QCOMPARE(WaitForMessage(iRival).value("code").toInt(), 4);
        QCOMPARE(Entry<int (*)(int)>("ForceCancel")(iGroupId), 0);
        QCOMPARE(WaitForMessage(iGroupId).value("code").toInt(), 5);
        QVERIFY(!QFileInfo::exists(qstrImage));
        QCOMPARE(Entry<int (*)(int)>("ForceCancel")(999), -1);
    }

    // A file over 4 GiB (sparse here) is split into extents on the disc and read back
    // whole. Run by the test "tst_IoCtrlLibrary_large" only (label "long").
    void fileOver4GiB()
    {
        if (!qEnvironmentVariableIsSet("BURN_TEST_LONG"))
            QSKIP("writes a 4.5 GiB image: run as tst_IoCtrlLibrary_large");
        const qint64 llSize = (qint64(9) << 29) + 12345;  // 4.5 GiB and a bit
        QVERIFY(WriteFile(m_qstrSources + "huge.bin", "start", llSize));
        const QString qstrImage = NewImage();
        const int iGroupId = Group("stdio:" + qstrImage, {{"huge.bin", "/huge.bin"}});
        QCOMPARE(EndBurn(iGroupId), 0);
        QCOMPARE(WaitForMessage(iGroupId, 1, 800000).value("code").toInt(), 1);  // written and read back
        QProcess qprocXorriso;
        qprocXorriso.start("xorriso", {"-indev", qstrImage, "-find", "/huge.bin", "-exec", "lsdl"});
        QVERIFY(qprocXorriso.waitForFinished(n_WaitMs));
        QVERIFY(qprocXorriso.readAllStandardOutput().contains(QByteArray::number(llSize)));
        QFile::remove(qstrImage);
    }
};

QTEST_GUILESS_MAIN(tst_IoCtrlLibrary)
#include "tst_IoCtrlLibrary.moc"
