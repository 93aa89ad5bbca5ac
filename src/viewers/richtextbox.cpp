#include "richtextbox.h"

#include <chrono>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "rawfile.h"
#include "rtfreader.h"
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

// A part of an RTF document read between two of the user's events.
constexpr std::chrono::milliseconds rtf_part{25};

// Whether the file at `path` starts as an RTF document; a file that cannot
// be opened or is no regular file is left to the usual load to report.
bool starts_as_rtf(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    char head[5] = {};
    const bool rtf = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                     ::pread(fd, head, sizeof head, 0) == ssize_t(sizeof head) &&
                     RtfReader::is_rtf(QByteArrayView(head, sizeof head));
    ::close(fd);
    return rtf;
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
    reader_timer_.setInterval(0);
    connect(&reader_timer_, &QTimer::timeout, this, &RichTextBox::read_more);
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

RichTextBox::~RichTextBox() = default;

bool RichTextBox::load_file(const QByteArray &path)
{
    if (starts_as_rtf(path))
        return load_rich(path);
    LoadedText loaded = load_text_file(path);
    switch (loaded.kind) {
    case LoadedText::Kind::failed:
        return false;
    case LoadedText::Kind::rich: {
        // The view deletes the document it started with itself; the ones
        // handed to it are ours to delete.
        stop_reading();
        show_rich(std::move(loaded.document));
        filler_.stop();
        rest_.clear();
        plain_->clear();
    }
        setCurrentWidget(rich_);
        setFocusProxy(rich_);
        break;
    case LoadedText::Kind::plain:
        stop_reading();
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

// The first part of an RTF document shows at once. A second reader reads the
// whole document into a document of its own between events, and that one
// takes the first's place when it is complete: a document the view shows
// would have each part laid out as it arrives, several times the reading.
bool RichTextBox::load_rich(const QByteArray &path)
{
    try {
        std::optional<QByteArray> bytes = read_raw_file(path, max_text_file_size);
        if (!bytes || !RtfReader::fits(*bytes))
            return false;
        stop_reading();
        rtf_ = std::move(*bytes);
        RtfReader first(rtf_);
        const bool done = first.read_part(rtf_part);
        show_rich(first.take_document());
        filler_.stop();
        rest_.clear();
        plain_->clear();
        setCurrentWidget(rich_);
        setFocusProxy(rich_);
        if (done) {
            rtf_.clear();
        } else {
            reader_ = std::make_unique<RtfReader>(rtf_);
            reader_timer_.start();
        }
        return true;
    } catch (const std::bad_alloc &) {
        stop_reading();
        return false;
    }
}

void RichTextBox::read_more()
{
    try {
        if (!reader_->read_part(rtf_part))
            return;
        // Where the user has scrolled to in the first part stays in view.
        const int at = rich_->verticalScrollBar()->value();
        show_rich(reader_->take_document());
        rich_->verticalScrollBar()->setValue(at);
    } catch (const std::bad_alloc &) {
        // The first part stays in view.
    }
    stop_reading();
}

void RichTextBox::show_rich(std::unique_ptr<QTextDocument> document)
{
    // The view deletes the document it started with itself; the ones
    // handed to it are ours to delete.
    QTextDocument *old = rich_->document();
    const bool ours = old->parent() == rich_;
    document->setParent(rich_);
    rich_->setDocument(document.release());
    if (ours)
        delete old;
}

void RichTextBox::stop_reading()
{
    reader_timer_.stop();
    reader_.reset();
    rtf_.clear();
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
