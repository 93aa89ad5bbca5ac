// SPDX-License-Identifier: GPL-3.0-or-later
// The help window offscreen: its controls, both pages from the frame's menu
// in one window, pages read afresh, plain pages, a missing page, and the
// shipped pages themselves.

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QtTest>

#include "frmmain.h"
#include "help.h"
#include "hilfefenster.h"
#include "richtextbox.h"
#include "seams.h"
#include "testfolder.h"
#include "twips.h"
#include "windowtest.h"

using namespace talvence;

class tst_help : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> pages_;
    std::unique_ptr<frmMain> frame_;
    QStringList messages_;

    void page(const char *name, const QByteArray &content)
    {
        QFile f(pages_->filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    void choose(const char *entry)
    {
        frame_->findChild<QAction *>(QString::fromUtf8(entry))->trigger();
    }
    hilfefenster *window() { return frame_->help_pages()->window(); }
    QString shown() { return window() ? window()->box()->text() : QString(); }

private Q_SLOTS:
    void initTestCase() { test::use_private_home(); }
    void init()
    {
        pages_ = std::make_unique<QTemporaryDir>();
        page("standardis.hl1", "{\\rtf1\\ansi {\\b Nummern}\\par}");
        page("groklei.hl1", "{\\rtf1\\ansi Gro\\'df und klein\\par}");
        messages_.clear();
        seams().message = [this](const QString &text) { messages_ << text; };
        frame_ = std::make_unique<frmMain>();
        frame_->help_pages()->set_page_folder(QFile::encodeName(pages_->path()));
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void cleanup()
    {
        frame_.reset();
        seams() = Seams::defaults();
    }

    void window_as_designed()
    {
        choose("help_Dateinamen_standardisieren");
        hilfefenster *w = window();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Hilfe"));
        QCOMPARE(w->widget()->size(), twips_size(5595, 6285));
        QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(
            !(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        auto *heading = w->findChild<QLabel *>(QStringLiteral("Label3"));
        QCOMPARE(heading->text(), QStringLiteral("Hilfe Anleitung"));
        QCOMPARE(heading->geometry(), twips_rect(240, 120, 4935, 615));
        QCOMPARE(heading->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(heading->font().bold() && heading->font().italic());
        QCOMPARE(heading->font().pointSize(), 18);
        QCOMPARE(heading->focusPolicy(), Qt::NoFocus);
        QCOMPARE(w->box()->objectName(), QStringLiteral("helpbox"));
        QCOMPARE(w->box()->geometry(), twips_rect(120, 960, 5295, 4815));
        auto *close = w->findChild<QPushButton *>(QStringLiteral("Command1"));
        QCOMPARE(close->text(), QStringLiteral("schließen"));
        QCOMPARE(close->geometry(), twips_rect(2160, 5880, 1215, 375));
        QTRY_VERIFY(w->box()->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // the page, then the button
        QTRY_COMPARE(QApplication::focusWidget(), close);
    }

    // One window for both pages; each entry reads its page again.
    void pages_in_one_window()
    {
        choose("help_Dateinamen_standardisieren");
        QCOMPARE(shown(), QStringLiteral("Nummern\n"));
        QPointer<hilfefenster> first = window();
        choose("help_dateien_groß_kleinschr");
        QCOMPARE(window(), first.data());
        QCOMPARE(shown(), QStringLiteral("Groß und klein\n"));
        page("groklei.hl1", "Nur Text, {kein} RTF");
        choose("help_dateien_groß_kleinschr");
        QCOMPARE(shown(), QStringLiteral("Nur Text, {kein} RTF"));
        QVERIFY(!window()->box()->shows_rich_text());
        QCOMPARE(frame_->mdi_area()->subWindowList().size(), 1);
        QCOMPARE(frame_->mdi_area()->activeSubWindow(), first.data());

        first->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        QTRY_VERIFY(!first);
        choose("help_Dateinamen_standardisieren");
        QVERIFY(window());
        QCOMPARE(shown(), QStringLiteral("Nummern\n")); // a fresh box, this page alone
        QVERIFY(messages_.isEmpty());
    }

    // A missing page after another: the box must not go on showing the
    // page before under the new choice.
    void missing_page()
    {
        choose("help_Dateinamen_standardisieren");
        QCOMPARE(shown(), QStringLiteral("Nummern\n"));
        QVERIFY(QFile::remove(pages_->filePath(QStringLiteral("groklei.hl1"))));
        choose("help_dateien_groß_kleinschr");
        QVERIFY(window() && window()->isVisible());
        QCOMPARE(messages_, QStringList{"Fehler beim öffnen der Datei"});
        QCOMPARE(shown(), QStringLiteral("Diese Hilfeseite konnte nicht gelesen werden."));
    }

    // The pages the program ships: RTF documents that the reader takes whole,
    // with nothing of their markup left over as text.
    void shipped_pages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("heading");
        QTest::newRow("standardis") << "standardis.hl1"
                                    << "Dateinamen standardisieren";
        QTest::newRow("groklei") << "groklei.hl1"
                                 << "Dateinamen in Groß/Kleinschreibweise";
    }
    void shipped_pages()
    {
        QFETCH(QString, file);
        QFETCH(QString, heading);
        frame_->help_pages()->set_page_folder(TALVENCE_HELP_PAGES);
        frame_->help_pages()->show_help_page(file);
        QVERIFY(messages_.isEmpty());
        QVERIFY(window()->box()->shows_rich_text());
        const QString text = shown();
        QVERIFY(text.startsWith(heading));
        static const QRegularExpression markup(QStringLiteral(R"([\\{}]|\bpar\b|'[0-9a-f]{2})"));
        QVERIFY2(!text.contains(markup), qPrintable(text.mid(text.indexOf(markup) - 20, 60)));
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
        QVERIFY(text.contains(QStringLiteral("→")) || file == "groklei.hl1");
    }
};

QTEST_MAIN(tst_help)
#include "tst_help.moc"
