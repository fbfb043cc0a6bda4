#include "pages/OutputPages.h"

#include "pages/CCompDlg.h"
#include "pages/CDelayDlg.h"
#include "pages/CDialogOutput.h"
#include "shell/IPage.h"

namespace kv {

void RegisterOutputPages() {
    RegisterPageFactory(PageKind::Compressor,
                        [](QWidget* parent, int) -> IPage* { return new CCompDlg(parent); });
    RegisterPageFactory(PageKind::Delay,
                        [](QWidget* parent, int) -> IPage* { return new CDelayDlg(parent); });
    RegisterPageFactory(PageKind::Output, [](QWidget* parent, int channel) -> IPage* {
        return new CDialogOutput(channel, parent);
    });
}

} // namespace kv
