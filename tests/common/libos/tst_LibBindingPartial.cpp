// A library that lacks one entry still binds: that entry's forwarder alone reports and
// fails, the others reach the library. The stand-in here is the recording libos
// without os_mutex_lock.
#include <QtTest>

#include "BindingTestSupport.h"
#include "BurnLibBinding.h"
#include "BurnTestRecorder.h"

namespace
{
QStringList Records()
{
    QStringList qstrlistRecords;
    for (const std::string& strRecord : BurnTestTakeRecords())
        qstrlistRecords << QString::fromStdString(strRecord);
    return qstrlistRecords;
}
}  // namespace

class TestLibBindingPartial : public QObject
{
    Q_OBJECT

private slots:
    void missingEntryFailsAloneOthersWork();
};

void TestLibBindingPartial::missingEntryFailsAloneOthersWork()
{
    CLS_QtLogCapture qtLog;
    QCOMPARE(libos_init(BURN_TEST_LIB_DIR "/partial"), 1);
    QVERIFY(qtLog.Take().isEmpty());
    BurnTestTakeRecords();

    int iMutex = 0;
    QCOMPARE(os_mutex_lock(&iMutex), 0);
    QCOMPARE(qtLog.Take(), QStringList{"os_mutex_lock == NULL\r\n"});
    QCOMPARE(Records(), QStringList());

    QCOMPARE(os_mutex_unlock(&iMutex), BurnTestResult<int>("os_mutex_unlock"));
    QCOMPARE(os_mutex_create(), BurnTestResult<void*>("os_mutex_create"));
    QVERIFY(qtLog.Take().isEmpty());
    const QString qstrMutex = QString::fromStdString(BurnTestDescribe(static_cast<void*>(&iMutex)));
    QCOMPARE(Records(), (QStringList{"os_mutex_unlock(" + qstrMutex + ")", "os_mutex_create()"}));
}

QTEST_GUILESS_MAIN(TestLibBindingPartial)
#include "tst_LibBindingPartial.moc"
