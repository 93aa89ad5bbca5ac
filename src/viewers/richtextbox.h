#pragma once

#include <memory>

#include <QStackedWidget>
#include <QString>
#include <QTimer>

class QPlainTextEdit;
class QTextDocument;
class QTextEdit;

namespace talvence {

class RtfReader;

// The rich text box of the text viewer and the help window: it loads a whole
// file given by its path in place of what it held, an RTF document with its
// formatting and any other file as plain text. Read-only: a viewer never
// changes a file, and nothing typed here could be saved.
class RichTextBox : public QStackedWidget {
    Q_OBJECT
public:
    explicit RichTextBox(QWidget *parent = nullptr);
    ~RichTextBox() override;

    // The name assistive tools give the box and the views inside it.
    void set_accessible_name(const QString &name);

    // False when the file cannot be read; the box then keeps what it held.
    bool load_file(const QByteArray &path);
    // What the box shows, as plain text.
    QString text() const;
    // Whether a long text is still being laid into the view.
    bool filling() const { return !rest_.isEmpty() || reader_ != nullptr; }
    bool shows_rich_text() const;
    QTextEdit *rich_view() const { return rich_; }
    QPlainTextEdit *plain_view() const { return plain_; }

private:
    void show_plain(QString text);
    void fill_more();
    bool load_rich(const QByteArray &path);
    void show_rich(std::unique_ptr<QTextDocument> document);
    void read_more();
    void stop_reading();

    QTextEdit *rich_;
    // Plain text has a view of its own, which lays out only the lines in
    // sight.
    QPlainTextEdit *plain_;
    // A long text goes into the view a piece at a time, between the user's
    // events: its first screen shows at once, the window answers while the
    // rest follows, and a new file stops the old one's pieces.
    QString rest_;
    qsizetype rest_at_ = 0;
    QTimer filler_;
    // An RTF document the same way: its first part shown at once, the whole
    // read a part at a time between the user's events and shown when done.
    QByteArray rtf_;
    std::unique_ptr<RtfReader> reader_;
    QTimer reader_timer_;
};

} // namespace talvence
