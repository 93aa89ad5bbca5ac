// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"

#include <cerrno>
#include <climits>
#include <unistd.h>

#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>

#include "busywork.h"
#include "buttonpictures.h"
#include "designfont.h"
#include "drivelist.h"
#include "filelistmodel.h"
#include "folder.h"
#include "folderlist.h"
#include "names.h"
#include "renamecase.h"
#include "renamestandard.h"
#include "runhistory.h"
#include "seams.h"
#include "twips.h"

namespace talvence {

namespace {

template <typename W> W *place(QWidget *parent, const char *name, QRect twips_geometry)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(twips_geometry);
    return w;
}

QGroupBox *frame(QWidget *parent, const char *name, QRect geometry, const QString &accessible)
{
    auto *f = place<QGroupBox>(parent, name, geometry);
    f->setAccessibleName(accessible);
    return f;
}

QPushButton *picture_button(QWidget *parent, const char *name, QRect geometry,
                            ButtonPicture picture, const QString &tooltip,
                            const QString &accessible)
{
    auto *b = place<QPushButton>(parent, name, geometry);
    b->setIcon(button_picture(picture));
    b->setIconSize(QSize(49, 49));
    b->setToolTip(tooltip);
    b->setAccessibleName(accessible);
    return b;
}

void set_colours(QWidget *w, QColor text, QColor base)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::Base, base);
    w->setPalette(pal);
}

QByteArray working_folder()
{
    QByteArray buffer(PATH_MAX, '\0');
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.constData());
}

// The file list. Focus that arrives by Tab selects nothing, so it opens
// nothing; the first arrow key then selects the first file, as in a list box.
// Enter chooses the current file as a click does.
class FileList : public QListView {
public:
    using QListView::QListView;
    std::function<void()> entered;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        const bool had_current = currentIndex().isValid();
        QListView::focusInEvent(event);
        if (!had_current && selectionModel() && !selectionModel()->hasSelection())
            selectionModel()->clearCurrentIndex();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            event->modifiers() == Qt::NoModifier && currentIndex().isValid() &&
            selectionModel()->isSelected(currentIndex()) && entered) {
            entered();
            return;
        }
        QListView::keyPressEvent(event);
    }
};

// Numbers in the status bar and the messages are grouped the German way,
// as the words around them are German, whatever the user's locale.
QString number(qsizetype n)
{
    return QLocale(QLocale::German, QLocale::Germany).toString(qlonglong(n));
}

QString files_text(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 Datei") : QStringLiteral("%1 Dateien").arg(number(n));
}

QString run_name(PassKind kind, TargetCase target)
{
    if (kind != PassKind::Case)
        return QStringLiteral("Standardisieren");
    return target == TargetCase::Upper ? QStringLiteral("ALLES GROSS")
                                       : QStringLiteral("alles klein");
}

QString error_text(int e)
{
    switch (e) {
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("der Datenträger ist voll");
    case EROFS:
        return QStringLiteral("der Datenträger ist schreibgeschützt");
    case EACCES:
    case EPERM:
        return QStringLiteral("keine Berechtigung");
    case ENAMETOOLONG:
        return QStringLiteral("der Name ist zu lang");
    case ENODEV:
    case ENXIO:
    case ENOTCONN:
    case ESTALE:
        return QStringLiteral("der Datenträger ist nicht mehr erreichbar");
    default:
        return QStringLiteral("Fehler Nr. %1").arg(e);
    }
}

