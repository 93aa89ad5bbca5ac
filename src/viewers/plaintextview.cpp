// SPDX-License-Identifier: GPL-3.0-or-later
#include "plaintextview.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextOption>

namespace talvence {

namespace {

// What assistive tools learn of the view: read-only multi-line text, the
// page in sight (a screen reader reads what is shown, as it would of any
// text box that holds more than a screen), its name from the box.
class PlainTextViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PlainTextViewAccessible(PlainTextView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }
    PlainTextView *view() const { return static_cast<PlainTextView *>(widget()); }
    QString page() const { return view()->visible_lines().join(QLatin1Char('\n')); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return page();
        return QAccessibleWidget::text(t);
    }

    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override
    {
        return page().mid(start, std::max(0, end - start));
    }
    int characterCount() const override { return int(page().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }
};

QAccessibleInterface *plain_text_view_accessible(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<PlainTextView *>(object))
        return new PlainTextViewAccessible(view);
    return nullptr;
}

// The space around the text, as a plain text document keeps it.
constexpr int margin = 4;
// The scroll bar's steps while it stands for bytes.
constexpr qint64 byte_steps = 1'000'000'000;

qint64 scale(qint64 value, qint64 to, qint64 from)
{
    return from <= 0 ? 0 : qint64(__int128(value) * to / from);
}

} // namespace

PlainTextView::PlainTextView(QWidget *parent) : QAbstractScrollArea(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(plain_text_view_accessible);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &PlainTextView::bar_moved);
    index_poll_.setInterval(100);
    connect(&index_poll_, &QTimer::timeout, this, &PlainTextView::check_index);
}

PlainTextView::~PlainTextView() = default;

void PlainTextView::set_file(std::unique_ptr<LineFile> file)
{
    shown_.clear();
    file_ = std::move(file);
    top_ = file_ ? file_->first_line() : 0;
    anchor_ = cursor_ = Place{};
    by_lines_ = false;
    horizontalScrollBar()->setValue(0);
    if (file_) {
        file_->start_index();
        index_poll_.start();
    } else {
        index_poll_.stop();
    }
    find_last_page();
    relayout();
}

void PlainTextView::clear()
{
    set_file(nullptr);
}

void PlainTextView::find_last_page()
{
    if (!file_)
        return;
    // The last page stays full: scrolling stops where the last line shows.
    qint64 last = file_->last_line();
    for (int k = 1; k < page_lines(); ++k) {
        const qint64 before = file_->previous_line(last);
        if (before == last)
            break;
        last = before;
    }
    last_top_ = last;
}

int PlainTextView::line_height() const
{
    return fontMetrics().lineSpacing();
}

int PlainTextView::page_lines() const
{
    return std::max(1, (viewport()->height() - margin) / line_height());
}

void PlainTextView::relayout()
{
    const QScopedValueRollback guard(laying_out_, true);
    shown_.clear();
    if (file_) {
        top_ = std::clamp(top_, file_->first_line(), std::max(file_->first_line(), last_top_));

        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setTabStopDistance(80);
        const int count = page_lines() + 1;
        // No character is narrower than half a full stop, but for those that
        // take no room at all.
        const int narrowest = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('.')) / 2);
        const qsizetype keep =
            (horizontalScrollBar()->value() + viewport()->width()) / narrowest + 64;
        qint64 at = top_;
        for (int k = 0; k < count; ++k) {
            const LineFile::Line line = file_->line_at(at);
            if (line.next <= line.start)
                break; // the end of the file
            QString text = file_->text_of(line);
            const qsizetype chars = text.size();
            // A long line is laid out only as far as the window shows it;
            // scrolling right lays out more.
            if (text.size() > keep) {
                text.truncate(text.at(keep - 1).isHighSurrogate() ? keep - 1 : keep);
            }
            auto layout = std::make_unique<QTextLayout>(text, font());
            layout->setTextOption(option);
            layout->setCacheEnabled(true);
            layout->beginLayout();
            QTextLine text_line = layout->createLine();
            if (text_line.isValid())
                text_line.setLineWidth(1e7);
            layout->endLayout();
            shown_.push_back({line, std::move(layout), chars});
            at = line.next;
        }
    }
    update_bars();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::VisibleDataChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

