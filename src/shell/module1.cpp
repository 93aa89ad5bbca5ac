#include "module1.h"

#include "frmmain.h"

namespace talvence::Module1 {

frmMain *Main()
{
    auto *frame = new frmMain;
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->place_on_screen();
    frame->show();
    return frame;
}

} // namespace talvence::Module1
