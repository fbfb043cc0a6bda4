#pragma once

#include "shell/AppState.h"
#include "shell/CWaitDlg.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

namespace kv::test {

/// Looks at the wait window before every notice, timer and show event the application
/// handles, so that a text is seen even when the next notice replaces it at once (a reader
/// that hands the window its notices faster than any polling interval). Events sent while a
/// text is being set (its colour's style) are left alone: the text is not complete then.
class WaitWindowSampler final : public QObject {
public:
    /// Samples while watch runs; it is a child of watch.
    WaitWindowSampler(QTimer& watch, std::function<void()> sample)
        : QObject(&watch), m_watch(watch), m_sample(std::move(sample)) {}

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        const QEvent::Type type = event->type();
        const bool between =
            type == QEvent::MetaCall || type == QEvent::Timer || type == QEvent::Show;
        if (between && m_watch.isActive()) {
            m_sample();
        }
        return false;
    }

private:
    QTimer& m_watch;
    std::function<void()> m_sample;
};

/// Watches the wait window while watch lives: each text it shows, with its colour, is added
/// to texts once, and act(text) is called on each new one. A text replaced before the window
/// was shown was never seen and is not added. watch also ticks every 5 ms, so that a text is
/// looked at even while nothing else happens; stopping it stops the watching.
inline void WatchWaitWindow(QTimer& watch, std::vector<QString>& texts,
                            std::function<void(const QString&)> act = {}) {
    auto sample = [&texts, act] {
        CWaitDlg* wait = GetAppState().waitDialog;
        if (!wait || !wait->isVisible()) {
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
    };
    // One sampler per watch, gone with it (a filter that is gone is no longer called).
    qDeleteAll(watch.findChildren<WaitWindowSampler*>(Qt::FindDirectChildrenOnly));
    QCoreApplication::instance()->installEventFilter(new WaitWindowSampler(watch, sample));
    QObject::connect(&watch, &QTimer::timeout, sample);
    watch.start(5);
}

} // namespace kv::test
