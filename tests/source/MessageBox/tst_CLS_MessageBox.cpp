// The operator dialog under the offscreen platform: how each way of closing it answers,
// Escape ignored, links and buttons built from the text's user data, the style sheet
// chosen by skin name. Also renders the dialog the operator sees to a picture.
#include <QtTest>

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "CLS_MessageBox.h"

class tst_CLS_MessageBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { CLS_MessageBox::SetSkinName(QString()); }

    void result_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("countdown");
        QTest::addColumn<QString>("click");  // object name of the button clicked; empty: none
        QTest::addColumn<int>("result");
        const QString qstrLinked = QStringLiteral(R"(请换盘<usrdata>{"linkText":{"查看详情":7}})");
        QTest::newRow("close button") << "text" << 0 << "pushButton_Close" << -1;
        QTest::newRow("countdown runs out") << "text" << 1 << "" << -2;
        QTest::newRow("main button") << "text" << 5 << "pushButton_main" << 0;
        QTest::newRow("third button") << "text" << 0 << "2" << 2;
        QTest::newRow("link button") << qstrLinked << 0 << "MsgLinkText" << 7;
    }
    // Escape first: it must leave the dialog open, whatever closes it afterwards. A watchdog
    // ends a dialog the click failed to close, so a fault cannot hang the test.
    void result()
    {
        QFETCH(QString, text);
        QFETCH(int, countdown);
        QFETCH(QString, click);
        QFETCH(int, result);
        bool blOpenAfterEscape = false;
        QTimer::singleShot(0, [&] {
            auto* pDialog = qobject_cast<CLS_MessageBox*>(QApplication::activeModalWidget());
            QVERIFY(pDialog);
            QTest::keyClick(pDialog, Qt::Key_Escape);
            blOpenAfterEscape = pDialog->isVisible();
            auto* pButton = pDialog->findChild<QAbstractButton*>(click);
            QVERIFY(click.isEmpty() || pButton);
            if (pButton)
                QTest::mouseClick(pButton, Qt::LeftButton);
        });
        QTimer::singleShot(20000, [] {
            if (QWidget* pModal = QApplication::activeModalWidget())
                pModal->close();
        });
        const QStringList qlstButtons = {"确定", "取消", "重试"};
        const int iIcon = CLS_MessageBox::n_Icon_Warning;
        QCOMPARE(CLS_MessageBox::Show(iIcon, nullptr, "提示", text, qlstButtons, countdown), result);
        QVERIFY(blOpenAfterEscape);
    }

    // The plain part of the text is shown; the user data gives the links and the buttons'
    // minimum width; buttons fill rows of four. The skin name picks the style sheet.
    void layout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<int>("minWidth");
        QTest::addColumn<QList<int>>("rowSizes");
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("qss");  // below the application folder; empty: none loaded
        QTest::newRow("nine buttons, no skin") << "放入光盘" << 9 << QStringList() << 80 << QList<int>{4, 4, 1}
                                               << "" << "/MessageBox/MessageBox.qss";
        QTest::newRow("one link, wide buttons, skinTwo")
            << R"(放入光盘<usrdata>{"linkText":{"详情":7},"PushbtnWidth":120})" << 2 << QStringList{"详情"}
            << 120 << QList<int>{2} << "skinTwo" << "/MessageBox_Kv/skinTwo/MessageBox.qss";
        QTest::newRow("two links, width below 1, skin not installed")
            << R"(放入光盘<usrdata>{"linkText":{"b":2,"a":1},"PushbtnWidth":0})" << 1 << QStringList{"a", "b"}
            << 80 << QList<int>{1} << "skinNone" << "";
    }
    void layout()
    {
        QFETCH(QString, text);
        QFETCH(int, buttons);
        QFETCH(QStringList, links);
        QFETCH(int, minWidth);
        QFETCH(QList<int>, rowSizes);
        QFETCH(QString, skin);
        QFETCH(QString, qss);
        CLS_MessageBox::SetSkinName(skin);
        CLS_MessageBox dialog(nullptr, "提示", text, 0, "default");
        QFile qfile(QCoreApplication::applicationDirPath() + qss);
        QVERIFY(qss.isEmpty() || qfile.open(QIODevice::ReadOnly));
        QCOMPARE(dialog.styleSheet(), qss.isEmpty() ? QString() : QString::fromUtf8(qfile.readAll()));
        QStringList qlstLabels;
        for (int iButton = 0; iButton < buttons; ++iButton)
            qlstLabels << QString::number(iButton);
        dialog.AddButtons(qlstLabels);
        QCOMPARE(dialog.findChild<QLabel*>("label_Show")->text(), QStringLiteral("放入光盘"));
        QStringList qlstLinks;
        for (const QPushButton* pLink : dialog.findChildren<QPushButton*>("MsgLinkText"))
            qlstLinks << pLink->text();
        QCOMPARE(qlstLinks, links);
        QWidget* pButtonRows = dialog.findChild<QPushButton*>("pushButton_main")->parentWidget();
        const auto* pGrid = pButtonRows->findChild<QGridLayout*>();
        QList<int> qlstRowSizes;
        for (int iIndex = 0; iIndex < pGrid->count(); ++iIndex) {
            int iRow = 0, iColumn = 0, iRowSpan = 0, iColumnSpan = 0;
            pGrid->getItemPosition(iIndex, &iRow, &iColumn, &iRowSpan, &iColumnSpan);
            auto* pButton = qobject_cast<QPushButton*>(pGrid->itemAt(iIndex)->widget());
            QCOMPARE(pButton->property("btnIndex").toInt(), iIndex);
            QCOMPARE(pButton->minimumWidth(), minWidth);
            if (iRow == qlstRowSizes.size())
                qlstRowSizes << 0;
            ++qlstRowSizes[iRow];
        }
        QCOMPARE(qlstRowSizes, rowSizes);
    }

    // What the operator sees after a disc is burned, saved beside the test program.
    void picture()
    {
        CLS_MessageBox::SetSkinName("skinTwo");
        CLS_MessageBox dialog(nullptr, "提示", "待出盘：2 张。放入光盘后，点击‘确定’将继续刻录！", 0, "default");
        dialog.AddButtons({"确定"});
        dialog.SetIcon(CLS_MessageBox::n_Icon_Information);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString qstrPath = QCoreApplication::applicationDirPath() + "/message-box.png";
        QVERIFY(dialog.grab().save(qstrPath));
    }
};

QTEST_MAIN(tst_CLS_MessageBox)
#include "tst_CLS_MessageBox.moc"
