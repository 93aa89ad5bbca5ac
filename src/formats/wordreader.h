// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reads a Word document in the binary format of Word 97 to 2003 (Windows
// and Mac), Word 6 or Word 95 into a QTextDocument: its main text, with the
// marks of its notes, and the notes' texts at its end after a rule,
// footnotes first (the endnotes of Word 97 and later), as the RTF reader
// shows them; headers, footers and comments are left out, as the RTF
// reader leaves them out.
// Fields show their results. Characters keep their font, size, colour,
// bold, italic, underline, strike-out and raised or lowered position,
// hidden text stays hidden; paragraphs keep their alignment and indents,
// tables come out as tables, laid out by their rows' own definitions.
//
// The text is gathered through the piece table (a document Word saved
// quickly is a patchwork of pieces in any order), 8-bit pieces decoded in
// the document's code page, 16-bit ones as UTF-16. Every offset the file
// gives is checked against the stream it points into; a structure that
// does not fit is left out rather than read beyond its end.

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include "codepagedecoder.h"
#include "documentbuilder.h"
#include "rtfnotes.h"
#include "symbolfonts.h"

class QTextDocument;

namespace talvence {

class CompoundFile;

class WordReader {
public:
    enum class Status {
        ok,
        encrypted,   // protected by a password: nothing of the text can be read
        not_word,    // a container without a Word document in it
        damaged,     // a Word document whose structures cannot be read
        unsupported, // Word 2 and older
    };

    // `bytes`: the whole file, a compound file (CompoundFile::is_compound_file),
    // which must outlive the reader: it reads its streams in place.
    explicit WordReader(QByteArrayView bytes);
    ~WordReader();
    WordReader(const WordReader &) = delete;
    WordReader &operator=(const WordReader &) = delete;

    Status status() const { return status_; }

    // As RtfReader's: the whole text, or a part of about `time` at a time,
    // and of not much more than `characters` of the text; true once all is
    // read and the document finished. Only with status ok.
    std::unique_ptr<QTextDocument> read();
    bool read_part(std::chrono::nanoseconds time, qint64 characters = 0x7FFFFFFF);
    std::unique_ptr<QTextDocument> take_document() { return std::move(document_); }

private:
    struct CharProps {
        int font = 0;
        int half_points = 20;
        QRgb colour = 0; // 0: automatic
        bool bold = false;
        bool italic = false;
        bool strike = false;
        bool hidden = false;
        bool caps = false;
        bool small_caps = false;
        bool special = false; // the characters stand for a picture, a note number, a field mark
        bool deleted = false; // a tracked deletion
        int underline = 0;
        int vertical = 0; // 1 raised, 2 lowered
        int symbol_font = -1;
        char16_t symbol_char = 0;
        bool operator==(const CharProps &) const = default;
    };
    struct ParaProps {
        int alignment = 0;
        int left = 0, right = 0, first = 0, before = 0, after = 0; // twips
        bool in_table = false;
        bool row_end = false;
        int depth = 0; // of nested tables
        bool operator==(const ParaProps &) const = default;
    };
    struct Style {
        int kind = 0; // 1 paragraph, 2 character
        int base = 0xFFF;
        QByteArray para_sprms, char_sprms;
        bool resolved = false;
        ParaProps para;
        CharProps chars;
    };
    struct Font {
        QStringList families;
        int hint = 0;
        int code_page = 1252;
        SymbolFont symbol = SymbolFont::none;
    };
    struct Piece {
        qint64 cp = 0, cp_end = 0;
        qint64 fc = 0; // byte offset in the WordDocument stream
        bool compressed = false;
    };
    // A run of the same formatting, by byte offsets in the WordDocument stream.
    struct Run {
        qint64 fc = 0, fc_end = 0;
        QByteArray sprms;
        int style = 0;
    };
    void open(QByteArrayView bytes);
    bool read_fib();
    bool read_pieces();
    void read_fonts();
    void read_styles();
    void read_summary_code_page(const CompoundFile &file);
    std::vector<Run> read_runs(qint64 fc_plc, qint64 lcb_plc, bool paragraphs) const;
    void read_notes(RtfNotes::Kind kind, int refs_index, qint64 start, qint64 length,
                    std::vector<qint64> &refs);
    static QString note_mark(RtfNotes::Kind kind, int index);
    bool next_note();
    void gather_text();
    void gather_to(qint64 cp);

