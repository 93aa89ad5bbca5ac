#include "richtextbox.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "textfile.h"

namespace talvence {

namespace {

// About what a view takes in 50 milliseconds; pieces end at a line's end.
constexpr qsizetype piece_chars = qsizetype(1) << 20;

// The end of a piece that starts at `from`: past a line break near the
// usual size, or the end of the text.
qsizetype piece_end(const QString &text, qsizetype from)
{
    if (text.size() - from <= piece_chars)
        return text.size();
    const qsizetype line_end = text.indexOf(QLatin1Char('\n'), from + piece_chars);
    return line_end < 0 ? text.size() : line_end + 1;
}

} // namespace

RichTextBox::RichTextBox(QWidget *parent) : QStackedWidget(parent)
{
    rich_ = new QTextEdit(this);
    rich_->setObjectName(QStringLiteral("rich_view"));
    rich_->setReadOnly(true);
    rich_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                                   Qt::LinksAccessibleByMouse);
    plain_ = new QPlainTextEdit(this);
    plain_->setObjectName(QStringLiteral("plain_view"));
    plain_->setReadOnly(true);
    plain_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    plain_->setUndoRedoEnabled(false);
    // Nothing can be typed in, so Tab goes on to the next control.
    rich_->setTabChangesFocus(true);
    plain_->setTabChangesFocus(true);
    addWidget(rich_);
    addWidget(plain_);
    filler_.setInterval(0);
    connect(&filler_, &QTimer::timeout, this, &RichTextBox::fill_more);
    // The views stand for the box: focus and assistive tools go to them.
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(rich_);
}

void RichTextBox::set_accessible_name(const QString &name)
{
    // The views take the focus in the box's stead, so they carry its name.
    setAccessibleName(name);
    rich_->setAccessibleName(name);
    plain_->setAccessibleName(name);
}

bool RichTextBox::load_file(const QByteArray &path)
{
    LoadedText loaded = load_text_file(path);
    switch (loaded.kind) {
    case LoadedText::Kind::failed:
        return false;
    case LoadedText::Kind::rich: {
        // The view deletes the document it started with itself; the ones
        // handed to it are ours to delete.
        QTextDocument *old = rich_->document();
        const bool ours = old->parent() == rich_;
        loaded.document->setParent(rich_);
        rich_->setDocument(loaded.document.release());
        if (ours)
            delete old;
        filler_.stop();
        rest_.clear();
        plain_->clear();
    }
        setCurrentWidget(rich_);
        setFocusProxy(rich_);
        break;
    case LoadedText::Kind::plain:
        rich_->clear();
        show_plain(std::move(loaded.text));
        setCurrentWidget(plain_);
        setFocusProxy(plain_);
        break;
    }
    return true;
}

void RichTextBox::show_plain(QString text)
{
    filler_.stop();
    const qsizetype first = piece_end(text, 0);
    if (first == text.size()) {
        rest_.clear();
        plain_->setPlainText(text);
        return;
    }
    plain_->setPlainText(text.left(first));
    rest_ = std::move(text);
    rest_at_ = first;
    filler_.start();
}

void RichTextBox::fill_more()
{
    const qsizetype end = piece_end(rest_, rest_at_);
    QTextCursor at_end(plain_->document());
    at_end.movePosition(QTextCursor::End);
    at_end.insertText(QStringView(rest_).mid(rest_at_, end - rest_at_).toString());
    rest_at_ = end;
    if (rest_at_ >= rest_.size()) {
        filler_.stop();
        rest_.clear();
    }
}

QString RichTextBox::text() const
{
    return shows_rich_text() ? rich_->toPlainText() : plain_->toPlainText();
}

bool RichTextBox::shows_rich_text() const
{
    return currentWidget() == rich_;
}

} // namespace talvence
