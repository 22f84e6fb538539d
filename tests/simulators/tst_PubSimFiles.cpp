// The simulator's failure rules and command line, fed from tables. How it reads orders
// and what it writes (state lines, result and status files): tst_PublisherEndToEnd.
#include <QtTest>

#include "PubSimOptions.h"

class tst_PubSimFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failRules_data()
    {
        QTest::addColumn<QStringList>("specs");
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("code");
        QTest::newRow("exact id, default code") << QStringList{"J1"} << "J1" << "SIM0001";
        QTest::newRow("whole id only") << QStringList{"J1"} << "J10" << "";
        QTest::newRow("question mark") << QStringList{"J?=X"} << "J12" << "";
        QTest::newRow("first match counts") << QStringList{"A*=1", "*=2"} << "AB" << "1";
        QTest::newRow("later rule") << QStringList{"A*=1", "*=2"} << "BA" << "2";
        QTest::newRow("code after the last equals sign") << QStringList{"a=b=C"} << "a=b" << "C";
    }
    void failRules()
    {
        QFETCH(QStringList, specs);
        QFETCH(QString, jobId);
        QFETCH(QString, code);
        QVector<PubSimFailRule> vecRules(specs.size());
        for (int iRule = 0; iRule < specs.size(); ++iRule)
            QVERIFY(ParseFailRule(specs[iRule], vecRules[iRule]));
        QCOMPARE(FailCodeFor(vecRules, jobId), code);
    }

    void refusedOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("negative step") << QStringList{"--step-ms", "-1"} << "--step-ms";
        QTest::newRow("max jobs zero") << QStringList{"--max-jobs", "0"} << "--max-jobs";
        QTest::newRow("empty fail pattern") << QStringList{"--fail", "=E1"} << "--fail";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
        QTest::newRow("stray argument") << QStringList{"extra"} << "extra";
    }
    void refusedOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        PubSimOptions stOptions;
        QString qstrError;
        QVERIFY(!ParsePubSimOptions(QStringList{"pubsim"} + args, stOptions, qstrError));
        QVERIFY2(qstrError.contains(error), qPrintable(qstrError));
    }

    // A folder option overrides --root; --once stops after one job; step 0 is allowed.
    void acceptedOptions()
    {
        PubSimOptions stOptions;
        QString qstrError;
        QVERIFY(ParsePubSimOptions({"pubsim", "--root", "/r/x/", "--primera-dir", "/p", "--step-ms", "0", "--once"},
                                   stOptions, qstrError));
        QCOMPARE(stOptions.qstrEpsonDir, QStringLiteral("/r/x/EPSON/TDBridge/Orders/"));
        QCOMPARE(stOptions.qstrPrimeraDir, QStringLiteral("/p/"));
        QCOMPARE(stOptions.iStepMs, 0);
        QCOMPARE(stOptions.iMaxJobs, 1);
        QCOMPARE(stOptions.qstrPublisher, QStringLiteral("PP-100II 1"));
    }
};

QTEST_GUILESS_MAIN(tst_PubSimFiles)
#include "tst_PubSimFiles.moc"
