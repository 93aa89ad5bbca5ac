// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Lists of names into and out of the one block the engine keeps them in.

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
