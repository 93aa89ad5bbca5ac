// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "namelist.h"

namespace talvence {

// The one order of the file list and of every rename pass: digit runs by
// value, letters without regard to case by the user's language, and the raw
// bytes as the last word so that the order is total.
class NaturalOrder {
public:
    // Where the keys come from: names of plain ASCII get keys of the
    // program's own making in the collator's order, unless the collator is
    // to make them all (the order is the same; tests hold one to the other).
    enum class Keys { fastest, collator };
    explicit NaturalOrder(Keys keys = Keys::fastest);
    void sort(NameList &names) const;

private:
    struct Impl;
    std::shared_ptr<Impl> d_;
};

} // namespace talvence
