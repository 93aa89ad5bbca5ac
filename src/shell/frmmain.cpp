// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmmain.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLocale>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QSessionManager>
#include <QSettings>
#include <QWindow>

#include "busywork.h"
#include "form1.h"
#include "help.h"
#include "seams.h"
#include "statusbar.h"
#include "twips.h"
#include "viewers.h"

namespace talvence {

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("File Talvence"));
    area_ = new QMdiArea(this);
    area_->setObjectName(QStringLiteral("frmMain_workspace"));
    // QMdiArea paints the style's workspace colour unless told otherwise.
    // Child windows that reach beyond a small frame stay reachable.
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(area_);
    // The viewers read the selection of the rename window when they need it;
    // once that window is gone there is none, and a load fails.
    viewers_ = new Viewers(
        area_,
        [this] {
            return rename_window_ ? rename_window_->full_path(rename_window_->selected_file())
                                  : QByteArray();
        },
        this);
    help_pages_ = new Help(area_, this);
    sbStatusBar = new StatusBar(this);
    setStatusBar(sbStatusBar);
    create_actions();
    connect(qApp, &QGuiApplication::commitDataRequest, this, &frmMain::session_ending);
    connect(&Work::state(), &Work::progress, sbStatusBar, &StatusBar::show_progress);
    connect(&Work::state(), &Work::end_now, this, &QWidget::close);
}

void frmMain::create_actions()
{
    auto action = [this](const char *name, const QString &text) {
        auto *a = new QAction(text, this);
        a->setObjectName(QString::fromUtf8(name));
        return a;
    };
    QMenuBar *bar = menuBar();

    start = action("start", QStringLiteral("Start"));
    connect(start, &QAction::triggered, this, [this] { show_rename_window(); });
    bar->addAction(start);

    // The one entry beyond the design's menu bar: every run can be taken back.
    bearbeiten = bar->addMenu(QStringLiteral("Bearbeiten"));
    bearbeiten->setObjectName(QStringLiteral("bearbeiten"));
    rueckgaengig = action("rueckgaengig", QStringLiteral("Rückgängig"));
    rueckgaengig->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    // Also while a child window inside the frame has the focus.
    rueckgaengig->setShortcutContext(Qt::WindowShortcut);
    rueckgaengig->setEnabled(false);
    connect(rueckgaengig, &QAction::triggered, this, [this] {
        if (rename_window_ && !Work::state().running())
            rename_window_->undo_last_run();
    });
    bearbeiten->addAction(rueckgaengig);
    connect(bearbeiten, &QMenu::aboutToShow, this, &frmMain::update_undo);

    Programm = bar->addMenu(QStringLiteral("Ansicht"));
    Programm->setObjectName(QStringLiteral("Programm"));
    vordergrund = action("vordergrund", QStringLiteral("immer im Vordergrund"));
    connect(vordergrund, &QAction::triggered, this, &frmMain::toggle_always_on_top);
    Programm->addAction(vordergrund);

    help = bar->addMenu(QStringLiteral("Hilfe"));
    help->setObjectName(QStringLiteral("help"));
    help_Dateinamen_standardisieren =
        action("help_Dateinamen_standardisieren", QStringLiteral("Dateinamen standardisieren"));
    connect(help_Dateinamen_standardisieren, &QAction::triggered, this,
            [this] { help_pages_->show_help_page(QStringLiteral("standardis.hl1")); });
    help->addAction(help_Dateinamen_standardisieren);
    help_dateien_groß_kleinschr = action("help_dateien_groß_kleinschr",
                                         QStringLiteral("Dateinamen in Groß/Kleinschreibweise"));
    connect(help_dateien_groß_kleinschr, &QAction::triggered, this,
            [this] { help_pages_->show_help_page(QStringLiteral("groklei.hl1")); });
    help->addAction(help_dateien_groß_kleinschr);

    ende = action("ende", QStringLiteral("Ende"));
    connect(ende, &QAction::triggered, this, [] { seams().terminate(); });
    bar->addAction(ende);
}

