// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Long work on the window's thread, such as a rename of a whole folder.
// While it runs the wait cursor shows, no key or click reaches the
// program's windows (so nothing else can start halfway), the frame keeps
// repainting and its status bar tells how far the work has come. A close
// of the frame waits for the work to end; a stop signal ends it between two
// of its steps.

#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace talvence {

// What the frame listens to.
class Work : public QObject {
    Q_OBJECT
public:
    static Work &state();
    bool running() const { return depth_ > 0; }
    // The program is to end as soon as the work allows.
    void end_when_done() { end_requested_ = true; }
    bool end_requested() const { return end_requested_; }
    // Keys and clicks that arrived during work and went nowhere.
    int swallowed() const { return swallowed_; }
    // How the last work ended, for the status bar until the next action;
    // empty gives it back its usual text.
    void tell(const QString &text) { Q_EMIT progress(text); }

Q_SIGNALS:
    // How far the work is, for the status bar; empty once it is over.
    void progress(const QString &text);
    // The work is over and the program was asked to end meanwhile.
    void end_now();

private:
    friend class BusyWork;
    int depth_ = 0;
    bool end_requested_ = false;
    int swallowed_ = 0;
};

// One piece of work, from its start to the end of the scope.
class BusyWork : public QObject {
    Q_OBJECT
public:
    BusyWork();
    ~BusyWork() override;
    BusyWork(const BusyWork &) = delete;
    BusyWork &operator=(const BusyWork &) = delete;

    // After each step: step `done` of `total` in pass `pass` of `passes`.
    // Lets the windows repaint at most ten times a second. False when the
    // program has been told to stop: the work then ends before its next step.
    bool step(int pass, int passes, qsizetype done, qsizetype total);
    // For a message in the middle of the work: input and the arrow back.
    void pause();
    void resume();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QElapsedTimer since_;
    unsigned calls_ = 0;
    bool paused_ = false;
};

} // namespace talvence
