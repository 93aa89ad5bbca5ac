#include "richtextbox.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

#include "textfile.h"

namespace talvence {

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
    // The views stand for the box: focus and assistive tools go to them.
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(rich_);
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
        plain_->clear();
    }
        setCurrentWidget(rich_);
        setFocusProxy(rich_);
        break;
    case LoadedText::Kind::plain:
        rich_->clear();
        plain_->setPlainText(loaded.text);
        setCurrentWidget(plain_);
        setFocusProxy(plain_);
        break;
    }
    return true;
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
