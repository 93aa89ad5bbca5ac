#include "statusbar.h"

#include <algorithm>

#include <QLabel>
#include <QLocale>
#include <QRegularExpression>

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
    refresh();
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
    // Aimed at the turn of the minute, but never more than a second away: a
    // clock set forward or back, a new time zone or a resume from suspend
    // shows within a second instead of at the next turn.
    const int into_minute = now.time().second() * 1000 + now.time().msec();
    timer_.start(std::min(60000 - into_minute + 5, 1000));
}

} // namespace talvence
