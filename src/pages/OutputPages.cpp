#include "pages/OutputPages.h"

#include "pages/CCompDlg.h"
#include "shell/IPage.h"

namespace kv {

void RegisterOutputPages() {
    RegisterPageFactory(PageKind::Compressor,
                        [](QWidget* parent, int) -> IPage* { return new CCompDlg(parent); });
}

} // namespace kv
