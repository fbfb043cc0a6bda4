#pragma once

#include "shell/IPage.h"

#include <QWidget>

class QLabel;

namespace kv {

/// Stands in for a page that this build does not provide yet, and says so.
class CPlaceholderPage : public QWidget, public IPage {
    Q_OBJECT
public:
    CPlaceholderPage(PageKind kind, int argument, QWidget* parent);

    PageKind Kind() const override { return m_kind; }
    QWidget* Widget() override { return this; }
    void SetPageArgument(int argument) override;
    void RefreshFromImage() override {}
    void ApplyLanguage() override;

    int Argument() const { return m_argument; }

private:
    PageKind m_kind;
    int m_argument;
    QLabel* m_title;
    QLabel* m_text;
};

} // namespace kv
