#pragma once

#include <QWidget>

#include <vector>

namespace kv {

/// Page container: holds up to 12 child pages, each with the template id it was built
/// from, sizes them to its client area and shows one at a time.
class CTabWnd : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxPages = 12;

    explicit CTabWnd(QWidget* parent = nullptr);

    /// Re-parents a page into the container and keeps it in the next slot; false (and the
    /// page left alone) when 12 pages are already held or the page is null.
    bool AddPage(int templateId, QWidget* page);
    /// Moves every page to the client area, shows page 0 and hides the others.
    void LayoutPages();
    /// Shows page i and hides the others; returns the previously shown index, or -1 (and
    /// changes nothing) when i is not a page.
    int SelectPage(int i);

    int PageCount() const { return int(m_pages.size()); }
    int CurrentIndex() const { return m_current; }
    QWidget* Page(int i) const;
    int TemplateId(int i) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry {
        int templateId;
        QWidget* page;
    };
    std::vector<Entry> m_pages;
    int m_current = 0;
};

} // namespace kv
