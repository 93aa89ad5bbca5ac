// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QDateTime>
#include <QStatusBar>
#include <QTimer>

class QLabel;

namespace talvence {

// The frame's status bar: "Status", the date and the time, kept current by
// a timer at each turn of the minute and by the system's word that the
// clock was set or the time zone changed; nothing wakes it in between.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);
    ~StatusBar() override;

    // The clock it reads; tests put their own in.
    void set_clock(std::function<QDateTime()> clock);
    // Shows the clock's date and time and aims the timer at the next look.
    void refresh();
    // How far a long piece of work is, in the first panel; "Status" again
    // when the text is empty.
    void show_progress(const QString &text);

    static QString date_text(const QDate &date, const QLocale &locale);
    static QString time_text(const QTime &time, const QLocale &locale);
    const QTimer &timer() const { return timer_; }

private:
    void watch_the_clock();
    void arm_clock_watch();

    std::function<QDateTime()> clock_;
    int clock_set_ = -1;
    QString zone_;
    qint64 zone_size_ = -1;
    QLabel *status_, *date_, *time_;
    QTimer timer_;
};

} // namespace talvence
