// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a run's record, the journal or the undo record a folder
// or the state folder may hold: a folder unpacked from an archive or a shared
// stick can carry any. The parser must refuse what breaks its rules without
// a crash and within its caps, and what it takes must hold together: every
// name a plain name, every pass's order records the record knows, each once.
// What a header read takes, a whole read takes too.
//
// Input: the record's text as it would stand in the file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "folder.h"
#include "journal.h"
#include "passnames.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace talvence;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::optional<RunRecord> head = parse_record(text, ParseDepth::Header);
    if (head)
        check((head->park.isEmpty() || is_park_stem(head->park)) &&
              head->files <= record_max_files);
    const std::optional<RunRecord> parsed = parse_record(text, ParseDepth::Whole);
    if (!parsed)
        return 0;
    const RunRecord &whole = *parsed;
    const auto files = std::size_t(whole.names.size());
    check(files == whole.ids.size());
    check(files <= record_max_files);
    check(whole.passes.size() <= record_max_passes);
    for (qsizetype i = 0; i < whole.names.size(); ++i)
        check(is_plain_name(whole.names[i]));
    if (whole.ready)
        check(is_park_stem(whole.park));
    for (const RecordPass &pass : whole.passes) {
        std::vector<bool> seen(files, false);
        check(pass.order.size() <= files);
        check(pass.done <= qsizetype(pass.order.size()));
        for (const std::uint32_t r : pass.order) {
            check(r < files && !seen[r]);
            seen[r] = true;
        }
        // The names a pass gives can be made for every file it names.
        for (std::size_t place = 0; place < pass.order.size() && place < 64; ++place)
            (void)pass_new_name(pass.rule, place, whole.names[pass.order[place]]);
    }
    if (whole.ready)
        for (std::uint32_t r = 0; r < files && r < 64; ++r)
            check(is_plain_name(park_name(whole.park, r)));
    return 0;
}
