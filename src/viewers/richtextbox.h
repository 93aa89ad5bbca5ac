// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QStackedWidget>
#include <QString>
#include <QTimer>

class QTextDocument;
class QTextEdit;

namespace talvence {

class LineFile;
class PlainTextView;
class RtfReader;
class WordReader;

// The rich text box of the text viewer and the help window: it loads a file
// given by its path in place of what it held, an RTF or Word document whole
// with its formatting, any other file as plain text of any size, of which
// only the lines in sight are read, or as the hex view of its bytes when it
// is not text at all. Read-only: a viewer never changes a file, and
// nothing typed here could be saved.
class RichTextBox : public QStackedWidget {
    Q_OBJECT
public:
    explicit RichTextBox(QWidget *parent = nullptr);
    ~RichTextBox() override;

    // The name assistive tools give the box and the views inside it.
    void set_accessible_name(const QString &name);

    // False when the file cannot be read; the box then keeps what it held.
    bool load_file(const QByteArray &path);
    // A line of the program's own in place of what the box held.
    void show_note(const QString &note);
    // What the box shows, as plain text (of a plain text file, its first
    // text_cap characters).
    QString text() const;
    static constexpr qsizetype text_cap = qsizetype(16) << 20;
    // Whether the lines of a plain text are still being counted, or an RTF
    // document still read.
    bool filling() const;
    bool shows_rich_text() const;
    QTextEdit *rich_view() const { return rich_; }
    PlainTextView *plain_view() const { return plain_; }

private:
    bool load_rich(const QByteArray &path);
    bool load_word(const QByteArray &path, std::unique_ptr<LineFile> &file);
    bool load_word_xml(const QByteArray &path, std::unique_ptr<LineFile> &file);
    void show_plain(std::unique_ptr<LineFile> file);
    void show_rich(std::unique_ptr<QTextDocument> document);
    void read_more();
    void stop_reading();

    QTextEdit *rich_;
    // Plain text has a view of its own, which reads only the lines in sight.
    PlainTextView *plain_;
    // An RTF document: its first part shown at once, the whole read a part
    // at a time between the user's events and shown when done.
    QByteArray rtf_;
    std::unique_ptr<RtfReader> reader_;
    // A Word document likewise: its bytes, which its second reader reads
    // in place (so they go after it).
    QByteArray word_;
    // A package whose first screen shows; read whole in the next event.
    QByteArray docx_;
    std::unique_ptr<WordReader> word_reader_;
    QTimer reader_timer_;
};

} // namespace talvence