QString restore_report(const RestoreReport &report)
{
    QStringList lines;
    for (const auto &[now, was] : report.taken)
        lines << QStringLiteral("„%1“ heißt weiter „%2“: der alte Name ist vergeben.")
                     .arg(display_name(was), display_name(now));
    for (const auto &[now, was] : report.replaced)
        lines << QStringLiteral(
                     "„%1“ ist eine andere Datei als die umbenannte und bleibt, wie sie ist.")
                     .arg(display_name(now));
    for (const auto &[now, was] : report.renamed)
        lines << QStringLiteral("„%1“ wurde seither umbenannt und heißt weiter „%2“.")
                     .arg(display_name(was), display_name(now));
    for (const QByteArray &was : report.missing)
        lines << QStringLiteral("„%1“ ist nicht mehr im Ordner.").arg(display_name(was));
    for (const auto &[was, e] : report.failed)
        lines << (was.isEmpty() ? QStringLiteral("Die Aufzeichnung kann nicht geschrieben werden "
                                                 "(%1).")
                                      .arg(error_text(e))
                                : QStringLiteral("„%1“ kann nicht umbenannt werden (%2).")
                                      .arg(display_name(was), error_text(e)));
    const qsizetype shown = 10;
    const qsizetype more = lines.size() - shown;
    if (more > 0) {
        lines = lines.mid(0, shown);
        lines << QStringLiteral("… und %1 weitere.").arg(number(more));
    }
    QStringList parts;
    if (!lines.isEmpty())
        parts << QStringLiteral("Nicht jede Datei hat ihren alten Namen zurückbekommen:\n\n") +
                     lines.join(QLatin1Char('\n'));
    if (report.folder_error)
        parts << QStringLiteral("Der Ordner kann nicht gelesen werden (%1). Es wurde nichts "
                                "umbenannt.")
                     .arg(error_text(report.folder_error));
    if (report.unplaced)
        parts << QStringLiteral("Die meisten Dateien der Umbenennung sind in diesem Ordner nicht "
                                "zu finden. Es wurde nichts umbenannt.");
    if (report.locked)
        parts << QStringLiteral("Die Umbenennung wird gerade von einem anderen Talvence "
                                "bearbeitet.");
    if (report.damaged)
        parts << QStringLiteral("Die Aufzeichnung der Umbenennung ist beschädigt.");
    if (!report.finished && (report.folder_error || report.unplaced || !report.failed.empty()))
        parts << QStringLiteral("Die Aufzeichnung bleibt erhalten: die alten Namen können später "
                                "noch zurückgegeben werden.");
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

Form1::Form1(QWidget *parent) : ChildWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("File Talvence"));
    setWindowIcon(rename_window_icon());
    // A tool window of fixed size: a close box, no minimize or maximize box.
    setWindowFlags(Qt::SubWindow | Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(design_font());
    build();
    // The frame around the client area is only known once the window is
    // polished; the layout keeps the window at client plus frame from then on.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Opening the folder lists its files (folder_changed): once.
    if (!Dir1->set_path(working_folder()))
        Dir1->set_path("/");
}

