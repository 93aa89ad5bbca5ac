// SPDX-License-Identifier: GPL-3.0-or-later
#include "betrachtungsprog_wahl.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include "designfont.h"
#include "twips.h"

namespace talvence {

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}

} // namespace

Betrachtungsprog_wahl::Betrachtungsprog_wahl(QWidget *parent) : ChildWindow(parent)
{
    setObjectName(QStringLiteral("Betrachtungsprog_wahl"));
    setWindowTitle(QStringLiteral("Programm zum öffnen"));
    setWindowFlags(Qt::SubWindow | Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(design_font());
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("Betrachtungsprog_wahl_client"));
    client->setFixedSize(twips_size(5625, 1245));

    Label1 = new QLabel(client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips_rect(120, 120, 5415, 375));
    Label1->setWordWrap(true);
    Label1->setText(QStringLiteral("Das Dateiformat der gewählten Datei ist mit keinem Programm "
                                   "verknüpft. Bitte Wählen Sie:"));
    Command_bild = button(client, "Command_bild", QStringLiteral("int. Bildbetrachter"),
                          twips_rect(120, 720, 1695, 375));
    Command_text = button(client, "Command_text", QStringLiteral("int. Textbetrachter"),
                          twips_rect(1920, 720, 1695, 375));
    Command1 =
        button(client, "Command1", QStringLiteral("schliessen"), twips_rect(4320, 720, 1095, 375));
    QWidget::setTabOrder(Command_bild, Command_text);
    QWidget::setTabOrder(Command_text, Command1);
    setWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(Command_bild, &QPushButton::clicked, this, &Betrachtungsprog_wahl::image_viewer_chosen);
    connect(Command_text, &QPushButton::clicked, this, &Betrachtungsprog_wahl::text_viewer_chosen);
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
}

} // namespace talvence
