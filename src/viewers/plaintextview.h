// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include <QAbstractScrollArea>
#include <QTextLayout>
#include <QTimer>

#include "linefile.h"

namespace talvence {

// The plain text view of the text viewer and the help window: a file of any
// size, of which only the lines in sight are read, decoded and laid out.
// Read-only; text can be selected with mouse and keyboard and copied.
//
// The vertical scroll bar covers the whole file from the start: until the
// file's lines are counted it stands for its bytes (a place in the file, and
// the view shows the line there), afterwards for its lines.
class PlainTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Copies take at most this much of the file.
    static constexpr qint64 copy_cap = qint64(32) << 20;

    explicit PlainTextView(QWidget *parent = nullptr);
    ~PlainTextView() override;

    // Shows `file` from its first line and starts counting its lines.
    void set_file(std::unique_ptr<LineFile> file);
    void clear();
    const LineFile *file() const { return file_.get(); }

    // The text from the file's first line on, at most `cap` characters.
    QString text(qsizetype cap) const;
    // The lines in sight, as shown.
    QStringList visible_lines() const;
    QString selected_text() const;
    void select_all();
    void copy() const;
    // Whether the line index is still being built.
    bool counting() const { return file_ && !file_->index_done(); }

    // Where the first line in sight starts in the file.
    qint64 top() const { return top_; }
    void scroll_to(qint64 offset);
    void scroll_lines(qint64 lines);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // A place in the text: a line (by its start) and a character in it.
    struct Place {
        qint64 line = -1;
        int column = 0;
        bool operator<(const Place &o) const
        {
            return line != o.line ? line < o.line : column < o.column;
        }
        bool operator==(const Place &o) const = default;
    };
    struct Shown {
        LineFile::Line line;
        // The line's text as far as it can be seen, laid out.
        std::unique_ptr<QTextLayout> layout;
        // The characters of the whole line, more than the layout's when
        // the rest lies beyond the right edge.
        qsizetype chars = 0;
    };

    int page_lines() const;
    int line_height() const;
    void find_last_page();
    // Reads and lays out the lines in sight from top_.
    void relayout();
    void update_bars();
    void bar_moved(int value);
    void set_top(qint64 top);
    void check_index();
    Place place_at(QPoint point) const;

    std::unique_ptr<LineFile> file_;
    qint64 top_ = 0;
    // The start of the topmost line of the last page.
    qint64 last_top_ = 0;
    std::vector<Shown> shown_;
    bool by_lines_ = false; // the scroll bar counts lines, not bytes
    bool moving_bar_ = false;
    bool laying_out_ = false;
    Place anchor_, cursor_;
    bool selecting_ = false;
    QTimer index_poll_;
};

} // namespace talvence