void Form1::build()
{
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("Form1_client"));
    client_->setFixedSize(twips_size(7215, 7335));
    setWidget(client_);

    Frame_standardisieren =
        frame(client_, "Frame_standardisieren", twips_rect(2520, 120, 3375, 1215),
              QStringLiteral("Standardisieren"));
    Option2 =
        place<QRadioButton>(Frame_standardisieren, "Option2", twips_rect(1200, 480, 1815, 255));
    Option2->setText(QStringLiteral("Benutzerdef. Format"));
    Option2->setToolTip(QStringLiteral("Dateiname: \"IhrText\"+Zählernummer+DateiEndung"));
    Option1 =
        place<QRadioButton>(Frame_standardisieren, "Option1", twips_rect(1200, 240, 1815, 255));
    Option1->setText(QStringLiteral("Standard Format"));
    Option1->setToolTip(QStringLiteral("Dateiname: Zählernummer + Dateiendung"));
    Option1->setChecked(true);
    Textfeld_format =
        place<QLineEdit>(Frame_standardisieren, "Textfeld_format", twips_rect(1200, 720, 495, 285));
    Textfeld_format->setMaxLength(INT_MAX); // the length is checked when the rename starts
    Textfeld_format->setToolTip(
        QStringLiteral("Geben Sie hier Ihre benutzerdefinierte Zeichenkette ein, mit welcher "
                       "jeder Dateiname beginnen soll."));
    Textfeld_format->setAccessibleName(QStringLiteral("Benutzerdefinierte Zeichenkette"));
    Textfeld_format->setEnabled(false);
    Textfeld_format->setVisible(false);
    Label2 = place<QLabel>(Frame_standardisieren, "Label2", twips_rect(1680, 720, 1575, 255));
    Label2->setText(QStringLiteral("+Zähler+Dateiendung"));
    Label2->setVisible(false);

    Frame_gross_klein = frame(client_, "Frame_gross_klein", twips_rect(240, 120, 2175, 1215),
                              QStringLiteral("Groß- und Kleinschreibung"));
    klein = picture_button(
        Frame_gross_klein, "klein", twips_rect(120, 240, 855, 855), ButtonPicture::Upper,
        QStringLiteral("ALLES GROSS: Klicken Sie hier um alle Dateien des aktuellen Verzeichnis "
                       "(nicht im Hauptverzeichnis eines Laufwerkes) in Grossbuchstaben "
                       "umzubenennen."),
        QStringLiteral("ALLES GROSS"));
    gross = picture_button(
        Frame_gross_klein, "gross", twips_rect(1200, 240, 855, 855), ButtonPicture::Lower,
        QStringLiteral("alles klein: Klicken Sie hier um alle Dateien des aktuellen Verzeichnis "
                       "(nicht im Hauptverzeichnis eines Laufwerkes) in Kleinbuchstaben "
                       "umzubenennen."),
        QStringLiteral("alles klein"));
    rename_standard_button = picture_button(
        Frame_standardisieren, "rename_standard_button", twips_rect(120, 240, 855, 855),
        ButtonPicture::Numbering,
        QStringLiteral("Standardisieren: Klicken Sie hier um alle Dateien des aktuellen "
                       "Verzeichnis (nicht im Hauptverzeichnis eines Laufwerkes) in neues "
                       "Format umzubenennen."),
        QStringLiteral("Standardisieren"));

    Frame1 = frame(client_, "Frame1", twips_rect(6000, 120, 1095, 1215), QStringLiteral("Beenden"));
    quit = picture_button(Frame1, "quit", twips_rect(120, 240, 855, 855), ButtonPicture::Quit,
                          QStringLiteral("Programm beenden"), QStringLiteral("Programm beenden"));

    Frame2 = frame(client_, "Frame2", twips_rect(240, 1560, 6855, 5655),
                   QStringLiteral("Laufwerk, Verzeichnis und Dateien"));
    Drive1 = place<DriveList>(Frame2, "Drive1", twips_rect(120, 240, 3015, 315));
    Drive1->setToolTip(QStringLiteral("Wählen Sie hier das gewünschte Laufwerk aus"));
    Drive1->setAccessibleName(QStringLiteral("Laufwerk"));
    // The drop-down list is read out on its own when it opens.
    Drive1->view()->setAccessibleName(Drive1->accessibleName());
    {
        QPalette pal = Drive1->palette();
        pal.setColor(QPalette::Button, QColor(0xE0, 0xE0, 0xE0));
        pal.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
        Drive1->setPalette(pal);
    }
    Dir1 = place<FolderList>(Frame2, "Dir1", twips_rect(120, 840, 3015, 4590));
    Dir1->setToolTip(QStringLiteral("Wählen Sie hier das gewünschte Verzeichnis aus"));
    Dir1->setAccessibleName(QStringLiteral("Verzeichnis"));
    set_colours(Dir1, QColor(0x80, 0x80, 0xFF), Qt::white);
    Label5 = place<QLabel>(Frame2, "Label5", twips_rect(120, 600, 1815, 255));
    Label5->setText(QStringLiteral("Verzeichnis"));
    Label6 = place<QLabel>(Frame2, "Label6", twips_rect(3480, 600, 2175, 255));
    Label6->setText(QStringLiteral("Dateien"));
    list3 = place<FileList>(Frame2, "list3", twips_rect(3360, 840, 3255, 4515));
    list3->setToolTip(QStringLiteral("Klicken Sie auf eine Datei, um Sie zu öffnen..."));
    list3->setAccessibleName(QStringLiteral("Dateien"));
    set_colours(list3, QColor(0x00, 0x00, 0x80), Qt::white);
    list3->setUniformItemSizes(true);
    list3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    files_ = new FileListModel(this);
    probe_ = new DriveProbe(this);
    list3->setModel(files_);

    QWidget *order[] = {
        Option2, Option1, Textfeld_format, klein, gross, rename_standard_button, quit, Drive1,
        Dir1,    list3};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    connect(Option1, &QRadioButton::clicked, this, [this] {
        Textfeld_format->setEnabled(false);
        Textfeld_format->setVisible(false);
        Label2->setVisible(false);
        Textfeld_format->clear();
    });
    connect(Option2, &QRadioButton::clicked, this, [this] {
        Textfeld_format->setEnabled(true);
        Textfeld_format->setVisible(true);
        Label2->setVisible(true);
    });
    connect(klein, &QPushButton::clicked, this, [this] { rename_case_clicked(true); });
    connect(gross, &QPushButton::clicked, this, [this] { rename_case_clicked(false); });
    connect(rename_standard_button, &QPushButton::clicked, this, &Form1::rename_standard_clicked);
    connect(quit, &QPushButton::clicked, this, [] { seams().terminate(); });
    connect(Drive1, &DriveList::drive_chosen, this, &Form1::drive_chosen);
    connect(Dir1, &FolderList::path_changed, this, &Form1::folder_changed);
    // A file is opened at every click on it, also on the one already
    // selected, and at every move of the selection by keyboard; a click
    // counts once, when the button comes up on the entry it went down on.
    connect(list3, &QListView::clicked, this, [this] { Q_EMIT file_clicked(false); });
    static_cast<FileList *>(list3)->entered = [this] { Q_EMIT file_clicked(false); };
    // Only a move that selects counts: the focus arriving moves no selection.
    connect(list3->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && list3->selectionModel()->isSelected(current) &&
                    !(QApplication::mouseButtons() & Qt::LeftButton))
                    Q_EMIT file_clicked(true);
            });
}