void PlainTextView::update_bars()
{
    int widest = 0;
    for (const Shown &s : shown_) {
        const qreal laid = s.layout->boundingRect().width();
        const qsizetype shown_chars = std::max<qsizetype>(1, s.layout->text().size());
        // What is not laid out yet, at the width of what is.
        widest = std::max(widest, int(std::min<qreal>(1e9, laid * s.chars / shown_chars)));
    }
    QScrollBar *h = horizontalScrollBar();
    h->setRange(0, std::max(0, widest + 2 * margin - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(fontMetrics().averageCharWidth() * 2);

    QScrollBar *v = verticalScrollBar();
    moving_bar_ = true;
    if (!file_) {
        v->setRange(0, 0);
    } else if (by_lines_) {
        const qint64 count = file_->line_count();
        v->setRange(0, int(std::max<qint64>(0, count - page_lines())));
        v->setPageStep(page_lines());
        v->setSingleStep(1);
        v->setValue(int(file_->line_number(top_).value_or(0)));
    } else {
        const qint64 span = file_->size() - file_->first_line();
        const qint64 steps = std::min(span, byte_steps);
        qint64 on_page = 0;
        for (const Shown &s : shown_)
            on_page += s.line.next - s.line.start;
        v->setRange(0, int(steps));
        v->setPageStep(int(std::max<qint64>(1, scale(on_page, steps, span))));
        v->setSingleStep(int(std::max<qint64>(1, scale(on_page / page_lines(), steps, span))));
        const qint64 value =
            top_ >= last_top_ ? steps : scale(top_ - file_->first_line(), steps, span);
        v->setValue(int(value));
    }
    moving_bar_ = false;
}

void PlainTextView::bar_moved(int value)
{
    if (moving_bar_ || !file_)
        return;
    if (by_lines_) {
        if (const std::optional<qint64> start = file_->line_start(value))
            set_top(*start);
        return;
    }
    const qint64 span = file_->size() - file_->first_line();
    const qint64 steps = std::min(span, byte_steps);
    if (value >= steps) {
        set_top(last_top_);
        return;
    }
    set_top(file_->line_containing(file_->first_line() + scale(value, span, steps)));
}

void PlainTextView::set_top(qint64 top)
{
    top_ = top;
    relayout();
}

void PlainTextView::scroll_to(qint64 offset)
{
    if (file_)
        set_top(file_->line_containing(offset));
}

void PlainTextView::scroll_lines(qint64 lines)
{
    if (!file_)
        return;
    qint64 top = top_;
    if (by_lines_ && std::abs(lines) > page_lines()) {
        const qint64 n = file_->line_number(top).value_or(0) + lines;
        top = file_->line_start(std::clamp<qint64>(n, 0, file_->line_count() - 1)).value_or(top);
    } else {
        for (; lines > 0 && top < last_top_; --lines) {
            const LineFile::Line line = file_->line_at(top);
            if (line.next <= top)
                break;
            top = line.next;
        }
        for (; lines < 0; ++lines) {
            const qint64 before = file_->previous_line(top);
            if (before == top)
                break;
            top = before;
        }
    }
    set_top(top);
}

void PlainTextView::check_index()
{
    if (!file_ || !file_->index_done())
        return;
    index_poll_.stop();
    // Counted lines make the scroll bar a line's, as long as an int holds them.
    by_lines_ = file_->line_count() < std::numeric_limits<int>::max();
    update_bars();
}

void PlainTextView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const Place from = std::min(anchor_, cursor_);
    const Place to = std::max(anchor_, cursor_);
    const bool any = anchor_.line >= 0 && from < to;
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const qreal x = margin - horizontalScrollBar()->value();
    qreal y = margin;
    painter.setPen(palette().color(QPalette::Text));
    for (const Shown &s : shown_) {
        QList<QTextLayout::FormatRange> ranges;
        const int length = int(s.layout->text().size());
        if (any && s.line.start >= from.line && s.line.start <= to.line) {
            const int a = s.line.start == from.line ? from.column : 0;
            const int b = s.line.start == to.line ? std::min(to.column, length) : length;
            if (b > a)
                ranges.append({a, b - a, selected});
        }
        s.layout->draw(&painter, QPointF(x, y), ranges);
        y += line_height();
        if (y > viewport()->height())
            break;
    }
}

void PlainTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    find_last_page();
    relayout();
}

void PlainTextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        find_last_page();
        relayout();
    }
}

void PlainTextView::scrollContentsBy(int dx, int)
{
    // The vertical bar moves the text through bar_moved; the horizontal one
    // shifts what is drawn, and lays out more of a long line as it comes
    // into sight.
    if (dx != 0 && !laying_out_) {
        const int right = horizontalScrollBar()->value() + viewport()->width();
        for (const Shown &s : shown_) {
            if (s.chars > s.layout->text().size() && s.layout->boundingRect().width() < right) {
                relayout();
                return;
            }
        }
    }
    viewport()->update();
}

