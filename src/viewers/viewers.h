// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QByteArray>
#include <QObject>
#include <QPointer>

class QMdiArea;

namespace talvence {

class Betrachtungsprog_wahl;
class bildbetrachter;
class textbetrachter;

// The viewers and the viewer choice of the frame: each window exists at most
// once, is made on first use and goes with its close. The frame owns one.
class Viewers : public QObject {
    Q_OBJECT
public:
    // `selected_path` gives the full path of the file selected in the rename
    // window (the folder and "/" when none is), empty once that window is gone.
    Viewers(QMdiArea *area, std::function<QByteArray()> selected_path, QObject *parent = nullptr);

    // Each shows its viewer first, so that it is on screen even when the load
    // fails, then loads the file; false when any step failed. No message.
    bool show_in_text_viewer(const QByteArray &path);
    bool show_in_image_viewer(const QByteArray &path);
    // Keeps the image viewer and its picture, out of sight.
    void hide_image_viewer();
    // The viewer choice, modeless; brought forward when it is open.
    void show_viewer_choice();

    // What a click on an entry of the file list does, by the name's ending:
    // a viewer, a program started, or the viewer choice. A program starts
    // only where `may_start_program` (a click or Enter, not a walk through
    // the list with the keys).
    void open_selected_file(const QByteArray &name, const QByteArray &path,
                            bool may_start_program = true);

    textbetrachter *text_viewer() const;
    bildbetrachter *image_viewer() const;
    Betrachtungsprog_wahl *viewer_choice() const;

private:
    template <typename W> W *show_window(QPointer<W> &window);
    void choice_image();
    void choice_text();

    QMdiArea *area_;
    std::function<QByteArray()> selected_path_;
    QPointer<textbetrachter> text_;
    QPointer<bildbetrachter> image_;
    QPointer<Betrachtungsprog_wahl> choice_;
};

} // namespace talvence
