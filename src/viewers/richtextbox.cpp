// SPDX-License-Identifier: GPL-3.0-or-later
#include "richtextbox.h"

#include <new>

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>

#include "compoundfile.h"
#include "linefile.h"
#include "plaintext.h"
#include "plaintextview.h"
#include "rawfile.h"
#include "rtfreader.h"
#include "textfile.h"
#include "wordreader.h"
#include "wordxmlreader.h"

namespace talvence {

namespace {

// What a Word document's first part holds at most: more than the largest
// window shows at once. The whole document follows from a second reader;
// text beyond the first screen would only cost the first screen its time.
constexpr qint64 first_screen_characters = 1 << 15;

} // namespace

RichTextBox::RichTextBox(QWidget *parent) : QStackedWidget(parent)
{
    rich_ = new QTextEdit(this);
    rich_->setObjectName(QStringLiteral("rich_view"));
    rich_->setReadOnly(true);
    rich_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                                   Qt::LinksAccessibleByMouse);
    plain_ = new PlainTextView(this);
    plain_->setObjectName(QStringLiteral("plain_view"));
    // Nothing can be typed in, so Tab goes on to the next control.
    rich_->setTabChangesFocus(true);
    addWidget(rich_);
    addWidget(plain_);
    // The views stand for the box: focus and assistive tools go to them.
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(rich_);
    reader_timer_.setInterval(0);
    connect(&reader_timer_, &QTimer::timeout, this, &RichTextBox::read_more);
}

RichTextBox::~RichTextBox() = default;

void RichTextBox::set_accessible_name(const QString &name)
{
    // The views take the focus in the box's stead, so they carry its name.
    setAccessibleName(name);
    rich_->setAccessibleName(name);
    plain_->setAccessibleName(name);
}

bool RichTextBox::load_file(const QByteArray &path)
{
    // Plain text and the hex view are read in place, whatever the size;
    // only a document is read whole, under the size cap.
    std::unique_ptr<LineFile> file = LineFile::open(path);
    if (!file)
        return false;
    if (RtfReader::is_rtf(file->sample())) {
        file.reset();
        return load_rich(path);
    }
    // Any other archive is bytes at once, not read whole first.
    if (is_word_xml(file->sample()) || is_docx(file->sample())) {
        if (!load_word_xml(path, file))
            return false;
        if (!file)
            return true;
        file->show_as_hex(); // an archive without a Word document in it
    } else if (CompoundFile::is_compound_file(file->sample())) {
        if (!load_word(path, file))
            return false;
        if (!file)
            return true;
        file->show_as_hex(); // a container without a Word document in it
    } else if (looks_binary(file->sample())) {
        file->show_as_hex();
    }
    show_plain(std::move(file));
    return true;
}

void RichTextBox::show_plain(std::unique_ptr<LineFile> file)
{
    stop_reading();
    rich_->clear();
    // Bytes line up in columns only in a font of one width.
    plain_->setFont(file->hex() ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont());
    plain_->set_file(std::move(file));
    setCurrentWidget(plain_);
    setFocusProxy(plain_);
}

