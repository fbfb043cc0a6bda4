#include "shell/ToolWindows.h"

#include <QScreen>

#include <map>

namespace kv {

namespace {

std::map<ToolWindow, ToolWindowFactory>& Factories() {
    static std::map<ToolWindow, ToolWindowFactory> factories;
    return factories;
}

void CentreOver(QWidget* window, QWidget* parent) {
    window->adjustSize();
    const QRect area = parent ? parent->frameGeometry() : window->screen()->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

} // namespace

void RegisterToolWindow(ToolWindow which, ToolWindowFactory factory) {
    Factories()[which] = std::move(factory);
}

bool HasToolWindow(ToolWindow which) {
    const auto it = Factories().find(which);
    return it != Factories().end() && it->second;
}

QWidget* OpenToolWindow(ToolWindow which, QWidget* parent) {
    QPointer<QWidget>& slot = GetAppState().Window(which);
    if (!slot) {
        if (!HasToolWindow(which)) {
            return nullptr;
        }
        QWidget* created = Factories()[which](parent);
        if (!created) {
            return nullptr;
        }
        created->setAttribute(Qt::WA_DeleteOnClose);
        slot = created;
    }
    QWidget* window = slot.data();
    CentreOver(window, parent);
    if (auto* shellWindow = dynamic_cast<IShellWindow*>(window)) {
        shellWindow->ApplyLanguage();
        shellWindow->RefreshFromImage();
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace kv
