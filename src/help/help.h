// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QMdiArea;

namespace talvence {

class hilfefenster;

// The help pages of the frame: one help window, made when a page is asked
// for and none is open, discarded with its close.
class Help : public QObject {
    Q_OBJECT
public:
    explicit Help(QMdiArea *area, QObject *parent = nullptr);

    // Reads the page from the program's own folder afresh into the help
    // window and brings that window forward. A page that cannot be read
    // leaves the window open and brings the one message for a failed open.
    void show_help_page(const QString &page_file);

    hilfefenster *window() const;
    // The folder the pages are read from: the program's own, unless a test
    // puts its own in.
    void set_page_folder(const QByteArray &folder) { folder_ = folder; }

private:
    QMdiArea *area_;
    QByteArray folder_;
    QPointer<hilfefenster> window_;
};

} // namespace talvence
