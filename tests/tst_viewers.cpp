// SPDX-License-Identifier: GPL-3.0-or-later
// The viewers, the viewer choice and what a click on a file does, offscreen
// in a real frame on a real folder of mixed files.

#include <sys/stat.h>

#include <QAccessible>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include "betrachtungsprog_wahl.h"
#include "bildbetrachter.h"
#include "form1.h"
#include "frmmain.h"
#include "richtextbox.h"
#include "seams.h"
#include "testfolder.h"
#include "textbetrachter.h"
#include "twips.h"
#include "viewers.h"
#include "windowtest.h"

using namespace talvence;

class tst_viewers : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> folder_;
    std::unique_ptr<frmMain> frame_;
    Form1 *form_ = nullptr;
    QStringList messages_;
    QStringList started_;

    Viewers *viewers() { return frame_->viewers(); }
    QListView *list3() { return form_->findChild<QListView *>(QStringLiteral("list3")); }
    // Selects the file in the list, and so opens it, as the keyboard does;
    // the one already selected as a click on it does.
    void click(const QByteArray &name)
    {
        QListView *list = list3();
        for (int r = 0; r < list->model()->rowCount(); ++r) {
            const QModelIndex entry = list->model()->index(r, 0);
            if (entry.data().toString() == QString::fromUtf8(name)) {
                if (list->currentIndex() == entry)
                    Q_EMIT list->clicked(entry);
                else
                    list->setCurrentIndex(entry);
                return;
            }
        }
        QFAIL("no such entry");
    }
    QString shown_text() { return viewers()->text_viewer()->box()->text(); }
    QSize shown_picture()
    {
        const QPixmap p = viewers()->image_viewer()->image()->pixmap();
        return p.isNull() ? QSize() : p.size();
    }
    static void picture(const QByteArray &path, QSize size, Qt::GlobalColor colour,
                        const char *format)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(QFile::decodeName(path), format));
    }