void PlainTextView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        select_all();
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Down:
        scroll_lines(1);
        return;
    case Qt::Key_Up:
        scroll_lines(-1);
        return;
    case Qt::Key_PageDown:
        scroll_lines(page_lines() - 1);
        return;
    case Qt::Key_PageUp:
        scroll_lines(-(page_lines() - 1));
        return;
    case Qt::Key_Home:
        if (ctrl && file_)
            set_top(file_->first_line());
        else
            horizontalScrollBar()->setValue(0);
        return;
    case Qt::Key_End:
        if (ctrl && file_)
            set_top(last_top_);
        else
            horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
        return;
    case Qt::Key_Left:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return;
    case Qt::Key_Right:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void PlainTextView::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 40; // three lines a notch
    if (steps != 0)
        scroll_lines(-steps);
    else
        QAbstractScrollArea::wheelEvent(event);
    event->accept();
}

PlainTextView::Place PlainTextView::place_at(QPoint point) const
{
    if (shown_.empty())
        return {};
    const int row = std::clamp((point.y() - margin) / line_height(), 0, int(shown_.size()) - 1);
    const Shown &s = shown_[std::size_t(row)];
    const QTextLine line = s.layout->lineAt(0);
    const qreal x = point.x() - margin + horizontalScrollBar()->value();
    return {s.line.start, line.isValid() ? line.xToCursor(x) : 0};
}

void PlainTextView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    anchor_ = cursor_ = place_at(event->position().toPoint());
    selecting_ = true;
    viewport()->update();
}

void PlainTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!selecting_)
        return;
    const QPoint at = event->position().toPoint();
    // Dragging past the edge takes the text along.
    if (at.y() < 0)
        scroll_lines(-1);
    else if (at.y() > viewport()->height())
        scroll_lines(1);
    cursor_ = place_at(at);
    viewport()->update();
}

void PlainTextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !selecting_)
        return;
    selecting_ = false;
    if (QApplication::clipboard()->supportsSelection() && anchor_ != cursor_)
        QApplication::clipboard()->setText(selected_text(), QClipboard::Selection);
}

void PlainTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy_action = menu.addAction(QStringLiteral("Kopieren"), this, &PlainTextView::copy);
    copy_action->setEnabled(anchor_.line >= 0 && anchor_ != cursor_);
    menu.addAction(QStringLiteral("Alles markieren"), this, &PlainTextView::select_all);
    menu.exec(event->globalPos());
}

void PlainTextView::select_all()
{
    if (!file_)
        return;
    anchor_ = {file_->first_line(), 0};
    const LineFile::Line last = file_->line_at(file_->last_line());
    cursor_ = {last.start, int(file_->text_of(last).size())};
    viewport()->update();
}

QString PlainTextView::selected_text() const
{
    if (!file_ || anchor_.line < 0 || anchor_ == cursor_)
        return QString();
    const Place from = std::min(anchor_, cursor_);
    const Place to = std::max(anchor_, cursor_);
    QString out;
    qint64 at = from.line;
    while (at <= to.line && at - from.line <= copy_cap) {
        const LineFile::Line line = file_->line_at(at);
        QString text = file_->text_of(line);
        if (at == to.line)
            text.truncate(to.column);
        if (at == from.line)
            text.remove(0, from.column);
        out += text;
        if (at == to.line || line.next <= at)
            break;
        if (!line.broken && line.next > line.end)
            out += QLatin1Char('\n');
        at = line.next;
    }
    return out;
}

void PlainTextView::copy() const
{
    const QString text = selected_text();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

QString PlainTextView::text(qsizetype cap) const
{
    QString out;
    if (!file_)
        return out;
    for (qint64 at = file_->first_line(); out.size() < cap;) {
        const LineFile::Line line = file_->line_at(at);
        if (line.next <= at)
            break;
        out += file_->text_of(line);
        if (line.next > line.end && !line.broken)
            out += QLatin1Char('\n');
        at = line.next;
    }
    out.truncate(cap);
    return out;
}

QStringList PlainTextView::visible_lines() const
{
    QStringList lines;
    for (const Shown &s : shown_)
        if (lines.size() < page_lines())
            lines << s.layout->text();
    return lines;
}

} // namespace talvence
