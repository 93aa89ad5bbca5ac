// SPDX-License-Identifier: GPL-3.0-or-later
#include "hilfefenster.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include "designfont.h"
#include "richtextbox.h"
#include "twips.h"

namespace talvence {

hilfefenster::hilfefenster(QWidget *parent) : ChildWindow(parent)
{
    setObjectName(QStringLiteral("hilfefenster"));
    setWindowTitle(QStringLiteral("Hilfe"));
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(design_font());
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("hilfefenster_client"));
    client->setFixedSize(twips_size(5595, 6285));

    Label3 = new QLabel(client);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twips_rect(240, 120, 4935, 615));
    Label3->setText(QStringLiteral("Hilfe Anleitung"));
    QFont heading = design_font();
    heading.setPointSize(18);
    heading.setBold(true);
    heading.setItalic(true);
    Label3->setFont(heading);
    QPalette blue = Label3->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label3->setPalette(blue);

    helpbox = new RichTextBox(client);
    helpbox->setObjectName(QStringLiteral("helpbox"));
    helpbox->setGeometry(twips_rect(120, 960, 5295, 4815));
    helpbox->set_accessible_name(QStringLiteral("Hilfetext"));

    Command1 = new QPushButton(QStringLiteral("schließen"), client);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips_rect(2160, 5880, 1215, 375));
    QWidget::setTabOrder(helpbox, Command1);
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);

    setWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // The page has the focus when the window opens.
    client->setFocusProxy(helpbox);
    setFocusProxy(helpbox);
}

} // namespace talvence