private Q_SLOTS:
    void initTestCase() { test::use_private_home(); }
    void init()
    {
        folder_ = std::make_unique<TestFolder>();
        picture(folder_->at("gross.jpg"), QSize(1200, 900), Qt::red, "JPG");
        picture(folder_->at("klein.bmp"), QSize(40, 30), Qt::blue, "BMP");
        picture(folder_->at("bild.png"), QSize(20, 10), Qt::green, "PNG");
        folder_->file("notizen.txt", "erste Notiz");
        folder_->file("brief.txt", "zweiter Brief");
        folder_->file("liesmich.md", "# Markdown");
        folder_->file("kaputt.gif", "kein Bild");
        QVERIFY(QDir::setCurrent(QFile::decodeName(folder_->path())));
        messages_.clear();
        started_.clear();
        seams().message = [this](const QString &text) { messages_ << text; };
        seams().drives = [] { return std::vector<Drive>{{"/", QString()}}; };
        frame_ = std::make_unique<frmMain>();
        frame_->place_on_screen();
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        form_ = frame_->show_rename_window();
    }
    void cleanup()
    {
        frame_.reset();
        QDir::setCurrent(QStringLiteral("/"));
        seams() = Seams::defaults();
        folder_.reset();
    }

    void windows_as_designed()
    {
        click("notizen.txt");
        textbetrachter *text = viewers()->text_viewer();
        QCOMPARE(text->windowTitle(), QStringLiteral("Textviewer"));
        QCOMPARE(text->widget()->size(), twips_size(7485, 4620));
        QCOMPARE(text->box()->objectName(), QStringLiteral("RichTextBox1"));
        QCOMPARE(text->box()->geometry(), twips_rect(0, 0, 7455, 4575));
        click("klein.bmp");
        bildbetrachter *image = viewers()->image_viewer();
        QCOMPARE(image->windowTitle(), QStringLiteral("Bildbetrachter"));
        QCOMPARE(image->widget()->size(), twips_size(10290, 7575));
        QCOMPARE(image->image()->objectName(), QStringLiteral("Image1"));
        click("liesmich.md");
        Betrachtungsprog_wahl *choice = viewers()->viewer_choice();
        QCOMPARE(choice->windowTitle(), QStringLiteral("Programm zum öffnen"));
        QCOMPARE(choice->widget()->size(), twips_size(5625, 1245));
        QStringList buttons;
        for (auto *b : choice->findChildren<QPushButton *>())
            buttons << b->objectName() + '=' + b->text();
        QCOMPARE(buttons, (QStringList{"Command_bild=int. Bildbetrachter",
                                       "Command_text=int. Textbetrachter", "Command1=schliessen"}));
        for (ChildWindow *w : std::initializer_list<ChildWindow *>{text, image, choice}) {
            QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
            QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
        }
        QCOMPARE(frame_->mdi_area()->subWindowList().size(), 4);
        QVERIFY(messages_.isEmpty());
        // every control that takes the focus or shows something has a name
        for (ChildWindow *w : std::initializer_list<ChildWindow *>{text, image, choice}) {
            for (QWidget *c : w->widget()->findChildren<QWidget *>()) {
                if (!c->isVisible() ||
                    (c->focusPolicy() == Qt::NoFocus && !qobject_cast<QLabel *>(c)))
                    continue;
                QAccessibleInterface *a = QAccessible::queryAccessibleInterface(c);
                QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(),
                         qPrintable(w->objectName() + '/' + c->objectName()));
            }
        }
    }

    // Unscaled from the top left corner, cut off at the window's edges; a small
    // picture after a large one shows alone; a reopened viewer starts empty.
    void pictures()
    {
        click("gross.jpg");
        bildbetrachter *viewer = viewers()->image_viewer();
        QCOMPARE(shown_picture(), QSize(1200, 900));
        QCOMPARE(viewer->image()->geometry(), QRect(0, 0, 1200, 900));
        QCOMPARE(viewer->widget()->size(), twips_size(10290, 7575)); // the window did not grow
        // A photo is held at three bytes a pixel, not widened to four.
        QCOMPARE(viewer->image()->pixmap().depth(), 24);
        click("klein.bmp");
        QCOMPARE(viewers()->image_viewer(), viewer);
        QCOMPARE(shown_picture(), QSize(40, 30));
        QCOMPARE(viewer->image()->size(), QSize(40, 30));
        QCOMPARE(viewer->image()->pixmap().toImage().pixelColor(39, 29), QColor(Qt::blue));
        click("kaputt.gif"); // keeps the picture it had
        QCOMPARE(messages_, QStringList{"Fehler beim öffnen der Datei"});
        QCOMPARE(shown_picture(), QSize(40, 30));
        QVERIFY(viewer->isVisible());
        viewer->close();
        QTRY_VERIFY(!viewers()->image_viewer());
        QVERIFY(!viewers()->show_in_image_viewer(folder_->at("fehlt.jpg")));
        QVERIFY(viewers()->image_viewer()->isVisible());
        QCOMPARE(shown_picture(), QSize());
    }

    void texts()
    {
        click("notizen.txt");
        QCOMPARE(shown_text(), QStringLiteral("erste Notiz"));
        click("brief.txt");
        QCOMPARE(shown_text(), QStringLiteral("zweiter Brief")); // replaced, not appended
        // documents one after the other, and plain text after them
        for (const char *word : {"Erstes", "Zweites"}) {
            const QByteArray name = QByteArray(word) + ".doc";
            folder_->file(name, "{\\rtf1\\ansi {\\b " + QByteArray(word) + "} Dokument\\par}");
            QVERIFY(viewers()->show_in_text_viewer(folder_->at(name)));
            QCOMPARE(shown_text(), QString::fromLatin1(word) + QStringLiteral(" Dokument\n"));
            QVERIFY(viewers()->text_viewer()->box()->shows_rich_text());
        }
        QVERIFY(viewers()->show_in_text_viewer(folder_->at("brief.txt")));
        QCOMPARE(shown_text(), QStringLiteral("zweiter Brief"));
        QCOMPARE(frame_->mdi_area()->subWindowList().size(), 2);
        // listed, then deleted: the viewer opens and the message comes once
        QVERIFY(::unlink(folder_->at("notizen.txt").constData()) == 0);
        click("notizen.txt");
        QCOMPARE(messages_, QStringList{"Fehler beim öffnen der Datei"});
        QVERIFY(viewers()->text_viewer()->isVisible());
        QCOMPARE(frame_->mdi_area()->activeSubWindow(), viewers()->text_viewer());
    }

    // A long text shows its beginning at once while its lines are counted;
    // another file stops the count of the first.
    void long_text_arrives_whole()
    {
        QByteArray log;
        for (int i = 0; log.size() < (3 << 20); ++i)
            log += "Zeile " + QByteArray::number(i) + " des Protokolls\n";
        folder_->file("lang.log", log);
        QVERIFY(viewers()->show_in_text_viewer(folder_->at("lang.log")));
        RichTextBox *box = viewers()->text_viewer()->box();
        QVERIFY(shown_text().startsWith(QStringLiteral("Zeile 0 des Protokolls\nZeile 1 ")));
        QVERIFY(viewers()->show_in_text_viewer(folder_->at("brief.txt")));
        QTRY_VERIFY(!box->filling());
        QCOMPARE(shown_text(), QStringLiteral("zweiter Brief"));
        QVERIFY(viewers()->show_in_text_viewer(folder_->at("lang.log")));
        QTRY_VERIFY(!box->filling());
        const QString whole = shown_text();
        QCOMPARE(whole.size(), log.size());
        QCOMPARE(whole, QString::fromLatin1(log));
    }

    // An RTF document the same way: its beginning at once, the rest between
    // events, a plain text loaded meanwhile stops it.
    void long_rtf_arrives_whole()
    {
        QByteArray rtf = "{\\rtf1\\ansi ";
        for (int i = 0; rtf.size() < (4 << 20); ++i)
            rtf += "{\\b Absatz} " + QByteArray::number(i) + " mit Text\\par\n";
        folder_->file("lang.rtf", rtf + "}");
        for (int turn = 0; turn < 2; ++turn) {
            QVERIFY(viewers()->show_in_text_viewer(folder_->at("lang.rtf")));
            RichTextBox *box = viewers()->text_viewer()->box();
            QVERIFY(box->shows_rich_text() && box->filling());
            QVERIFY(shown_text().startsWith(QStringLiteral("Absatz 0 mit Text\nAbsatz 1 ")));
            if (turn == 0)
                QVERIFY(viewers()->show_in_text_viewer(folder_->at("brief.txt")));
            QTRY_VERIFY_WITH_TIMEOUT(!viewers()->text_viewer()->box()->filling(), 60000);
        }
        QCOMPARE(shown_text().count(QLatin1String(" mit Text")), rtf.count("mit Text"));
        QVERIFY(viewers()->show_in_text_viewer(folder_->at("brief.txt")));
        QCOMPARE(shown_text(), QStringLiteral("zweiter Brief"));
        // Paragraph marks alone, more than memory could hold: refused, the
        // box keeps what it showed.
        folder_->file("leer.rtf", "{\\rtf1 " + QByteArray("\\par").repeated(1 << 18) + "}");
        QVERIFY(!viewers()->show_in_text_viewer(folder_->at("leer.rtf")));
        QCOMPARE(shown_text(), QStringLiteral("zweiter Brief"));
    }

    void choice_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("dialog_stays");
        QTest::newRow("text shown")
            << QByteArray("liesmich.md") << "Command_text" << false << false;
        QTest::newRow("picture shown")
            << QByteArray("bild.png") << "Command_bild" << false << false;
        QTest::newRow("not a picture")
            << QByteArray("liesmich.md") << "Command_bild" << true << false;
        QTest::newRow("no file selected") << QByteArray() << "Command_text" << true << true;
    }
    void choice()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, button);
        QFETCH(bool, failed);
        QFETCH(bool, dialog_stays);
        click("klein.bmp"); // an image viewer with a picture already
        viewers()->show_viewer_choice();
        QPointer<Betrachtungsprog_wahl> dialog = viewers()->viewer_choice();
        if (!file.isEmpty())
            click(file);
        else
            form_->reread_files();                           // the selection is gone
        QCOMPARE(viewers()->viewer_choice(), dialog.data()); // one dialog
        dialog->findChild<QPushButton *>(button)->click();
        QCOMPARE(messages_.size(), failed ? 1 : 0);
        QTRY_COMPARE(bool(dialog), dialog_stays);
        if (button == "Command_bild") {
            QCOMPARE(viewers()->image_viewer()->isVisible(), !failed);
            QCOMPARE(shown_picture(), failed ? QSize(40, 30) : QSize(20, 10));
        } else {
            QVERIFY(viewers()->text_viewer()->isVisible());
            if (!failed)
                QCOMPARE(shown_text(), QStringLiteral("# Markdown"));
        }
    }

    void choice_after_the_rename_window_closed()
    {
        click("liesmich.md");
        QPointer<Betrachtungsprog_wahl> dialog = viewers()->viewer_choice();
        form_->close();
        QTRY_VERIFY(!frame_->findChild<Form1 *>());
        dialog->findChild<QPushButton *>("Command_text")->click();
        QCOMPARE(messages_, QStringList{"Fehler beim öffnen der Datei"});
        QVERIFY(dialog);
        dialog->findChild<QPushButton *>("Command1")->click();
        QTRY_VERIFY(!dialog);
    }

    // A program is started by its whole path, blanks and all; a file that
    // cannot be started brings the message.
    void programs()
    {
        folder_->folder("mit Leerzeichen");
        const QByteArray script = folder_->at("mit Leerzeichen/start mich.exe");
        const QByteArray marker = folder_->at("gestartet");
        TestFolder::write(script, "#!/bin/sh\necho \"$0\" > '" + marker + "'\n");
        QCOMPARE(::chmod(script.constData(), 0755), 0);
        folder_->file("kaputt.com", "MZ nothing to run");
        QVERIFY(viewers()->show_in_text_viewer(folder_->at("brief.txt")));
        const int windows = int(frame_->mdi_area()->subWindowList().size());

        viewers()->open_selected_file("start mich.exe", script);
        QTRY_COMPARE(TestFolder::read(marker), script + '\n');
        viewers()->open_selected_file("kaputt.com", folder_->at("kaputt.com"));
        QCOMPARE(messages_, QStringList{"Fehler beim öffnen der Datei"});
        QCOMPARE(int(frame_->mdi_area()->subWindowList().size()), windows);
    }
};

QTEST_MAIN(tst_viewers)
#include "tst_viewers.moc"
