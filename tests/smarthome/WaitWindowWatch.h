#pragma once

#include "shell/AppState.h"
#include "shell/CWaitDlg.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

namespace kv::test {

/// Polls the wait window every 5 ms with watch: each text it shows, with its colour, is
/// added to texts once, and act(text) is called on each new one.
inline void WatchWaitWindow(QTimer& watch, std::vector<QString>& texts,
                            std::function<void(const QString&)> act = {}) {
    QObject::connect(&watch, &QTimer::timeout, [&texts, act] {
        CWaitDlg* wait = GetAppState().waitDialog;
        if (!wait) {
            return;
        }
        const auto colour = wait->TextColour();
        const QString seen =
            wait->Text() + QLatin1Char(' ') + (colour ? colour->name() : QString());
        if (!texts.empty() && texts.back() == seen) {
            return;
        }
        texts.push_back(seen);
        if (act) {
            act(wait->Text());
        }
    });
    watch.start(5);
}

} // namespace kv::test
