// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
class QMdiArea;
class QMenu;

namespace talvence {

class Form1;
class Help;
class StatusBar;
class Viewers;

// The main frame: every other window of the program opens inside it.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);

    QMdiArea *mdi_area() const { return area_; }
    // The rename window, created on first use and brought forward afterwards.
    Form1 *show_rename_window();
    // The viewers and the viewer choice, and the help window.
    Viewers *viewers() const { return viewers_; }
    Help *help_pages() const { return help_pages_; }
    // 0 off, 1 on; unset counts as off.
    int vordergrund_status() const { return vordergrund_status_; }
    // Places the frame as designed: its size, centred on its screen.
    void place_on_screen();
    // The desktop session is ending: close the child windows and record the
    // placement, as a close through the window system does.
    void session_ending();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void create_actions();
    void toggle_always_on_top();
    // "Rückgängig" names the last run of the rename window's folder, and is
    // off where there is none or no rename window.
    void update_undo();
    void record_placement();

    QMdiArea *area_;
    StatusBar *sbStatusBar;
    QAction *start, *rueckgaengig, *vordergrund, *help_Dateinamen_standardisieren,
        *help_dateien_groß_kleinschr, *ende;
    QMenu *bearbeiten, *Programm, *help;
    QPointer<Form1> rename_window_;
    Viewers *viewers_;
    Help *help_pages_;
    int vordergrund_status_ = 0;
};

} // namespace talvence
