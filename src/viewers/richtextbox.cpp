#include "richtextbox.h"

#include <QTextDocument>
#include <QTextEdit>

#include "linefile.h"
#include "plaintextview.h"
#include "rtfreader.h"
#include "textfile.h"

namespace talvence {

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
    // Plain text is read in place, whatever its size; only an RTF document
    // is read whole, under the size cap.
    std::unique_ptr<LineFile> file = LineFile::open(path);
    if (!file)
        return false;
    if (!RtfReader::is_rtf(file->sample())) {
        rich_->clear();
        plain_->set_file(std::move(file));
        setCurrentWidget(plain_);
        setFocusProxy(plain_);
        return true;
    }
    file.reset();
    LoadedText loaded = load_text_file(path);
    if (loaded.kind != LoadedText::Kind::rich)
        return false; // failed, or no longer RTF: the box keeps what it held
    // The view deletes the document it started with itself; the ones
    // handed to it are ours to delete.
    QTextDocument *old = rich_->document();
    const bool ours = old->parent() == rich_;
    loaded.document->setParent(rich_);
    rich_->setDocument(loaded.document.release());
    if (ours)
        delete old;
    plain_->clear();
    setCurrentWidget(rich_);
    setFocusProxy(rich_);
    return true;
}

void RichTextBox::show_note(const QString &note)
{
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
    return !shows_rich_text() && plain_->counting();
}

bool RichTextBox::shows_rich_text() const
{
    return currentWidget() == rich_;
}

} // namespace talvence
