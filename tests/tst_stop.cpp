// SPDX-License-Identifier: GPL-3.0-or-later
// A kill signal in the middle of a rename through the window: the run stops
// between two renames, the frame closes as through its close box, and the
// journal gives every old name back.

#include <csignal>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "busywork.h"
#include "form1.h"
#include "frmmain.h"
#include "runhistory.h"
#include "seams.h"
#include "stopsignals.h"
#include "testfolder.h"
#include "windowtest.h"

using namespace talvence;

class tst_stop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { test::use_private_home(); }

    void sigterm_during_a_rename_then_restore()
    {
        TestFolder folder;
        for (int i = 0; i < 20000; ++i)
            folder.file((i % 3 ? "Foto " : "M\xfcller ") + QByteArray::number(i) + ".jpg");
        const auto before = folder.state();
        QVERIFY(QDir::setCurrent(QFile::decodeName(folder.path())));
        QStringList messages;
        seams().message = [&](const QString &text) { messages << text; };

        auto frame = std::make_unique<frmMain>();
        frame->show();
        int stops = 0;
        install_stop_signals([&] {
            ++stops;
            frame->close();
        });
        Form1 *form = frame->show_rename_window();
        bool raised = false;
        connect(&Work::state(), &Work::progress, this, [&](const QString &text) {
            if (!raised && !text.isEmpty()) {
                raised = true;
                ::raise(SIGTERM);
            }
        });
        QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("rename_standard_button")),
                          Qt::LeftButton);
        QVERIFY(raised);
        QTRY_VERIFY(!frame->isVisible());
        QCOMPARE(stops, 0); // the frame closed by itself once the run had stopped
        QVERIFY(folder.state() != before);
        QCOMPARE(find_interrupted_runs(folder.path()).size(), std::size_t(1));

        // What the run left, the journal gives back.
        const RestoreReport report =
            restore_interrupted_run(folder.path(), find_interrupted_runs(folder.path()).front());
        QVERIFY(report.finished && !report.problems());
        QVERIFY(folder.state() == before);
        QVERIFY(messages.isEmpty());
        Work::state().disconnect(this);
        seams() = Seams::defaults();
    }

    // A stop signal while the prefix message waits for its OK: the message
    // goes and the program ends, as a logout expects.
    void sigterm_while_the_prefix_message_is_up()
    {
        TestFolder folder;
        folder.file("a.txt");
        QVERIFY(QDir::setCurrent(QFile::decodeName(folder.path())));
        bool shown = false;
        seams().message = [&](const QString &text) {
            QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Talvence"), text, QMessageBox::Ok);
            QTimer::singleShot(0, &box, [&] {
                shown = box.isVisible();
                ::raise(SIGTERM);
            });
            box.exec();
        };
        auto frame = std::make_unique<frmMain>();
        frame->show();
        install_stop_signals([&] { frame->close(); });
        Form1 *form = frame->show_rename_window();
        form->findChild<QRadioButton *>(QStringLiteral("Option2"))->click();
        form->findChild<QLineEdit *>(QStringLiteral("Textfeld_format"))->setText(QString(236, 'p'));
        QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("rename_standard_button")),
                          Qt::LeftButton);
        QVERIFY(shown);
        QTRY_VERIFY(!frame->isVisible());
        QCOMPARE(folder.content("a.txt"), QByteArray("content of a.txt"));
        seams() = Seams::defaults();
    }
};

QTEST_MAIN(tst_stop)
#include "tst_stop.moc"
