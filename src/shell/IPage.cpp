#include "shell/IPage.h"

#include "shell/CPlaceholderPage.h"

#include <map>

namespace kv {

namespace {

std::map<PageKind, PageFactory>& Factories() {
    static std::map<PageKind, PageFactory> factories;
    return factories;
}

} // namespace

void RegisterPageFactory(PageKind kind, PageFactory factory) {
    Factories()[kind] = std::move(factory);
}

IPage* CreatePage(PageKind kind, QWidget* parent, int argument) {
    const auto it = Factories().find(kind);
    if (it != Factories().end() && it->second) {
        if (IPage* page = it->second(parent, argument)) {
            return page;
        }
    }
    return new CPlaceholderPage(kind, argument, parent);
}

} // namespace kv