QByteArray Form1::current_folder() const
{
    return Dir1->path();
}

QByteArray Form1::selected_file() const
{
    const QModelIndexList rows = list3->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? QByteArray() : files_->raw_name(rows.first().row());
}

QByteArray Form1::full_path(const QByteArray &name) const
{
    return talvence::full_path(current_folder(), name);
}

void Form1::reread_files(const NameList &likely)
{
    files_->read(current_folder(), likely);
}

void Form1::drive_chosen(const QByteArray &mount_point)
{
    // A volume that does not answer (a lost share, a stopped FUSE process)
    // would freeze the window if its folder were read here; it is asked on
    // the side, and a volume that keeps silent counts as not ready.
    probe_->start(mount_point, [this, mount_point](bool ready) {
        if (!ready || !Dir1->set_path(mount_point))
            seams().message(QStringLiteral("Kein Datenträger"));
    });
}

void Form1::folder_changed()
{
    // The folder list has just read the folder for its subfolders, and its
    // files with them.
    if (auto files = Dir1->take_files())
        files_->show(std::move(*files));
    else
        reread_files();
    Drive1->show_drive_of(current_folder());
    Work::state().tell(QString());
    refresh_undoable();
    // Once the window stands: a question must not come up in the middle
    // of opening it.
    if (!restore_check_queued_) {
        restore_check_queued_ = true;
        QMetaObject::invokeMethod(this, &Form1::offer_restore, Qt::QueuedConnection);
    }
}

void Form1::offer_restore()
{
    restore_check_queued_ = false;
    const QByteArray folder = current_folder();
    std::vector<QByteArray> damaged;
    const std::vector<InterruptedRun> runs = find_interrupted_runs(folder, &damaged);
    // A damaged or foreign record is told of once; it stays as it is.
    static QSet<QByteArray> told;
    QStringList unreadable;
    for (const QByteArray &path : damaged)
        if (!told.contains(path)) {
            told.insert(path);
            unreadable << QStringLiteral("„%1“").arg(display_name(path));
        }
    if (!unreadable.isEmpty())
        seams().message(QStringLiteral("Eine Aufzeichnung einer Umbenennung in diesem Ordner ist "
                                       "beschädigt oder nicht von Talvence und wird übergangen:"
                                       "\n\n") +
                        unreadable.join(QLatin1Char('\n')));
    if (runs.empty())
        return;
    const int answer = seams().ask(
        QStringLiteral("In diesem Ordner wurde eine Umbenennung unterbrochen. Die Dateien "
                       "können die Namen zurückbekommen, die sie davor hatten.\n\n"
                       "„So lassen“ behält die Namen, wie sie jetzt sind; „Später“ fragt beim "
                       "nächsten Öffnen des Ordners wieder."),
        {QStringLiteral("Wiederherstellen"), QStringLiteral("So lassen"),
         QStringLiteral("Später")});
    if (answer == 1) {
        for (const InterruptedRun &run : runs)
            drop_interrupted_run(run);
        refresh_undoable();
        return;
    }
    if (answer != 0)
        return;
    RestoreReport report;
    {
        BusyWork busy;
        report = restore_interrupted_runs(folder, runs,
                                          [&busy](int, int, qsizetype done, qsizetype total) {
                                              return busy.step(1, 1, done, total);
                                          });
        reread_files();
    }
    refresh_undoable();
    if (report.problems())
        seams().message(restore_report(report));
}

