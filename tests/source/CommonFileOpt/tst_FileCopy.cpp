// The file copy helper, over every method: contents and permission bits arrive, a
// destination that exists, a missing source and a folder are refused without leaving
// a file; and (long run) a sparse file over 4 GiB copied whole by the automatic choice.
#include <QtTest>

#include "FileOpt/FileCopy.h"
#include "TestFiles.h"

namespace
{
const QList<QPair<const char*, FileCopyMethod>> s_qlstMethods{{"auto", FileCopyMethod::Auto},
                                                                {"QFile", FileCopyMethod::QtCopy},
                                                                {"sendfile", FileCopyMethod::SendFile},
                                                                {"read-write", FileCopyMethod::ReadWrite}};

QByteArray Pattern(qint64 _llSize)
{
    QByteArray qbaData(static_cast<int>(_llSize), '\0');
    for (int i = 0; i < qbaData.size(); ++i)
        qbaData[i] = char(i * 7 % 251);
    return qbaData;
}

}  // namespace

Q_DECLARE_METATYPE(FileCopyMethod)

class tst_FileCopy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_qtmpDir;
    QString Path(const QString& _qstrName) const { return m_qtmpDir.filePath(_qstrName); }

private Q_SLOTS:
    void copies_data()
    {
        QTest::addColumn<FileCopyMethod>("method");
        QTest::addColumn<QString>("scenario");
        for (const auto& method : s_qlstMethods) {
            for (const char* szCase : {"empty", "small", "over the buffer", "destination exists", "source missing",
                                       "source is a folder"})
                QTest::addRow("%s, %s", method.first, szCase) << method.second << QString(szCase);
        }
    }
    void copies()
    {
        QFETCH(FileCopyMethod, method);
        QFETCH(QString, scenario);
        const QString qstrSrc = Path(QTest::currentDataTag() + QStringLiteral(".src"));
        const QString qstrDst = Path(QTest::currentDataTag() + QStringLiteral(".dst"));
        const QMap<QString, qint64> qmapSizes{{"empty", 0}, {"small", 4099}, {"over the buffer", (3 << 20) + 7}};
        const QByteArray qbaData = Pattern(qmapSizes.value(scenario, 100));
        if (scenario == "source is a folder")
            QVERIFY(QDir().mkpath(qstrSrc));
        else if (scenario != "source missing")
            QVERIFY(WriteTestFile(qstrSrc, qbaData));
        QVERIFY(QFile::setPermissions(qstrSrc, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup)
                || scenario == "source missing");
        if (scenario == "destination exists")
            QVERIFY(WriteTestFile(qstrDst, "kept"));
        FileCopyError stError;
        const bool blCopied = CopyFileContents(qstrSrc, qstrDst, &stError, method);
        QCOMPARE(blCopied, qmapSizes.contains(scenario));
        if (!blCopied) {
            QVERIFY(!stError.qstrText.isEmpty() && stError.iFileError != 0);
            QCOMPARE(QFileInfo::exists(qstrDst), scenario == "destination exists");
            QVERIFY(scenario != "destination exists" || ReadTestFile(qstrDst) == "kept");
            return;
        }
        QCOMPARE(ReadTestFile(qstrDst), qbaData);
        QCOMPARE(QFile::permissions(qstrDst), QFile::permissions(qstrSrc));
    }

    // Offsets past 4 GiB: bytes at both ends and past the 32-bit boundary arrive.
    void largeFile()
    {
        if (!QCoreApplication::arguments().contains(QStringLiteral("largeFile")))
            QSKIP("a 4 GiB copy: run as tst_FileCopy largeFile (CTest label long)");
        const qint64 llSize = (4LL << 30) + 4099;
        const QString qstrSrc = Path("large.src");
        QFile qfile(qstrSrc);
        QVERIFY(qfile.open(QIODevice::WriteOnly) && qfile.resize(llSize));
        const QList<qint64> qlstMarks{0, (4LL << 30) - 1, llSize - 3};
        for (const qint64 llAt : qlstMarks)
            QVERIFY(qfile.seek(llAt) && qfile.write("mark", 3) == 3);
        qfile.close();
        FileCopyError stError;
        QVERIFY2(CopyFileContents(qstrSrc, Path("large.dst"), &stError), qPrintable(stError.qstrText));
        QFile::remove(qstrSrc);
        QFile qfileDst(Path("large.dst"));
        QVERIFY(qfileDst.open(QIODevice::ReadOnly));
        QCOMPARE(qfileDst.size(), llSize);
        for (const qint64 llAt : qlstMarks)
            QVERIFY(qfileDst.seek(llAt) && qfileDst.read(3) == "mar");
    }
};

QTEST_GUILESS_MAIN(tst_FileCopy)
#include "tst_FileCopy.moc"
