// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A table cell's side as the viewer draws it: the cell's own border where it
// has one, else the table's grid.

#include <utility>

#include <QTextTable>

inline std::pair<qreal, int> drawn_side(const QTextTable &table, const QTextTableCell &cell,
                                        QTextFormat::Property width, QTextFormat::Property style)
{
    const QTextCharFormat f = cell.format();
    return {f.hasProperty(width) ? f.doubleProperty(width) : table.format().border(),
            f.hasProperty(style) ? f.intProperty(style) : int(table.format().borderStyle())};
}
