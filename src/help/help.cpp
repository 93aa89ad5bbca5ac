#include "help.h"

namespace talvence {

void show_help_page(const QString &page_file)
{
    // The help window is not built yet; the menu already calls through here.
    Q_UNUSED(page_file);
}

} // namespace talvence