// The first part of an RTF document shows at once. A second reader reads the
// whole document into a document of its own between events, and that one
// takes the first's place when it is complete: a document the view shows
// would have each part laid out as it arrives, several times the reading.
// That document is what read_rtf_document (textfile.h) makes of the same
// bytes: the same reader, read in the same parts.
bool RichTextBox::load_rich(const QByteArray &path)
{
    try {
        Result<QByteArray> bytes = read_raw_file(path, max_text_file_size);
        if (!bytes || !RtfReader::is_rtf(*bytes) || !RtfReader::fits(*bytes))
            return false; // the box keeps what it held
        stop_reading();
        rtf_ = std::move(*bytes);
        RtfReader first(rtf_);
        const bool done = first.read_part(rtf_part);
        show_rich(first.take_document());
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

// Word's XML, of 2003 or in a package: read whole, as read_text reads it.
// `file` is handed back when the archive holds no Word document, to be
// shown as bytes, and released otherwise.
bool RichTextBox::load_word_xml(const QByteArray &path, std::unique_ptr<LineFile> &file)
{
    try {
        Result<QByteArray> bytes = read_raw_file(path, max_text_file_size);
        if (!bytes)
            return false;
        std::unique_ptr<QTextDocument> document;
        bool complete = true;
        if (is_docx(*bytes)) {
            DocxDocument docx = read_docx(*bytes, first_screen_characters);
            if (docx.status == DocxDocument::Status::not_word)
                return true;
            if (docx.status == DocxDocument::Status::damaged)
                return false; // the box keeps what it held
            document = std::move(docx.document);
            complete = docx.complete;
        } else if (is_word_xml(*bytes)) {
            document = read_word_xml(*bytes);
        } else {
            return false;
        }
        file.reset();
        stop_reading();
        show_rich(std::move(document));
        plain_->clear();
        setCurrentWidget(rich_);
        setFocusProxy(rich_);
        if (!complete) {
            docx_ = std::move(*bytes);
            reader_timer_.start();
        }
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// A Word document shows as an RTF document does: its first part at once,
// the whole read between events into a document of its own. `file` is
// handed back when the container holds no Word document, to be shown as
// bytes, and released otherwise.
bool RichTextBox::load_word(const QByteArray &path, std::unique_ptr<LineFile> &file)
{
    try {
        Result<QByteArray> bytes = read_raw_file(path, max_text_file_size);
        if (!bytes || !CompoundFile::is_compound_file(*bytes))
            return false;
        WordReader first(*bytes);
        switch (first.status()) {
        case WordReader::Status::ok:
            break;
        case WordReader::Status::encrypted:
            file.reset();
            show_note(encrypted_note());
            return true;
        case WordReader::Status::not_word:
            return true;
        case WordReader::Status::damaged:
        case WordReader::Status::unsupported:
            return false; // the box keeps what it held
        }
        file.reset();
        stop_reading();
        const bool done = first.read_part(rtf_part, first_screen_characters);
        show_rich(first.take_document());
        plain_->clear();
        setCurrentWidget(rich_);
        setFocusProxy(rich_);
        if (!done) {
            // The second reader is made in the first event after this one,
            // so that the first screen does not wait for it.
            word_ = std::move(*bytes);
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
        if (!docx_.isEmpty()) {
            // The whole package at once: its XML is not read in parts.
            DocxDocument whole = read_docx(docx_);
            if (whole.document) {
                const int at = rich_->verticalScrollBar()->value();
                show_rich(std::move(whole.document));
                rich_->verticalScrollBar()->setValue(at);
            }
            stop_reading();
            return;
        }
        if (!reader_ && !word_reader_) {
            // It reads from the file's bytes, which stay while it reads.
            word_reader_ = std::make_unique<WordReader>(word_);
            return;
        }
        if (reader_ ? !reader_->read_part(rtf_part) : !word_reader_->read_part(rtf_part))
            return;
        // Where the user has scrolled to in the first part stays in view.
        const int at = rich_->verticalScrollBar()->value();
        show_rich(reader_ ? reader_->take_document() : word_reader_->take_document());
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
    word_reader_.reset();
    word_.clear();
    docx_.clear();
    rtf_.clear();
}

void RichTextBox::show_note(const QString &note)
{
    stop_reading();
    plain_->clear();
    rich_->setPlainText(note);
    setCurrentWidget(rich_);
    setFocusProxy(rich_);
}

QString RichTextBox::text() const
{
    return shows_rich_text() ? rich_->toPlainText() : plain_->text(text_cap);
}

bool RichTextBox::filling() const
{
    return reader_ != nullptr || word_reader_ != nullptr || !docx_.isEmpty() ||
           (!shows_rich_text() && plain_->counting());
}

bool RichTextBox::shows_rich_text() const
{
    return currentWidget() == rich_;
}

} // namespace talvence
