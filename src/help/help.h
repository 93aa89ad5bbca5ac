#pragma once

#include <QString>

namespace talvence {

// Shows a help page from the program's folder in the help window.
void show_help_page(const QString &page_file);

} // namespace talvence
