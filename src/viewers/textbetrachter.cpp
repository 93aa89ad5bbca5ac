// SPDX-License-Identifier: GPL-3.0-or-later
#include "textbetrachter.h"

#include <QLayout>

#include "richtextbox.h"
#include "twips.h"

namespace talvence {

textbetrachter::textbetrachter(QWidget *parent) : ChildWindow(parent)
{
    setObjectName(QStringLiteral("textbetrachter"));
    setWindowTitle(QStringLiteral("Textviewer"));
    setWindowFlags(Qt::SubWindow | Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("textbetrachter_client"));
    client->setFixedSize(twips_size(7485, 4620));
    RichTextBox1 = new RichTextBox(client);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setGeometry(twips_rect(0, 0, 7455, 4575));
    RichTextBox1->set_accessible_name(QStringLiteral("Textinhalt"));
    setWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace talvence
