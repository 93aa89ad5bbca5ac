// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The definition of a table row in a Word document: the table properties
// of the paragraph mark that ends the row (the cells' edges, merges,
// borders and shading of sprmTDefTable and its companions, the row's
// alignment and cell gap), as the document builder lays the row out
// (DocumentBuilder::RowLayout). A row laid out by its own edges costs the
// view a fraction of a row whose columns are sized by their text.

#include <array>
#include <vector>

#include <QByteArrayView>
#include <QColor>

#include "documentbuilder.h"

namespace talvence {

// The colours of Word's sixteen-colour palette (ico), 0 for automatic.
QRgb word_palette_colour(int index);

class WordRowDefinition {
public:
    // `word97`: the sprms are Word 97's two-byte codes, else the one-byte
    // codes of Word 6 and Word 95.
    explicit WordRowDefinition(bool word97) : word97_(word97) {}

    // One sprm of the row end's properties and its operand (after its
    // size, where it has one); sprms of no table property are ignored.
    void apply(quint16 sprm, QByteArrayView operand);

    bool empty() const { return edges_.size() < 2; }
    // The row as the builder lays it out. `first`, `last`: whether the row
    // is the first or last of its table, whose outer borders it then takes.
    DocumentBuilder::RowLayout layout(bool first, bool last) const;

private:
    struct Border {
        bool given = false; // false: the table's border applies
        int type = 0;       // Word's border type; 0 none
        int twips = 0;      // line width
        QRgb colour = 0;    // 0: automatic
    };
    enum Side { top, left, bottom, right, inside_horizontal, inside_vertical };
    struct Cell {
        std::array<Border, 4> borders; // top, left, bottom, right
        DocumentBuilder::Merge horizontal = DocumentBuilder::Merge::none;
        DocumentBuilder::Merge vertical = DocumentBuilder::Merge::none;
        Qt::Alignment vertical_alignment = Qt::AlignTop;
        QColor shading;
    };

    void define(QByteArrayView operand);
    void shade(QByteArrayView operand, int size);
    Border border(QByteArrayView bytes) const;
    static DocumentBuilder::Border border_of(const Border &b);

    bool word97_;
    int alignment_ = 0; // 0 left, 1 centred, 2 right
    int gap_ = 108;     // half the space between two cells' texts, in twips
    std::vector<int> edges_;
    std::vector<Cell> cells_;
    std::array<Border, 6> table_borders_; // by Side
};

} // namespace talvence
