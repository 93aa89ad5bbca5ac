// SPDX-License-Identifier: GPL-3.0-or-later
// The frame and the rename window as a user meets them: real clicks and keys
// through the X server, a real window manager (run through run_x11.sh). Each
// test checks what the user would see afterwards.

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QWindow>
#include <QtTest>

#include "betrachtungsprog_wahl.h"
#include "bildbetrachter.h"
#include "busywork.h"
#include "filelistmodel.h"
#include "form1.h"
#include "frmmain.h"
#include "help.h"
#include "hilfefenster.h"
#include "plaintextview.h"
#include "richtextbox.h"
#include "seams.h"
#include "testfolder.h"
#include "textbetrachter.h"
#include "viewers.h"
#include "windowtest.h"
#include "xuser.h"

using namespace talvence;

namespace {

constexpr int kWait = 20000; // ms; generous, the machines are shared

QStringList shown(const QListView *list)
{
    QStringList out;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        out << list->model()->index(r, 0).data().toString();
    return out;
}

// The managed windows from bottom to top, as the window manager stacks them.
QList<quint64> stacking()
{
    QProcess p;
    p.start(QStringLiteral("xprop"),
            {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    if (!p.waitForFinished(kWait))
        return {};
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    QList<quint64> ids;
    static const QRegularExpression id(QStringLiteral("0x[0-9a-fA-F]+"));
    for (auto it = id.globalMatch(out); it.hasNext();)
        ids << it.next().captured().toULongLong(nullptr, 16);
    return ids;
}

} // namespace

class tst_windows_x11 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> folder_;
    std::unique_ptr<frmMain> frame_;
    QStringList messages_;
    int terminations_ = 0;

    QAction *start() { return frame_->findChild<QAction *>(QStringLiteral("start")); }
    // "Start" pressed in the menu bar; the rename window it brings.
    Form1 *press_start()
    {
        QMenuBar *bar = frame_->menuBar();
        if (!XUser::click(bar, bar->actionGeometry(start()).center()))
            return nullptr;
        Form1 *form = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                form = frame_->findChild<Form1 *>(QStringLiteral("Form1"));
                return form && form->isVisible() && frame_->mdi_area()->activeSubWindow() == form;
            },
            kWait);
        return form;
    }
    template <typename T> static T *child(QWidget *w, const char *name)
    {
        return w->findChild<T *>(QLatin1String(name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "needs a real X server: run it through tests/run_x11.sh");
        if (!XUser::available())
            QSKIP("xdotool is not installed (package xdotool)");
        test::use_private_home();
    }

    void init()
    {
        folder_ = std::make_unique<TestFolder>();
        folder_->file("b.txt");
        folder_->file("a.txt");
        QVERIFY(QDir::setCurrent(QFile::decodeName(folder_->path())));
        messages_.clear();
        terminations_ = 0;
        seams().terminate = [this] { ++terminations_; };
        seams().message = [this](const QString &text) { messages_ << text; };
        frame_ = std::make_unique<frmMain>();
        frame_->place_on_screen();
        frame_->show();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get(), kWait));
    }

    void cleanup()
    {
        frame_.reset();
        seams() = Seams::defaults();
        folder_.reset();
    }

    // One click on the close box closes the window, also right after a click
    // on its title bar; Ctrl+F4 closes it too; each "Start" brings a fresh one.
    void close_box_and_ctrl_f4()
    {
        QPointer<Form1> form = press_start();
        QVERIFY(form);
        // Something typed into the prefix box must not outlive the window.
        QVERIFY(XUser::click(child<QRadioButton>(form, "Option2")));
        auto *prefix = child<QLineEdit>(form, "Textfeld_format");
        QTRY_VERIFY_WITH_TIMEOUT(prefix->isVisible(), kWait);
        QVERIFY(XUser::click(prefix));
        QVERIFY(XUser::type(QStringLiteral("Urlaub ")));
        QTRY_COMPARE_WITH_TIMEOUT(prefix->text(), QStringLiteral("Urlaub "), kWait);

        const QRect caption = XUser::title_bar_part(form, QStyle::SC_TitleBarLabel);
        const QRect close_box = XUser::title_bar_part(form, QStyle::SC_TitleBarCloseButton);
        QVERIFY(caption.isValid() && close_box.isValid());
        QVERIFY(XUser::click(form, caption.center()));
        QVERIFY(XUser::click(form, close_box.center()));
        QTRY_VERIFY_WITH_TIMEOUT(!form, kWait);

        form = press_start();
        QVERIFY(form);
        QVERIFY(child<QRadioButton>(form, "Option1")->isChecked());
        QVERIFY(!child<QLineEdit>(form, "Textfeld_format")->isVisible());
        QCOMPARE(child<QLineEdit>(form, "Textfeld_format")->text(), QString());

        QVERIFY(XUser::click(form, XUser::title_bar_part(form, QStyle::SC_TitleBarLabel).center()));
        QVERIFY(XUser::key(QStringLiteral("ctrl+F4")));
        QTRY_VERIFY_WITH_TIMEOUT(!form, kWait);
        QVERIFY(press_start());
    }

    // A click on an entry opens the file, also on the one already selected,
    // and so does a move of the selection by keyboard; the viewer choice's
    // buttons and every window's close box answer the first click. Then the
    // numbering button renames and the quit button ends the program.
    void opening_files_and_the_buttons()
    {
        folder_->file("c.md", "# Notiz");
        QImage picture(30, 20, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(QFile::decodeName(folder_->at("d.bmp")), "BMP"));
        Form1 *form = press_start();
        QVERIFY(form);
        auto *list3 = child<QListView>(form, "list3");
        QCOMPARE(shown(list3), (QStringList{"a.txt", "b.txt", "c.md", "d.bmp"}));
        Viewers *viewers = frame_->viewers();
        const auto entry = [&](int row) {
            return list3->visualRect(list3->model()->index(row, 0)).center();
        };
        const auto text = [&] {
            return viewers->text_viewer() ? viewers->text_viewer()->box()->text() : QString();
        };
        const auto close_box = [](QMdiSubWindow *w) {
            return XUser::click(w,
                                XUser::title_bar_part(w, QStyle::SC_TitleBarCloseButton).center());
        };
        const auto activate = [&] {
            return XUser::click(form,
                                XUser::title_bar_part(form, QStyle::SC_TitleBarLabel).center());
        };

        QVERIFY(XUser::click(list3->viewport(), entry(0)));
        QTRY_COMPARE_WITH_TIMEOUT(text(), QStringLiteral("content of a.txt"), kWait);
        QPointer<textbetrachter> viewer = viewers->text_viewer();
        QVERIFY(close_box(viewer));
        QTRY_VERIFY_WITH_TIMEOUT(!viewer, kWait);
        // The selected entry again, away from the first click: no double click.
        QVERIFY(XUser::click(list3->viewport(), entry(0) + QPoint(40, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(text(), QStringLiteral("content of a.txt"), kWait);
        QVERIFY(activate());
        QVERIFY(XUser::key(QStringLiteral("Down")));
        QTRY_COMPARE_WITH_TIMEOUT(text(), QStringLiteral("content of b.txt"), kWait);

        QVERIFY(activate());
        QVERIFY(XUser::key(QStringLiteral("Down")));
        QTRY_VERIFY_WITH_TIMEOUT(viewers->viewer_choice(), kWait);
        QPointer<Betrachtungsprog_wahl> choice = viewers->viewer_choice();
        QVERIFY(XUser::click(child<QPushButton>(choice, "Command_text")));
        QTRY_COMPARE_WITH_TIMEOUT(text(), QStringLiteral("# Notiz"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!choice, kWait);
        QVERIFY(XUser::click(list3->viewport(), entry(2)));
        QTRY_VERIFY_WITH_TIMEOUT(viewers->viewer_choice(), kWait);
        choice = viewers->viewer_choice();
        QVERIFY(close_box(choice));
        QTRY_VERIFY_WITH_TIMEOUT(!choice, kWait);

        QVERIFY(XUser::click(list3->viewport(), entry(3)));
        QTRY_VERIFY_WITH_TIMEOUT(viewers->image_viewer(), kWait);
        QPointer<bildbetrachter> image = viewers->image_viewer();
        QTRY_COMPARE_WITH_TIMEOUT(image->image()->pixmap().size(), QSize(30, 20), kWait);
        // The image viewer is wider than the frame: its close box is reached by scrolling.
        QScrollBar *across = frame_->mdi_area()->horizontalScrollBar();
        QTRY_VERIFY_WITH_TIMEOUT(across->isVisible(), kWait);
        across->setValue(across->maximum());
        QVERIFY(close_box(image));
        QTRY_VERIFY_WITH_TIMEOUT(!image, kWait);
        QVERIFY(messages_.isEmpty());

        const auto before = folder_->state();
        QVERIFY(XUser::click(child<QPushButton>(form, "rename_standard_button")));
        QTRY_COMPARE_WITH_TIMEOUT(shown(list3), (QStringList{"1.txt", "2.txt", "3c.md", "4.bmp"}),
                                  kWait);
        QVERIFY(folder_->nothing_lost(before));

        QVERIFY(XUser::click(child<QPushButton>(form, "quit")));
        QTRY_COMPARE_WITH_TIMEOUT(terminations_, 1, kWait);
    }

    // Tab into the file list selects nothing and so opens nothing; the
    // first arrow key then selects the first file, which opens.
    void tab_into_the_file_list_opens_nothing()
    {
        Form1 *form = press_start();
        QVERIFY(form);
        auto *list3 = child<QListView>(form, "list3");
        for (int tabs = 0; tabs < 12 && !list3->hasFocus(); ++tabs) {
            QVERIFY(XUser::key(QStringLiteral("Tab")));
            (void)QTest::qWaitFor([&] { return list3->hasFocus(); }, 500);
        }
        QVERIFY(list3->hasFocus());
        // Whatever the focus set off has happened by the time a key that
        // follows it arrives.
        QVERIFY(XUser::key(QStringLiteral("shift")));
        QCoreApplication::processEvents();
        QVERIFY(!frame_->viewers()->viewer_choice());
        QVERIFY(!frame_->viewers()->text_viewer());
        QVERIFY(messages_.isEmpty());
        QVERIFY(XUser::key(QStringLiteral("Down")));
        QTRY_VERIFY_WITH_TIMEOUT(frame_->viewers()->text_viewer(), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(frame_->viewers()->text_viewer()->box()->text(),
                                  QStringLiteral("content of a.txt"), kWait);
    }

    // Walking through the list with the arrow keys starts no program; a
    // click or Enter on one does.
    void arrow_keys_start_no_program()
    {
        for (const char *name : {"walk0.exe", "walk1.exe", "walk2.exe"})
            folder_->file(name);
        QByteArrayList started;
        seams().start_program = [&](const QByteArray &path) {
            started << path.mid(path.lastIndexOf('/') + 1);
            return true;
        };
        Form1 *form = press_start();
        QVERIFY(form);
        auto *list3 = child<QListView>(form, "list3");
        const auto row_of = [&](const QByteArray &name) {
            for (int r = 0; r < list3->model()->rowCount(); ++r)
                if (list3->model()->index(r, 0).data(FileListModel::RawNameRole).toByteArray() ==
                    name)
                    return list3->model()->index(r, 0);
            return QModelIndex();
        };
        QVERIFY(XUser::click(list3->viewport(), list3->visualRect(row_of("walk0.exe")).center()));
        QTRY_COMPARE_WITH_TIMEOUT(started, QByteArrayList{"walk0.exe"}, kWait);
        QVERIFY(XUser::key(QStringLiteral("Down")));
        QVERIFY(XUser::key(QStringLiteral("Down")));
        QTRY_COMPARE_WITH_TIMEOUT(form->selected_file(), QByteArray("walk2.exe"), kWait);
        QCOMPARE(started, QByteArrayList{"walk0.exe"});
        QVERIFY(XUser::key(QStringLiteral("Return")));
        QTRY_COMPARE_WITH_TIMEOUT(started, (QByteArrayList{"walk0.exe", "walk2.exe"}), kWait);
    }

    // Before the test below: once a close has waited for a run, the
    // program ends after the next one.
    // A run, then Strg+Z: every name back; the entry names the run and is
    // off once there is nothing left to take back.
    void ctrl_z_takes_the_run_back()
    {
        const auto before = folder_->state();
        Form1 *form = press_start();
        QVERIFY(form);
        auto *undo = frame_->findChild<QAction *>(QStringLiteral("rueckgaengig"));
        QVERIFY(!undo->isEnabled());
        QVERIFY(XUser::click(child<QPushButton>(form, "rename_standard_button")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QFile::decodeName(folder_->at("1.txt"))), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(undo->isEnabled(), kWait);
        QCOMPARE(undo->text(), QString::fromUtf8("Rückgängig: Standardisieren (2 Dateien)"));
        QVERIFY(XUser::key(QStringLiteral("ctrl+z")));
        QTRY_VERIFY_WITH_TIMEOUT(folder_->state() == before, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!undo->isEnabled(), kWait);
        QCOMPARE(undo->text(), QString::fromUtf8("Rückgängig"));
        QVERIFY(messages_.isEmpty());
    }

    // While a rename runs the frame tells how far it is; a click on a file
    // starts nothing, and the window manager's close waits for the end.
    void a_rename_takes_no_input_and_the_close_waits()
    {
        for (int i = 0; i < 20000; ++i)
            folder_->file("Bild " + QByteArray::number(i) + ".jpg", QByteArray::number(i));
        const auto before = folder_->state();
        Form1 *form = press_start();
        QVERIFY(form);
        auto *list3 = child<QListView>(form, "list3");
        const QPoint entry =
            list3->viewport()->mapToGlobal(list3->visualRect(list3->model()->index(0, 0)).center());
        const int swallowed = Work::state().swallowed();
        QStringList progress;
        bool sent = false;
        const auto watch = connect(&Work::state(), &Work::progress, this, [&](const QString &text) {
            progress << text;
            if (sent || text.isEmpty())
                return;
            sent = true;
            // A user clicking on a file and then closing the frame, halfway.
            QProcess::startDetached(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("xdotool mousemove %1 %2 click 1 sleep 0.05 "
                                                      "key alt+F4")
                                           .arg(entry.x())
                                           .arg(entry.y())});
        });
        QVERIFY(XUser::click(child<QPushButton>(form, "rename_standard_button")));
        QTRY_VERIFY_WITH_TIMEOUT(!frame_->isVisible(), kWait * 3);
        disconnect(watch);
        QVERIFY(sent);
        QVERIFY(Work::state().swallowed() > swallowed);
        QVERIFY(progress.size() >= 2);
        QVERIFY2(progress.front().startsWith(QStringLiteral("Schritt 1 von 4: ")) &&
                     progress.front().endsWith(
                         QStringLiteral(" von %1 Dateien")
                             .arg(QLocale(QLocale::German, QLocale::Germany).toString(20002))),
                 qPrintable(progress.front()));
        // The status bar's own text back, then how the run ended.
        QCOMPARE(progress.back(),
                 QString::fromUtf8("20.002 Dateien umbenannt – Rückgängig mit Strg+Z"));
        QCOMPARE(progress[progress.size() - 2], QString());
        QVERIFY(!frame_->viewers()->image_viewer());
        QVERIFY(messages_.isEmpty());
        // The run went to its end: every file numbered, no journal left.
        const auto names = folder_->names();
        QCOMPARE(qsizetype(names.size()), qsizetype(20002));
        QVERIFY(std::find(names.begin(), names.end(), QByteArray("20002.jpg")) != names.end());
        QVERIFY(folder_->nothing_lost(before));
    }

    // A click on a Word letter shows the letter, not the container's bytes.
    void a_word_document_by_click()
    {
        QFile letter(QFINDTESTDATA("data/word/brief.doc"));
        QVERIFY(letter.open(QIODevice::ReadOnly));
        folder_->file("brief.doc", letter.readAll());
        Form1 *form = press_start();
        QVERIFY(form);
        auto *list3 = child<QListView>(form, "list3");
        int row = -1;
        for (int r = 0; r < list3->model()->rowCount(); ++r)
            if (list3->model()->index(r, 0).data(FileListModel::RawNameRole).toByteArray() ==
                "brief.doc")
                row = r;
        QVERIFY(row >= 0);
        QVERIFY(XUser::click(list3->viewport(),
                             list3->visualRect(list3->model()->index(row, 0)).center()));
        Viewers *viewers = frame_->viewers();
        QTRY_VERIFY_WITH_TIMEOUT(viewers->text_viewer() &&
                                     viewers->text_viewer()->box()->text().startsWith(
                                         u"Sehr geehrte Frau Müller,\ndie Bäume"),
                                 kWait);
        QVERIFY(viewers->text_viewer()->box()->shows_rich_text());
        QVERIFY(messages_.isEmpty());
    }

    // A click on a program whose name is not UTF-8 runs exactly that file,
    // not the one whose name is the replacement character's bytes.
    void the_clicked_program_runs()
    {
        QTemporaryDir marks;
        const QByteArray mark = QFile::encodeName(marks.path());
        const auto script = [&](const QByteArray &name, const QByteArray &which) {
            folder_->file(name, "#!/bin/sh\necho > '" + mark + "/" + which + "'\n");
            QCOMPARE(::chmod(folder_->at(name).constData(), 0755), 0);
        };
        script("\xef\xbf\xbd.exe", "replacement");
        script("\xe4.exe", "latin1");
        Form1 *form = press_start();
        QVERIFY(form);
        auto *list3 = child<QListView>(form, "list3");
        int row = -1;
        for (int r = 0; r < list3->model()->rowCount(); ++r)
            if (list3->model()->index(r, 0).data(FileListModel::RawNameRole).toByteArray() ==
                "\xe4.exe")
                row = r;
        QVERIFY(row >= 0);
        QVERIFY(XUser::click(list3->viewport(),
                             list3->visualRect(list3->model()->index(row, 0)).center()));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marks.filePath(QStringLiteral("latin1"))),
                                 kWait);
        QVERIFY(!QFileInfo::exists(marks.filePath(QStringLiteral("replacement"))));
        QVERIFY(messages_.isEmpty());
    }

    // Both help entries from the menu, "schließen" and the close box.
    // A long log in the text viewer by hand: a drag selects two lines, Ctrl+C
    // copies them, the wheel and Ctrl+End scroll.
    void text_viewer_by_hand()
    {
        QByteArray log;
        for (int i = 0; i < 10000; ++i)
            log += "Zeile " + QByteArray::number(i) + '\n';
        folder_->file("lang.log", log);
        Viewers *viewers = frame_->viewers();
        QVERIFY(viewers->show_in_text_viewer(folder_->at("lang.log")));
        PlainTextView *view = viewers->text_viewer()->box()->plain_view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window(), kWait));
        QWidget *port = view->viewport();
        const int h = view->fontMetrics().lineSpacing();
        QApplication::clipboard()->clear();
        QVERIFY(XUser::drag(port, QPoint(2, 4 + h / 2), QPoint(port->width() - 4, 4 + h + h / 2)));
        QTRY_COMPARE_WITH_TIMEOUT(view->selected_text(), u"Zeile 0\nZeile 1"_qs, kWait);
        QVERIFY(XUser::key(QStringLiteral("ctrl+c")));
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::clipboard()->text(), u"Zeile 0\nZeile 1"_qs, kWait);
        QVERIFY(XUser::click(port));
        QVERIFY(XUser::click_wheel_down());
        QTRY_COMPARE_WITH_TIMEOUT(view->visible_lines().value(0), u"Zeile 3"_qs, kWait);
        QVERIFY(XUser::key(QStringLiteral("ctrl+End")));
        QTRY_COMPARE_WITH_TIMEOUT(view->visible_lines().value(view->visible_lines().size() - 1),
                                  u"Zeile 9999"_qs, kWait);
    }

    void help_from_the_menu()
    {
        frame_->help_pages()->set_page_folder(TALVENCE_HELP_PAGES);
        const auto choose = [&](const char *entry) {
            QMenuBar *bar = frame_->menuBar();
            QMenu *menu = frame_->findChild<QMenu *>(QStringLiteral("help"));
            if (!XUser::click(bar, bar->actionGeometry(menu->menuAction()).center()) ||
                !QTest::qWaitFor([&] { return menu->isVisible(); }, kWait))
                return false;
            QAction *action = frame_->findChild<QAction *>(QString::fromUtf8(entry));
            return XUser::click(menu, menu->actionGeometry(action).center());
        };
        const auto help = [&] { return frame_->help_pages()->window(); };
        const auto heading = [&] {
            return help() ? help()->box()->text().section(QLatin1Char('\n'), 0, 0) : QString();
        };

        QVERIFY(choose("help_Dateinamen_standardisieren"));
        QTRY_COMPARE_WITH_TIMEOUT(heading(), QStringLiteral("Dateinamen standardisieren"), kWait);
        QPointer<hilfefenster> window = help();
        QVERIFY(XUser::click(child<QPushButton>(window, "Command1")));
        QTRY_VERIFY_WITH_TIMEOUT(!window, kWait);

        QVERIFY(choose("help_dateien_groß_kleinschr"));
        QTRY_COMPARE_WITH_TIMEOUT(heading(), QStringLiteral("Dateinamen in Groß/Kleinschreibweise"),
                                  kWait);
        window = help();
        QVERIFY(XUser::click(
            window, XUser::title_bar_part(window, QStyle::SC_TitleBarCloseButton).center()));
        QTRY_VERIFY_WITH_TIMEOUT(!window, kWait);
        QVERIFY(messages_.isEmpty());
    }

    // With the frame kept on top, a message box still comes up above it.
    void message_above_the_frame_on_top()
    {
        seams().message = Seams::defaults().message; // the real box
        frame_->findChild<QAction *>(QStringLiteral("vordergrund"))->trigger();
        const quint64 frame_id = frame_->windowHandle()->winId();
        QTRY_VERIFY_WITH_TIMEOUT(stacking().contains(frame_id), kWait);

        bool above = false, key_missed = false;
        QString seen;
        QTimer::singleShot(0, this, [&] {
            QWidget *box = nullptr;
            (void)QTest::qWaitFor([&] { return (box = QApplication::activeModalWidget()); }, kWait);
            if (!box)
                return;
            const quint64 box_id = box->windowHandle()->winId();
            above = QTest::qWaitFor(
                [&] {
                    const auto order = stacking();
                    return order.contains(box_id) &&
                           order.indexOf(box_id) > order.indexOf(frame_id);
                },
                kWait);
            seen = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
            // The window manager may raise the box before it hands it the
            // keyboard; a user presses the key once the box has it.
            (void)QTest::qWaitFor([&] { return box->isActiveWindow(); }, kWait);
            XUser::key(QStringLiteral("Return")); // OK, as the user presses it
            // A box that the key missed would hold the test for good: it
            // fails instead.
            const QPointer<QWidget> open_box(box);
            if (!QTest::qWaitFor([&] { return !open_box || !open_box->isVisible(); }, kWait)) {
                key_missed = true;
                open_box->close();
            }
        });
        seams().message(QStringLiteral("Kein Datenträger"));
        QVERIFY2(!key_missed, "Return did not reach the message box");
        QCOMPARE(seen, QStringLiteral("Kein Datenträger"));
        QVERIFY2(above, "the message box lies below the frame");
    }
};

QTEST_MAIN(tst_windows_x11)
#include "tst_windows_x11.moc"
