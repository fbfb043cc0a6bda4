#include "pages/PageSwitch.h"

#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "shell/CMX2240v13View.h"
#include "shell/CMainFrame.h"

#include <QMetaObject>
#include <QPointer>

namespace kv {

void SwitchPageLater(PageKind kind, int argument) {
    CMainFrame* frame = CMainFrame::Instance();
    if (!frame) {
        return;
    }
    QPointer<CMX2240v13View> view = frame->View();
    QMetaObject::invokeMethod(
        view,
        [view, kind, argument] {
            if (view) {
                view->ShowPage(kind, argument);
            }
        },
        Qt::QueuedConnection);
}

void RegisterPages() {
    RegisterPageFactory(PageKind::Main, [](QWidget* parent, int source) -> IPage* {
        return new CDialogMusic(source, parent);
    });
    RegisterPageFactory(PageKind::Effects, [](QWidget* parent, int selection) -> IPage* {
        return new CDialogEfx(selection, parent);
    });
}

} // namespace kv
