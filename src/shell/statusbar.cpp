// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusbar.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QSocketNotifier>

#include "designfont.h"
#include "twips.h"

namespace talvence {

namespace {

QLabel *panel(QWidget *parent, const QString &name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setMinimumWidth(px(1440));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setContentsMargins(2, 0, 2, 0);
    return l;
}

} // namespace

StatusBar::StatusBar(QWidget *parent)
    : QStatusBar(parent), clock_([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("sbStatusBar"));
    setFont(design_font()); // its panels fit the designed height in this font
    setFixedHeight(px(270));
    setSizeGripEnabled(false);
    status_ = panel(this, QStringLiteral("sbStatusBar_status"));
    status_->setText(QStringLiteral("Status"));
    date_ = panel(this, QStringLiteral("sbStatusBar_date"));
    time_ = panel(this, QStringLiteral("sbStatusBar_time"));
    addPermanentWidget(status_, 1);
    addPermanentWidget(date_);
    addPermanentWidget(time_);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &StatusBar::refresh);
    watch_the_clock();
    refresh();
}

StatusBar::~StatusBar()
{
    if (clock_set_ >= 0)
        ::close(clock_set_);
}

void StatusBar::watch_the_clock()
{
    // A timer on the wall clock, far off, that the kernel cancels the moment
    // the clock is set or jumps (a resume from suspend): the panels follow
    // at once, and nothing wakes the program in between.
    clock_set_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (clock_set_ >= 0) {
        arm_clock_watch();
        auto *notifier = new QSocketNotifier(clock_set_, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            std::uint64_t expired = 0;
            [[maybe_unused]] const ssize_t n = ::read(clock_set_, &expired, sizeof expired);
            arm_clock_watch();
            refresh();
        });
    }
    // A new time zone is a new /etc/localtime, often a link put in place of
    // the old one: the folder is watched for that, the file for a change.
    auto *zone = new QFileSystemWatcher(this);
    const QString localtime = QStringLiteral("/etc/localtime");
    zone->addPath(QStringLiteral("/etc"));
    zone->addPath(localtime);
    const auto changed = [this, zone, localtime] {
        if (!zone->files().contains(localtime))
            zone->addPath(localtime);
        const QString zone_now = QFileInfo(localtime).symLinkTarget();
        const qint64 size_now = QFileInfo(localtime).size();
        if (zone_now == zone_ && size_now == zone_size_)
            return;
        zone_ = zone_now;
        zone_size_ = size_now;
        refresh();
    };
    zone_ = QFileInfo(localtime).symLinkTarget();
    zone_size_ = QFileInfo(localtime).size();
    connect(zone, &QFileSystemWatcher::fileChanged, this, [this, localtime](const QString &) {
        zone_size_ = -1; // the file itself was written: read anew
        refresh();
    });
    connect(zone, &QFileSystemWatcher::directoryChanged, this, changed);
}

void StatusBar::arm_clock_watch()
{
    itimerspec far{};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    far.it_value.tv_sec = now.tv_sec + 365 * 24 * 3600;
    ::timerfd_settime(clock_set_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr);
}

void StatusBar::show_progress(const QString &text)
{
    status_->setText(text.isEmpty() ? QStringLiteral("Status") : text);
}

void StatusBar::set_clock(std::function<QDateTime()> clock)
{
    clock_ = std::move(clock);
    refresh();
}

QString StatusBar::date_text(const QDate &date, const QLocale &locale)
{
    // The short form with the whole year, as a desktop's date panel shows it.
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression two_digit_year(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(two_digit_year, QStringLiteral("yyyy"));
    return locale.toString(date, format);
}

QString StatusBar::time_text(const QTime &time, const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // hours and minutes only, whatever else the locale's short form holds
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+"));
    format.remove(seconds);
    return locale.toString(time, format.trimmed());
}

void StatusBar::refresh()
{
    const QDateTime now = clock_();
    const QLocale locale;
    date_->setText(date_text(now.date(), locale));
    time_->setText(time_text(now.time(), locale));
    // Nothing to do until the minute turns; a clock that is set or a new
    // time zone wakes the bar on its own.
    const int into_minute = now.time().second() * 1000 + now.time().msec();
    timer_.start(60000 - into_minute + 5);
}

} // namespace talvence
