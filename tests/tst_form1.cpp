// SPDX-License-Identifier: GPL-3.0-or-later
// The rename window offscreen: its controls as designed, the option buttons,
// the drive and folder lists, and the buttons at work on a real folder.

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "busywork.h"
#include "drivelist.h"
#include "folderlist.h"
#include "form1.h"
#include "renamestandard.h"
#include "seams.h"
#include "testfolder.h"
#include "twips.h"
#include "windowtest.h"

using namespace talvence;

namespace {

QStringList shown(const QListView *list)
{
    QStringList out;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        out << list->model()->index(r, 0).data().toString();
    return out;
}

} // namespace

class tst_form1 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> folder_;
    std::unique_ptr<Form1> form_;
    QStringList messages_;
    int terminations_ = 0;
    std::vector<Drive> drives_;

    template <typename T> T *child(const char *name)
    {
        T *c = form_->findChild<T *>(QLatin1String(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    void click(const char *name)
    {
        QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase() { test::use_private_home(); }

    void init()
    {
        folder_ = std::make_unique<TestFolder>();
        folder_->file("c.txt");
        folder_->file("a.txt");
        folder_->file("B.jpg");
        folder_->folder("Sub");
        folder_->file("Sub/inner.txt");
        QVERIFY(QDir::setCurrent(QFile::decodeName(folder_->path())));
        messages_.clear();
        terminations_ = 0;
        drives_ = {{"/", QString()}, {folder_->path(), QStringLiteral("Stick")}};
        test::record_seams(messages_, terminations_);
        seams().drives = [this] { return drives_; };
        form_ = std::make_unique<Form1>();
    }

    void cleanup()
    {
        form_.reset();
        QDir::setCurrent(QStringLiteral("/"));
        folder_.reset();
        seams() = Seams::defaults();
    }

    void window()
    {
        QCOMPARE(form_->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form_->windowTitle(), QStringLiteral("File Talvence"));
        QCOMPARE(form_->widget()->size(), twips_size(7215, 7335));
        const Qt::WindowFlags flags = form_->windowFlags();
        QVERIFY(flags & Qt::Tool);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->minimumSize(), form_->maximumSize()); // fixed size
        QVERIFY(form_->contentsRect().contains(form_->widget()->geometry()));
        QCOMPARE(form_->windowIcon().availableSizes().value(0), QSize(32, 32));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("accessible");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("enabled");
        auto row = [](const char *name, const char *container, QRect g, const char *caption,
                      const char *tooltip, const char *accessible, bool hidden = false,
                      bool enabled = true) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(container) << g
                                << QString::fromUtf8(caption) << QString::fromUtf8(tooltip)
                                << QString::fromUtf8(accessible) << hidden << enabled;
        };
        const char *where = "(nicht im Hauptverzeichnis eines Laufwerkes)";
        const QByteArray klein = QByteArray("ALLES GROSS: Klicken Sie hier um alle Dateien des "
                                            "aktuellen Verzeichnis ") +
                                 where + " in Grossbuchstaben umzubenennen.";
        const QByteArray gross = QByteArray("alles klein: Klicken Sie hier um alle Dateien des "
                                            "aktuellen Verzeichnis ") +
                                 where + " in Kleinbuchstaben umzubenennen.";
        const QByteArray standard = QByteArray("Standardisieren: Klicken Sie hier um alle Dateien "
                                               "des aktuellen Verzeichnis ") +
                                    where + " in neues Format umzubenennen.";
        row("Frame_standardisieren", "Form1_client", twips_rect(2520, 120, 3375, 1215), "", "",
            "Standardisieren");
        row("Option2", "Frame_standardisieren", twips_rect(1200, 480, 1815, 255),
            "Benutzerdef. Format", "Dateiname: \"IhrText\"+Zählernummer+DateiEndung",
            "Benutzerdef. Format");
        row("Option1", "Frame_standardisieren", twips_rect(1200, 240, 1815, 255), "Standard Format",
            "Dateiname: Zählernummer + Dateiendung", "Standard Format");
        row("Textfeld_format", "Frame_standardisieren", twips_rect(1200, 720, 495, 285), "",
            "Geben Sie hier Ihre benutzerdefinierte Zeichenkette ein, mit welcher jeder "
            "Dateiname beginnen soll.",
            "Benutzerdefinierte Zeichenkette", true, false);
        row("Label2", "Frame_standardisieren", twips_rect(1680, 720, 1575, 255),
            "+Zähler+Dateiendung", "", "+Zähler+Dateiendung", true);
        row("Frame_gross_klein", "Form1_client", twips_rect(240, 120, 2175, 1215), "", "",
            "Groß- und Kleinschreibung");
        row("klein", "Frame_gross_klein", twips_rect(120, 240, 855, 855), "", klein.constData(),
            "ALLES GROSS");
        row("gross", "Frame_gross_klein", twips_rect(1200, 240, 855, 855), "", gross.constData(),
            "alles klein");
        row("rename_standard_button", "Frame_standardisieren", twips_rect(120, 240, 855, 855), "",
            standard.constData(), "Standardisieren");
        row("Frame1", "Form1_client", twips_rect(6000, 120, 1095, 1215), "", "", "Beenden");
        row("quit", "Frame1", twips_rect(120, 240, 855, 855), "", "Programm beenden",
            "Programm beenden");
        row("Frame2", "Form1_client", twips_rect(240, 1560, 6855, 5655), "", "",
            "Laufwerk, Verzeichnis und Dateien");
        row("Drive1", "Frame2", twips_rect(120, 240, 3015, 315), "",
            "Wählen Sie hier das gewünschte Laufwerk aus", "Laufwerk");
        row("Dir1", "Frame2", twips_rect(120, 840, 3015, 4590), "",
            "Wählen Sie hier das gewünschte Verzeichnis aus", "Verzeichnis");
        row("Label5", "Frame2", twips_rect(120, 600, 1815, 255), "Verzeichnis", "", "Verzeichnis");
        row("Label6", "Frame2", twips_rect(3480, 600, 2175, 255), "Dateien", "", "Dateien");
        row("list3", "Frame2", twips_rect(3360, 840, 3255, 4515), "",
            "Klicken Sie auf eine Datei, um Sie zu öffnen...", "Dateien");
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QFETCH(QString, tooltip);
        QFETCH(QString, accessible);
        QFETCH(bool, hidden);
        QFETCH(bool, enabled);
        QWidget *w = form_->findChild<QWidget *>(name);
        QVERIFY(w);
        QCOMPARE(w->parentWidget()->objectName(), container);
        QCOMPARE(w->geometry(), geometry);
        QCOMPARE(w->toolTip(), tooltip);
        QCOMPARE(w->isHidden(), hidden);
        QCOMPARE(w->isEnabled(), enabled);
        QString text;
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            text = b->text();
        else if (auto *l = qobject_cast<QLabel *>(w))
            text = l->text();
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            text = g->title();
        QCOMPARE(text, caption);
        // what assistive tools are told, through Qt's accessibility interface
        QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(w);
        QVERIFY(a11y);
        QCOMPARE(a11y->text(QAccessible::Name), accessible);
        if (auto *b = qobject_cast<QPushButton *>(w)) {
            QVERIFY(!b->icon().isNull());
            QCOMPARE(b->iconSize(), QSize(49, 49));
        }
    }

    void initial_state_and_colours()
    {
        QVERIFY(child<QRadioButton>("Option1")->isChecked());
        QVERIFY(!child<QRadioButton>("Option2")->isChecked());
        QVERIFY(child<QLineEdit>("Textfeld_format")->text().isEmpty());
        QCOMPARE(child<QWidget>("Drive1")->palette().color(QPalette::Button), QColor(0xE0E0E0));
        QCOMPARE(child<QWidget>("Dir1")->palette().color(QPalette::Text), QColor(0x8080FF));
        QCOMPARE(child<QWidget>("Dir1")->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(child<QWidget>("list3")->palette().color(QPalette::Text), QColor(0x000080));
        QCOMPARE(child<QWidget>("list3")->palette().color(QPalette::Base), QColor(Qt::white));
        // the working folder, its drive and its files
        QCOMPARE(form_->current_folder(), folder_->path());
        QCOMPARE(child<DriveList>("Drive1")->currentText(), drives_[1].display());
        QCOMPARE(QAccessible::queryAccessibleInterface(child<DriveList>("Drive1"))
                     ->text(QAccessible::Value),
                 drives_[1].display());
        QCOMPARE(shown(child<QListView>("list3")), QStringList({"a.txt", "B.jpg", "c.txt"}));
        QVERIFY(form_->selected_file().isEmpty());
    }

    void tab_order()
    {
        const QStringList expected = {"Option2", "Option1", "Textfeld_format",
                                      "klein",   "gross",   "rename_standard_button",
                                      "quit",    "Drive1",  "Dir1",
                                      "list3"};
        QStringList got;
        QWidget *w = child<QWidget>("Option2");
        for (int i = 0; i < 40 && got.size() < expected.size(); ++i, w = w->nextInFocusChain())
            if (expected.contains(w->objectName()) && !got.contains(w->objectName()))
                got << w->objectName();
        QCOMPARE(got, expected);
    }

    void option_buttons_show_and_clear_the_prefix_box()
    {
        auto *box = child<QLineEdit>("Textfeld_format");
        auto *label = child<QLabel>("Label2");
        click("Option2");
        QVERIFY(!box->isHidden() && box->isEnabled() && !label->isHidden());
        const QString long_text(40000, QLatin1Char('x'));
        box->setText(long_text);
        QCOMPARE(box->text(), long_text); // no limit of its own
        click("Option1");
        QVERIFY(box->isHidden() && !box->isEnabled() && label->isHidden());
        QVERIFY(box->text().isEmpty());
        click("Option2");
        QVERIFY(!box->isHidden());
        QVERIFY(box->text().isEmpty());
    }

    void buttons_work_on_the_working_folder()
    {
        auto *list = child<QListView>("list3");
        // The file list's model keeps to the rules of a model through each reset.
        const QAbstractItemModelTester rules(
            list->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        click("rename_standard_button");
        QCOMPARE(shown(list), QStringList({"1.txt", "2.jpg", "3.txt"}));
        QCOMPARE(folder_->content("2.jpg"), QByteArray("content of B.jpg"));
        click("klein");
        QCOMPARE(shown(list), QStringList({"1.TXT", "2.JPG", "3.TXT"}));
        click("gross");
        QCOMPARE(shown(list), QStringList({"1.txt", "2.jpg", "3.txt"}));
        const QAbstractItemModel *model = list->model();
        QVERIFY(model->index(2, 0).isValid());
        for (const auto &[row, column] : {std::pair(3, 0), std::pair(-1, 0), std::pair(0, 1)})
            QVERIFY(!model->index(row, column).isValid());
        QVERIFY(!model->index(0, 0, model->index(0, 0)).isValid());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(messages_.isEmpty());
    }

    void prefix_typed_by_the_user()
    {
        click("Option2");
        auto *box = child<QLineEdit>("Textfeld_format");
        QTest::keyClicks(box, QStringLiteral(" Ferien "));
        click("rename_standard_button");
        QCOMPARE(shown(child<QListView>("list3")),
                 QStringList({"Ferien1.txt", "Ferien2.jpg", "Ferien3.txt"}));
        box->setText(QString(236, QLatin1Char('y')));
        click("rename_standard_button");
        QCOMPARE(messages_, QStringList(QStringLiteral(
                                "Die maximal zulässige Gesamtlänge des Dateinamens wurde "
                                "überschritten! Bitte korrigieren Sie Ihre Eingaben und versuchen "
                                "es dann erneut.")));
        QCOMPARE(shown(child<QListView>("list3")),
                 QStringList({"Ferien1.txt", "Ferien2.jpg", "Ferien3.txt"}));
        QVERIFY(!QApplication::overrideCursor());
    }

    void opening_a_folder()
    {
        auto *dir = child<FolderList>("Dir1");
        const QStringList rows = shown(dir);
        const int sub = int(rows.indexOf(QStringLiteral("Sub")));
        QVERIFY(sub > 0);
        Q_EMIT dir->activated(dir->model()->index(sub, 0));
        QCOMPARE(form_->current_folder(), folder_->at("Sub"));
        QCOMPARE(shown(child<QListView>("list3")), QStringList({"inner.txt"}));
        QCOMPARE(form_->full_path("inner.txt"), folder_->at("Sub") + "/inner.txt");
        click("klein");
        QCOMPARE(folder_->content("Sub/INNER.TXT"), QByteArray("content of Sub/inner.txt"));
        QVERIFY(QFileInfo::exists(QFile::decodeName(folder_->at("a.txt")))); // untouched
    }

    void drive_change()
    {
        auto *drive = child<DriveList>("Drive1");
        auto *list = child<QListView>("list3");
        const QByteArray missing = folder_->at("no-medium");
        drives_.push_back({missing, QString()});
        drive->showPopup(); // reads the drives afresh
        drive->hidePopup();
        QCOMPARE(drive->count(), 3);
        drive->setCurrentIndex(2);
        Q_EMIT drive->activated(2);
        QTRY_COMPARE(messages_, QStringList(QStringLiteral("Kein Datenträger")));
        QCOMPARE(drive->currentIndex(), 2); // still shows the chosen drive
        QCOMPARE(form_->current_folder(), folder_->path());
        QCOMPARE(shown(list), QStringList({"a.txt", "B.jpg", "c.txt"}));

        drive->setCurrentIndex(0);
        Q_EMIT drive->activated(0);
        QTRY_COMPARE(form_->current_folder(), QByteArray("/"));
        QCOMPARE(messages_.size(), 1);
        Q_EMIT drive->activated(0); // the drive already shown: nothing
        QCOMPARE(form_->current_folder(), QByteArray("/"));
    }

    // A volume mounted after the window opened: its folder, opened in the
    // folder list, shows its own drive, and the root drive can be chosen again.
    void drive_box_follows_a_new_mount()
    {
        auto *drive = child<DriveList>("Drive1");
        auto *dir = child<FolderList>("Dir1");
        drives_.push_back({folder_->at("Sub"), QStringLiteral("Neu")});
        const int sub = int(shown(dir).indexOf(QStringLiteral("Sub")));
        QVERIFY(sub > 0);
        Q_EMIT dir->activated(dir->model()->index(sub, 0));
        QCOMPARE(form_->current_folder(), folder_->at("Sub"));
        QCOMPARE(drive->currentText(), drives_[2].display());
        Q_EMIT drive->activated(0); // "/"
        QTRY_COMPARE(form_->current_folder(), QByteArray("/"));
        QCOMPARE(drive->currentText(), drives_[0].display());
        QVERIFY(messages_.isEmpty());
    }

    void selection_and_full_path()
    {
        auto *list = child<QListView>("list3");
        QSignalSpy clicked(form_.get(), &Form1::file_clicked);
        list->setCurrentIndex(list->model()->index(1, 0));
        QCOMPARE(form_->selected_file(), QByteArray("B.jpg"));
        QCOMPARE(form_->full_path(form_->selected_file()), folder_->path() + "/B.jpg");
        QCOMPARE(clicked.size(), 1);
        form_->reread_files();
        QVERIFY(form_->selected_file().isEmpty());
    }

    // Opening again a folder that someone removed: the nearest folder above
    // it that is still there, so the lists never show what has gone.
    void reopening_a_vanished_folder_shows_the_one_above()
    {
        folder_->folder("Sub/Deeper");
        folder_->file("Sub/Deeper/gone.txt");
        auto *dir = child<FolderList>("Dir1");
        QVERIFY(dir->set_path(folder_->at("Sub/Deeper")));
        QCOMPARE(shown(child<QListView>("list3")), QStringList({"gone.txt"}));
        QVERIFY(QDir(QFile::decodeName(folder_->at("Sub"))).removeRecursively());
        const int current = int(shown(dir).indexOf(QStringLiteral("Deeper")));
        dir->setCurrentIndex(dir->model()->index(current, 0));
        QTest::keyClick(dir, Qt::Key_Return);
        QCOMPARE(form_->current_folder(), folder_->path());
        QCOMPARE(shown(child<QListView>("list3")), QStringList({"a.txt", "B.jpg", "c.txt"}));
        QVERIFY(messages_.isEmpty());
    }

    // A run cut short in the folder: the window asks when it opens the
    // folder, and "Wiederherstellen" gives every file its name back.
    void offers_the_names_back_after_a_cut()
    {
        for (int i = 0; i < 300; ++i)
            folder_->file("Foto " + QByteArray::number(i) + ".jpg");
        const auto before = folder_->state();
        const pid_t runner = ::fork();
        if (runner == 0) {
            StandardRenameIo io;
            io.prefix = [] { return QString(); };
            io.prefix_too_long = [] {};
            io.reread = [](const NameList &) {};
            io.progress = [](int pass, int, qsizetype done, qsizetype) {
                if (pass == 3 && done == 100)
                    ::kill(::getpid(), SIGKILL);
                return true;
            };
            rename_standard(folder_->path(), io);
            ::_exit(0);
        }
        ::waitpid(runner, nullptr, 0);
        QVERIFY(folder_->state() != before);
        QStringList asked;
        seams().ask = [&](const QString &text, const QStringList &buttons) {
            asked << text;
            return int(buttons.indexOf(QStringLiteral("Wiederherstellen")));
        };
        form_ = std::make_unique<Form1>();
        QTRY_COMPARE(asked.size(), 1);
        QVERIFY(asked.front().startsWith(
            QStringLiteral("In diesem Ordner wurde eine Umbenennung unterbrochen.")));
        QCOMPARE(folder_->state(), before);
        QCOMPARE(shown(child<QListView>("list3")).size(), 303);
        QVERIFY(messages_.isEmpty());
        // Asked once: the journal went with the restore.
        form_ = std::make_unique<Form1>();
        QTest::qWait(0);
        QCOMPARE(asked.size(), 1);
    }

    // "So lassen": the names stay as the cut left them and the journal goes.
    void so_lassen_keeps_the_names()
    {
        for (int i = 0; i < 100; ++i)
            folder_->file("Foto " + QByteArray::number(i) + ".jpg");
        const pid_t runner = ::fork();
        if (runner == 0) {
            StandardRenameIo io;
            io.prefix = [] { return QString(); };
            io.prefix_too_long = [] {};
            io.reread = [](const NameList &) {};
            io.progress = [](int pass, int, qsizetype done, qsizetype) {
                if (pass == 2 && done == 30)
                    ::kill(::getpid(), SIGKILL);
                return true;
            };
            rename_standard(folder_->path(), io);
            ::_exit(0);
        }
        ::waitpid(runner, nullptr, 0);
        const auto cut = folder_->state();
        int asked = 0;
        seams().ask = [&](const QString &, const QStringList &buttons) {
            ++asked;
            return int(buttons.indexOf(QStringLiteral("So lassen")));
        };
        form_ = std::make_unique<Form1>();
        QTRY_COMPARE(asked, 1);
        auto expected = cut;
        QVERIFY(expected.erase(".talvence-journal"));
        QCOMPARE(folder_->state(), expected);
        QVERIFY(find_interrupted_runs(folder_->path()).empty());
        QVERIFY(messages_.isEmpty());
    }

    // How a run ended stays in the status bar, its numbers grouped the
    // German way; the undo takes it back and says so.
    void status_tells_how_to_take_a_run_back()
    {
        for (int i = 0; i < 1234; ++i)
            folder_->file("Bild " + QByteArray::number(i) + ".jpg");
        form_->reread_files();
        const auto before = folder_->state();
        QStringList told;
        connect(&Work::state(), &Work::progress, this, [&](const QString &t) { told << t; });
        click("rename_standard_button");
        QCOMPARE(told.last(), QString::fromUtf8("1.237 Dateien umbenannt – Rückgängig mit Strg+Z"));
        QVERIFY(form_->undoable());
        QCOMPARE(form_->undoable()->files, qsizetype(1237));
        form_->undo_last_run();
        QCOMPARE(folder_->state(), before);
        QCOMPARE(told.last(),
                 QString::fromUtf8("Rückgängig gemacht: Standardisieren (1.237 Dateien)"));
        QVERIFY(!form_->undoable());
        QVERIFY(messages_.isEmpty());
        Work::state().disconnect(this);
    }

    void vanished_folder_leaves_an_empty_list()
    {
        QVERIFY(QDir(QFile::decodeName(folder_->path())).removeRecursively());
        form_->reread_files();
        QCOMPARE(shown(child<QListView>("list3")), QStringList());
        click("rename_standard_button");
        click("gross");
        QVERIFY(messages_.isEmpty());
    }

    void quit_ends_at_once()
    {
        click("quit");
        QCOMPARE(terminations_, 1);
    }
};

QTEST_MAIN(tst_form1)
#include "tst_form1.moc"