void Form1::refresh_undoable()
{
    undoable_ = last_undoable_run(current_folder());
    Q_EMIT undo_changed();
}

void Form1::undo_last_run()
{
    refresh_undoable();
    if (!undoable_)
        return;
    const UndoableRun run = *undoable_;
    RestoreReport report;
    {
        BusyWork busy;
        report =
            undo_run(current_folder(), run, [&busy](int, int, qsizetype done, qsizetype total) {
                return busy.step(1, 1, done, total);
            });
        reread_files();
    }
    refresh_undoable();
    if (report.finished)
        Work::state().tell(QStringLiteral("Rückgängig gemacht: %1 (%2)")
                               .arg(run_name(run.kind, run.target), files_text(run.files)));
    if (report.problems())
        seams().message(restore_report(report));
}

void Form1::tell_outcome(const RunOutcome &outcome, PassKind kind)
{
    refresh_undoable();
    const QString undo = outcome.undo ? QStringLiteral(" – Rückgängig mit Strg+Z") : QString();
    switch (outcome.end) {
    case RunOutcome::End::Finished:
        if (outcome.files > 0)
            Work::state().tell(
                QStringLiteral("%1 umbenannt")
                    .arg(files_text(kind == PassKind::Case ? outcome.renamed : outcome.files)) +
                undo);
        break;
    case RunOutcome::End::Refused:
        if (outcome.renamed > 0)
            Work::state().tell(QStringLiteral("Umbenennung nach %1 von %2 Dateien angehalten")
                                   .arg(number(outcome.reached), number(outcome.files)) +
                               undo);
        break;
    case RunOutcome::End::Stopped:
        // A stop signal ends the program; a lack of memory ended only the
        // run, with its record kept: its files can have their names back
        // at once.
        if (outcome.error != 0) {
            Work::state().tell(
                QStringLiteral("Umbenennung nach %1 von %2 Dateien angehalten: zu wenig "
                               "Arbeitsspeicher")
                    .arg(number(outcome.reached), number(outcome.files)));
            reread_files();
            offer_restore();
        }
        break;
    case RunOutcome::End::NoRecord: {
        const QByteArray state = state_folder();
        seams().message(
            QStringLiteral("Die Umbenennung wurde nicht begonnen: weder dieser Ordner noch der "
                           "Ordner „%1“ kann ihre Aufzeichnung aufnehmen (%2). Keine Datei wurde "
                           "umbenannt.")
                .arg(state.isEmpty() ? QStringLiteral("~/.local/state/talvence")
                                     : display_name(state),
                     error_text(outcome.error)));
        break;
    }
    default:
        break;
    }
}

void Form1::rename_standard_clicked()
{
    RunOutcome outcome;
    {
        BusyWork busy;
        StandardRenameIo io;
        io.prefix = [this] { return Textfeld_format->text(); };
        io.prefix_too_long = [&busy] {
            // The message is modal: it takes keys and clicks, and the wait
            // cursor must not stand over it.
            busy.pause();
            seams().message(QStringLiteral(
                "Die maximal zulässige Gesamtlänge des Dateinamens wurde überschritten! Bitte "
                "korrigieren Sie Ihre Eingaben und versuchen es dann erneut."));
            busy.resume();
        };
        io.reread = [this](const NameList &numbered) { reread_files(numbered); };
        io.shown = &files_->names();
        io.progress = [&busy](int pass, int passes, qsizetype done, qsizetype total) {
            return busy.step(pass, passes, done, total);
        };
        outcome = rename_standard(current_folder(), io);
    }
    tell_outcome(outcome, PassKind::Numbering);
}

void Form1::rename_case_clicked(bool upper)
{
    RunOutcome outcome;
    {
        BusyWork busy;
        outcome = rename_case(
            current_folder(), upper ? TargetCase::Upper : TargetCase::Lower,
            [this](const NameList &renamed) { reread_files(renamed); }, &files_->names(),
            [&busy](int pass, int passes, qsizetype done, qsizetype total) {
                return busy.step(pass, passes, done, total);
            });
    }
    tell_outcome(outcome, PassKind::Case);
}

} // namespace talvence
