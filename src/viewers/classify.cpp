// SPDX-License-Identifier: GPL-3.0-or-later
#include "classify.h"

#include <initializer_list>
#include <string_view>

#include "utf8.h"

namespace talvence {

namespace {

struct Group {
    FileAction action;
    std::initializer_list<std::string_view> keys;
};

// Tested in this order, the first group holding the key decides.
const Group groups[] = {
    {FileAction::image_viewer, {".JPG", ".BMP", ".GIF", ".PCX"}},
    {FileAction::text_viewer, {".TXT", ".DOC", ".SYS", ".BAT", ".BAK", ".LOG", ".INI"}},
    {FileAction::start_program, {".EXE", ".COM"}},
};

} // namespace

FileAction classify_file_name(const QByteArray &name)
{
    // Upper-cased by the rules common to all languages: under Turkish rules
    // "setup.ini" would end in ".İNİ" and miss its viewer.
    const QByteArray key = case_name(name_tail(name), TargetCase::Upper, false);
    const std::string_view k(key.constData(), std::size_t(key.size()));
    for (const Group &g : groups) {
        for (const std::string_view listed : g.keys) {
            if (k == listed)
                return g.action;
        }
    }
    return FileAction::ask_viewer;
}

} // namespace talvence
