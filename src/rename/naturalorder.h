#pragma once

#include <memory>
#include <vector>

#include "folder.h"

namespace talvence {

// The one order of the file list and of every rename pass: digit runs by
// value, letters without regard to case by the user's language, and the raw
// bytes as the last word so that the order is total.
class NaturalOrder {
public:
    NaturalOrder();
    void sort(std::vector<FileEntry> &entries) const;

private:
    struct Impl;
    std::shared_ptr<Impl> d_;
};

} // namespace talvence
