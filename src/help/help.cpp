// SPDX-License-Identifier: GPL-3.0-or-later
#include "help.h"

#include <QCoreApplication>
#include <QFile>
#include <QMdiArea>

#include "hilfefenster.h"
#include "programstart.h"
#include "richtextbox.h"
#include "seams.h"

namespace talvence {

Help::Help(QMdiArea *area, QObject *parent)
    : QObject(parent), area_(area), folder_(program_folder())
{
}

hilfefenster *Help::window() const
{
    return window_;
}

void Help::show_help_page(const QString &page_file)
{
    const QByteArray path = folder_ + '/' + QFile::encodeName(page_file);
    make_single(area_, window_);
    const bool loaded = window_->box()->load_file(path);
    // The page chosen is not there: the one shown before must not stand
    // under its name.
    if (!loaded)
        window_->box()->show_note(QStringLiteral("Diese Hilfeseite konnte nicht gelesen werden."));
    bring_forward(area_, window_);
    window_->box()->setFocus();
    if (!loaded)
        seams().message(QStringLiteral("Fehler beim öffnen der Datei"));
}

} // namespace talvence
