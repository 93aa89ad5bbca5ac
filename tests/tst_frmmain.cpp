// SPDX-License-Identifier: GPL-3.0-or-later
// The main frame offscreen: menus, the single rename window, always on top,
// the status bar's clock and the placement record.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QtTest>

#include "designfont.h"
#include "form1.h"
#include "frmmain.h"
#include "module1.h"
#include "seams.h"
#include "statusbar.h"
#include "twips.h"
#include "windowtest.h"

using namespace talvence;

// The frame is placed before it is shown, when the size of the decorations
// the window system adds is not yet known; a few pixels off centre are fine.

namespace {

QString settings_file()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Talvence/Talvence.conf");
}

QStringList stored()
{
    QSettings s(settings_file(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Settings"));
    QStringList out;
    for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
        out << s.value(QLatin1String(key)).toString();
    return out;
}

QStringList twips_of(const QRect &r)
{
    return {QString::number(to_twips(r.left())), QString::number(to_twips(r.top())),
            QString::number(to_twips(r.width())), QString::number(to_twips(r.height()))};
}

} // namespace

class tst_frmmain : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<frmMain> frame_;
    int terminations_ = 0;

    QAction *action(const char *name) { return frame_->findChild<QAction *>(QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase() { test::use_private_home(); }
    void init()
    {
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QDir(config).removeRecursively();
        QDir().mkpath(config);
        work_ = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(work_->path());
        terminations_ = 0;
        seams().terminate = [this] { ++terminations_; };
        seams().message = [](const QString &) {};
        seams().drives = [] { return std::vector<Drive>{{"/", QString()}}; };
        frame_ = std::make_unique<frmMain>();
        frame_->place_on_screen();
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void cleanup()
    {
        frame_.reset();
        QDir::setCurrent(QStringLiteral("/"));
        seams() = Seams::defaults();
    }

    void frame_as_designed()
    {
        QCOMPARE(frame_->objectName(), QStringLiteral("frmMain"));
        QCOMPARE(frame_->windowTitle(), QStringLiteral("File Talvence"));
        QCOMPARE(frame_->width(), px(7875));
        QCOMPARE(frame_->height() - frame_->menuBar()->height(), px(8685));
        QVERIFY(qobject_cast<QMdiArea *>(frame_->centralWidget()));
        QVERIFY(frame_->mdi_area()->subWindowList().isEmpty());
        const QPoint centre = frame_->screen()->availableGeometry().center();
        QVERIFY((frame_->frameGeometry().center() - centre).manhattanLength() <= 8);
    }

    void menus()
    {
        QList<QAction *> bar = frame_->menuBar()->actions();
        QStringList top;
        for (QAction *a : bar)
            top << a->text();
        QCOMPARE(top, QStringList({"Start", "Bearbeiten", "Ansicht", "Hilfe", "Ende"}));
        QCOMPARE(bar[0], action("start"));
        QCOMPARE(bar[4], action("ende"));
        QVERIFY(!bar[0]->menu() && !bar[4]->menu());
        // The one addition: "Rückgängig" with Strg+Z, off without a rename window.
        QCOMPARE(bar[1]->menu()->objectName(), QStringLiteral("bearbeiten"));
        QAction *undo = action("rueckgaengig");
        QCOMPARE(bar[1]->menu()->actions(), QList<QAction *>({undo}));
        QCOMPARE(undo->text(), QString::fromUtf8("Rückgängig"));
        QCOMPARE(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QVERIFY(!undo->isEnabled());
        bar.removeAt(1);
        QCOMPARE(bar[1]->menu()->objectName(), QStringLiteral("Programm"));
        QCOMPARE(bar[2]->menu()->objectName(), QStringLiteral("help"));
        auto entries = [](QMenu *m) {
            QStringList out;
            for (QAction *a : m->actions())
                out << a->objectName() + QLatin1Char('=') + a->text();
            return out;
        };
        QCOMPARE(entries(bar[1]->menu()), QStringList({"vordergrund=immer im Vordergrund"}));
        QCOMPARE(entries(bar[2]->menu()),
                 QStringList({"help_Dateinamen_standardisieren=Dateinamen standardisieren",
                              QString::fromUtf8("help_dateien_groß_kleinschr=Dateinamen in "
                                                "Groß/Kleinschreibweise")}));
        for (QAction *a : frame_->findChildren<QAction *>()) {
            if (a->text().isEmpty() || a == undo)
                continue;
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->text()));
            QVERIFY2(!a->text().contains(QLatin1Char('&')), qPrintable(a->text()));
            QVERIFY(!a->isCheckable());
            QVERIFY(a->isEnabled() && a->isVisible());
        }
        // the help entries are wired and harmless
        action("help_Dateinamen_standardisieren")->trigger();
        QVERIFY(frame_->isVisible());
    }

    void one_rename_window()
    {
        action("start")->trigger();
        QPointer<Form1> first = frame_->findChild<Form1 *>(QStringLiteral("Form1"));
        QVERIFY(first);
        first->findChild<QRadioButton *>(QStringLiteral("Option2"))->click();
        first->findChild<QLineEdit *>(QStringLiteral("Textfeld_format"))->setText("typed");
        action("start")->trigger();
        QCOMPARE(frame_->mdi_area()->subWindowList().size(), 1);
        QCOMPARE(frame_->mdi_area()->activeSubWindow(), first.data());
        QCOMPARE(first->widget()->size(), twips_size(7215, 7335)); // not squeezed by the frame
        QVERIFY(first->contentsRect().contains(first->widget()->geometry()));

        first->close();
        QTRY_VERIFY(!first);
        action("start")->trigger();
        Form1 *fresh = frame_->findChild<Form1 *>(QStringLiteral("Form1"));
        QVERIFY(fresh);
        QCOMPARE(frame_->mdi_area()->subWindowList().size(), 1);
        QVERIFY(fresh->findChild<QLineEdit *>(QStringLiteral("Textfeld_format"))->text().isEmpty());
        QVERIFY(fresh->findChild<QRadioButton *>(QStringLiteral("Option1"))->isChecked());
    }

    // A frame made smaller than the rename window scrolls to the rest of it.
    void small_frame_scrolls()
    {
        action("start")->trigger();
        QMdiArea *area = frame_->mdi_area();
        QVERIFY(!area->verticalScrollBar()->isVisible());
        frame_->resize(px(4000), px(4000));
        QTRY_VERIFY(area->verticalScrollBar()->isVisible());
        QVERIFY(area->horizontalScrollBar()->isVisible());
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        auto *form = frame_->findChild<Form1 *>(QStringLiteral("Form1"));
        const QRect seen = area->viewport()->rect();
        QVERIFY(seen.contains(form->geometry().bottomLeft() - QPoint(0, 1)));
    }

    void always_on_top_toggle()
    {
        QAction *entry = action("vordergrund");
        const QRect before = frame_->frameGeometry();
        const WId id = frame_->winId();
        QCOMPARE(frame_->vordergrund_status(), 0);
        const char *captions[] = {"immer im Vordergrund: an", "immer im Vordergrund: aus",
                                  "immer im Vordergrund: an"};
        for (int click = 0; click < 3; ++click) {
            entry->trigger();
            const bool on = click != 1;
            QCOMPARE(entry->text(), QString::fromUtf8(captions[click]));
            QCOMPARE(frame_->vordergrund_status(), on ? 1 : 0);
            QCOMPARE(bool(frame_->windowHandle()->flags() & Qt::WindowStaysOnTopHint), on);
            QVERIFY(frame_->isVisible());
            QCOMPARE(frame_->winId(), id);
            QCOMPARE(frame_->frameGeometry(), before);
        }
    }

    void status_bar_panels()
    {
        auto *bar = frame_->findChild<StatusBar *>(QStringLiteral("sbStatusBar"));
        QVERIFY(bar);
        QCOMPARE(bar->height(), px(270));
        bar->set_clock([] { return QDateTime(QDate(2026, 12, 7), QTime(9, 5, 30, 250)); });
        const QList<QLabel *> panels = bar->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(panels.size(), 3);
        QCOMPARE(panels[0]->text(), QStringLiteral("Status"));
        QCOMPARE(panels[1]->text(), StatusBar::date_text(QDate(2026, 12, 7), QLocale()));
        QCOMPARE(panels[2]->text(), StatusBar::time_text(QTime(9, 5), QLocale()));
        for (QLabel *p : panels)
            QVERIFY(p->width() >= px(1440));
        QVERIFY(panels[0]->width() >= panels[1]->width());
        QVERIFY(panels[0]->x() < panels[1]->x() && panels[1]->x() < panels[2]->x());
        // Nothing wakes the bar before the minute turns.
        QVERIFY(bar->timer().isSingleShot());
        QCOMPARE(bar->timer().interval(), 29750 + 5);
    }

    void locale_forms()
    {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(StatusBar::date_text(QDate(2026, 3, 7), german), QStringLiteral("07.03.2026"));
        QCOMPARE(StatusBar::time_text(QTime(23, 59, 58), german), QStringLiteral("23:59"));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QVERIFY(StatusBar::date_text(QDate(2026, 3, 7), us).contains(QStringLiteral("2026")));
        QVERIFY(StatusBar::time_text(QTime(23, 59, 58), us).startsWith(QStringLiteral("11:59")));
    }

    void panels_follow_the_clock()
    {
        auto *bar = frame_->findChild<StatusBar *>(QStringLiteral("sbStatusBar"));
        QDateTime now(QDate(2026, 12, 7), QTime(23, 59, 59, 900));
        bar->set_clock([&] { return now; });
        const QList<QLabel *> panels = bar->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(panels[2]->text(), StatusBar::time_text(QTime(23, 59), QLocale()));
        now = QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0, 10)); // midnight passes
        QTRY_COMPARE(panels[2]->text(), StatusBar::time_text(QTime(0, 0), QLocale()));
        QCOMPARE(panels[1]->text(), StatusBar::date_text(QDate(2026, 12, 8), QLocale()));
        QVERIFY(bar->timer().isActive());
    }

    void placement_written_on_close()
    {
        action("start")->trigger();
        QPointer<Form1> child = frame_->findChild<Form1 *>(QStringLiteral("Form1"));
        frame_->move(frame_->pos() + QPoint(7, 3));
        const QRect outer = frame_->frameGeometry();
        QVERIFY(frame_->close());
        QTRY_VERIFY(!child); // the child windows closed with it
        QCOMPARE(stored(), twips_of(outer));
    }

    void placement_when_maximized()
    {
        frame_->showMaximized();
        QTRY_VERIFY(frame_->isMaximized());
        const QRect outer = frame_->frameGeometry();
        frame_->close();
        QCOMPARE(stored(), twips_of(outer));
    }

    void nothing_written_when_minimized()
    {
        frame_->showMinimized();
        QTRY_VERIFY(frame_->isMinimized());
        frame_->close();
        QVERIFY(!QFile::exists(settings_file()));
    }

    void nothing_written_on_ende_or_quit()
    {
        action("ende")->trigger();
        QCOMPARE(terminations_, 1);
        Form1 *form = frame_->show_rename_window();
        QTest::mouseClick(form->findChild<QWidget *>(QStringLiteral("quit")), Qt::LeftButton);
        QCOMPARE(terminations_, 2);
        QVERIFY(!QFile::exists(settings_file()));
    }

    void session_end_records_too()
    {
        const QRect outer = frame_->frameGeometry();
        frame_->session_ending();
        QCOMPARE(stored(), twips_of(outer));
    }

    void earlier_record_is_never_read()
    {
        QDir().mkpath(QFileInfo(settings_file()).path());
        {
            QSettings s(settings_file(), QSettings::IniFormat);
            s.beginGroup(QStringLiteral("Settings"));
            for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
                s.setValue(QLatin1String(key), QStringLiteral("-150"));
        }
        frame_.reset();
        frmMain *started = Module1::Main();
        QVERIFY(QTest::qWaitForWindowExposed(started));
        QCOMPARE(started->width(), px(7875));
        const QPoint centre = started->screen()->availableGeometry().center();
        QVERIFY((started->frameGeometry().center() - centre).manhattanLength() <= 8);
        QVERIFY(started->mdi_area()->subWindowList().isEmpty());
        delete started;
    }

    void start_gives_menus_the_design_face_and_german_keys()
    {
        // Not the system's sans-serif face: on a small system that can be a
        // monospaced one.
        frame_.reset();
        frmMain *started = Module1::Main();
        // and shortcuts named as a German keyboard names its keys
        QCOMPARE(QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText),
                 QStringLiteral("Strg+Z"));
        const QString face = QFontInfo(design_font()).family();
        QCOMPARE(QFontInfo(started->menuBar()->font()).family(), face);
        const QList<QMenu *> menus = started->menuBar()->findChildren<QMenu *>();
        QVERIFY(!menus.isEmpty());
        for (const QMenu *menu : menus)
            QCOMPARE(QFontInfo(menu->font()).family(), face);
        delete started;
    }

    void unwritable_store_does_not_stop_the_close()
    {
        QFile blocker(QFileInfo(settings_file()).path()); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(frame_->close());
        QVERIFY(!frame_->isVisible());
    }
};

QTEST_MAIN(tst_frmmain)
#include "tst_frmmain.moc"
