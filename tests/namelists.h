// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Lists of names into and out of the one block the engine keeps them in, and
// names of the kinds people's folders hold.

#include <vector>

#include <QByteArrayList>

#include "namelist.h"

template <typename Names = QByteArrayList> Names names_of(const talvence::NameList &list)
{
    Names out;
    for (qsizetype i = 0; i < list.size(); ++i)
        out.push_back(list.at(i));
    return out;
}

inline talvence::NameList name_list(const QByteArrayList &names)
{
    talvence::NameList list;
    for (const QByteArray &name : names)
        list.append(name);
    return list;
}

// Names as people's folders hold them: umlauts, blanks, bytes that are not
// UTF-8, short names, tails that begin with a digit, names that look like
// the run's own parking and numbered names.
inline QByteArray varied_name(int i)
{
    static const char *const stems[] = {"Urlaub ", "M\xc3\xbcller_", "M\xfcller ", "ab",
                                        "kapitel", "_zyx_ ",         "IMG_",       "x"};
    static const char *const tails[] = {".jpg", ".JPG", "1.md", "", ".txt", ".tar.gz", "\xe4"};
    return stems[i % 8] + QByteArray::number(i) + tails[(i / 8) % 7];
}