void frmMain::place_on_screen()
{
    // The designed client area is what lies below the menu bar.
    QSize size(px(7875), px(8685) + menuBar()->sizeHint().height());
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        resize(size);
        return;
    }
    // On a small screen the frame takes what there is, its status bar stays
    // in sight and the client area scrolls to the child windows. The window
    // manager's border is known only once the frame is on screen; until
    // then room is left for a usual one.
    const QRect available = screen->availableGeometry();
    const QSize border = isVisible() ? frameGeometry().size() - geometry().size() : QSize(8, 32);
    resize(size.boundedTo(available.size() - border));
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    move(frame.topLeft());
}

Form1 *frmMain::show_rename_window()
{
    if (make_single(area_, rename_window_)) {
        Form1 *form = rename_window_;
        connect(form, &Form1::file_clicked, this, [this, form](bool walking) {
            const QByteArray name = form->selected_file();
            // Walking through the list with the keys opens viewers as it
            // goes, but starts no program.
            viewers_->open_selected_file(name, form->full_path(name), !walking);
        });
        connect(form, &Form1::undo_changed, this, &frmMain::update_undo);
        connect(form, &QObject::destroyed, this, &frmMain::update_undo, Qt::QueuedConnection);
        update_undo();
    }
    bring_forward(area_, rename_window_);
    return rename_window_;
}

void frmMain::update_undo()
{
    const std::optional<UndoableRun> run =
        rename_window_ ? rename_window_->undoable() : std::nullopt;
    if (!run) {
        rueckgaengig->setText(QStringLiteral("Rückgängig"));
        rueckgaengig->setEnabled(false);
        return;
    }
    const QLocale german(QLocale::German, QLocale::Germany);
    const QString name = run->kind != PassKind::Case        ? QStringLiteral("Standardisieren")
                         : run->target == TargetCase::Upper ? QStringLiteral("ALLES GROSS")
                                                            : QStringLiteral("alles klein");
    const QString files =
        run->files == 1 ? QStringLiteral("1 Datei")
                        : QStringLiteral("%1 Dateien").arg(german.toString(qlonglong(run->files)));
    rueckgaengig->setText(QStringLiteral("Rückgängig: %1 (%2)").arg(name, files));
    rueckgaengig->setEnabled(true);
}

void frmMain::toggle_always_on_top()
{
    const bool on = vordergrund_status_ == 0;
    // On the native window alone: changing the widget's flags would hide and
    // re-create the frame, moving it about the screen.
    if (!windowHandle())
        create(); // the flag lives on the native window, so there must be one
    windowHandle()->setFlag(Qt::WindowStaysOnTopHint, on);
    vordergrund->setText(on ? QStringLiteral("immer im Vordergrund: an")
                            : QStringLiteral("immer im Vordergrund: aus"));
    vordergrund_status_ = on ? 1 : 0;
}

void frmMain::record_placement()
{
    if (isMinimized())
        return;
    const QRect outer = frameGeometry();
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Talvence"),
                    QStringLiteral("Talvence"));
    store.beginGroup(QStringLiteral("Settings"));
    store.setValue(QStringLiteral("MainLeft"), QString::number(to_twips(outer.left())));
    store.setValue(QStringLiteral("MainTop"), QString::number(to_twips(outer.top())));
    store.setValue(QStringLiteral("MainWidth"), QString::number(to_twips(outer.width())));
    store.setValue(QStringLiteral("MainHeight"), QString::number(to_twips(outer.height())));
    store.endGroup();
    store.sync(); // a store that cannot be written does not hold up the close
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // A rename is not cut short by a close: the frame closes when it is done.
    if (Work::state().running()) {
        Work::state().end_when_done();
        event->ignore();
        return;
    }
    area_->closeAllSubWindows();
    record_placement();
    event->accept();
}

void frmMain::session_ending()
{
    area_->closeAllSubWindows();
    record_placement();
}

} // namespace talvence
