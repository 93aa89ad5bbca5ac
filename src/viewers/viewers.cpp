// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers.h"

#include <QFile>
#include <QMdiArea>

#include "betrachtungsprog_wahl.h"
#include "bildbetrachter.h"
#include "classify.h"
#include "pictureloader.h"
#include "richtextbox.h"
#include "seams.h"
#include "textbetrachter.h"

namespace talvence {

namespace {

const QString open_failed = QStringLiteral("Fehler beim öffnen der Datei");

} // namespace

Viewers::Viewers(QMdiArea *area, std::function<QByteArray()> selected_path, QObject *parent)
    : QObject(parent), area_(area), selected_path_(std::move(selected_path))
{
}

textbetrachter *Viewers::text_viewer() const
{
    return text_;
}

bildbetrachter *Viewers::image_viewer() const
{
    return image_;
}

Betrachtungsprog_wahl *Viewers::viewer_choice() const
{
    return choice_;
}

template <typename W> W *Viewers::show_window(QPointer<W> &window)
{
    make_single(area_, window);
    bring_forward(area_, window);
    return window;
}

bool Viewers::show_in_text_viewer(const QByteArray &path)
{
    textbetrachter *viewer = show_window(text_);
    return viewer->box()->load_file(path);
}

bool Viewers::show_in_image_viewer(const QByteArray &path)
{
    bildbetrachter *viewer = show_window(image_);
    Result<QImage> picture = load_picture(path);
    if (!picture)
        return false; // the picture shown before stays
    viewer->set_picture(std::move(*picture));
    return true;
}

void Viewers::hide_image_viewer()
{
    if (image_)
        image_->hide();
}

void Viewers::show_viewer_choice()
{
    if (make_single(area_, choice_)) {
        connect(choice_, &Betrachtungsprog_wahl::image_viewer_chosen, this, &Viewers::choice_image);
        connect(choice_, &Betrachtungsprog_wahl::text_viewer_chosen, this, &Viewers::choice_text);
    }
    bring_forward(area_, choice_);
}

void Viewers::choice_image()
{
    if (show_in_image_viewer(selected_path_())) {
        choice_->close();
        return;
    }
    hide_image_viewer();
    seams().message(open_failed);
    if (choice_)
        choice_->close();
}

void Viewers::choice_text()
{
    if (show_in_text_viewer(selected_path_())) {
        choice_->close();
        return;
    }
    seams().message(open_failed);
}

void Viewers::open_selected_file(const QByteArray &name, const QByteArray &path,
                                 bool may_start_program)
{
    switch (classify_file_name(name)) {
    case FileAction::image_viewer:
        if (!show_in_image_viewer(path))
            seams().message(open_failed);
        break;
    case FileAction::text_viewer:
        if (!show_in_text_viewer(path))
            seams().message(open_failed);
        break;
    case FileAction::start_program:
        if (!may_start_program)
            break;
        // The whole path is the program: no shell, no splitting at blanks.
        if (!seams().start_program(path))
            seams().message(open_failed);
        break;
    case FileAction::ask_viewer:
        show_viewer_choice();
        break;
    }
}

} // namespace talvence