    const Style *style(int index);
    void apply_char_sprms(CharProps &p, const CharProps &style_base, QByteArrayView sprms);
    void apply_char_style(CharProps &p, int istd);
    void apply_para_sprms(ParaProps &p, QByteArrayView sprms) const;
    template <typename F> void each_sprm(QByteArrayView sprms, F &&f) const;

    qint64 fc_of(qint64 cp, std::size_t *piece) const;
    const Run *run_at(const std::vector<Run> &runs, qint64 fc) const;
    ParaProps para_at(qint64 cp, int *istd);
    DocumentBuilder::RowLayout row_layout(qint64 mark);
    CharProps chars_at(qint64 cp, qint64 *run_end_cp);
    int code_page_of(int font) const;
    QTextCharFormat char_format(const CharProps &p);
    QTextBlockFormat block_format(const ParaProps &p) const;

    bool step(); // one paragraph or so; false when done
    void start_paragraph(qint64 cp);
    void put_text(qint64 from, qint64 to, const CharProps &p);
    void put_mark(char16_t mark, const CharProps &p);
    void finish();

    Status status_ = Status::damaged;
    QByteArray word_;  // the WordDocument stream
    QByteArray table_; // the table stream (the WordDocument stream itself before Word 97)
    bool word97_ = true;
    int nfib_ = 0;
    int lid_ = 0x409;
    int code_page_ = 1252; // of 8-bit text without a font that says otherwise
    qint64 fc_min_ = 0;
    std::vector<qint64> ccp_; // main, footnotes, headers, macros, comments, endnotes
    // Where the FIB's pairs of offset and size are, and how many there are.
    qsizetype fc_lcb_at_ = 0;
    int fc_lcb_count_ = 0;
    std::pair<qint64, qint64> fc_lcb(int index) const;

    std::vector<Piece> pieces_;
    std::vector<QByteArray> piece_sprms_; // of the pieces, from the piece table's own list
    QString text_; // the document's characters by position, decoded up to gathered_
    qint64 gathered_ = 0;
    std::size_t gather_piece_ = 0;
    std::vector<Run> char_runs_, para_runs_;
    std::vector<Style> styles_;
    std::vector<Font> fonts_;
    int default_font_ = 0;

    std::unique_ptr<QTextDocument> document_;
    QTextDocument *document_view_ = nullptr;
    std::unique_ptr<DocumentBuilder> builder_;
    DocumentBuilder *out_ = nullptr; // where the text goes: the document or its notes
    CodePageDecoder decoder_;

    qint64 end_ = 0; // of the main text, or of the note being read
    std::vector<qint64> footnote_refs_, endnote_refs_;
    // The notes' texts, read after the main text and shown after it.
    struct NoteText {
        RtfNotes::Kind kind;
        qint64 from, to;
        QString mark;
    };
    std::vector<NoteText> note_texts_;
    std::size_t next_note_ = 0;
    QString note_mark_; // of the note being read
    QTextBlockFormat main_end_format_;
    RtfNotes notes_;
    qint64 cp_ = 0;
    bool paragraph_started_ = false;
    ParaProps para_;
    int para_style_ = 0;    // the style of the paragraph being read
    bool first_row_ = true; // the next row to end is the first of its table
    // Open fields: whether each shows its text (its result) yet.
    std::vector<bool> fields_;
    int fields_beyond_ = 0;
    int footnote_number_ = 0; // of references no list gives
    bool done_ = false;
    std::vector<std::pair<CharProps, QTextCharFormat>> recent_formats_;
};

} // namespace talvence
