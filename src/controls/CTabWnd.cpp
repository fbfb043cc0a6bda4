#include "controls/CTabWnd.h"

namespace kv {

CTabWnd::CTabWnd(QWidget* parent) : QWidget(parent) {}

bool CTabWnd::AddPage(int templateId, QWidget* page) {
    if (page == nullptr || PageCount() >= kMaxPages) {
        return false;
    }
    page->setParent(this);
    m_pages.push_back({templateId, page});
    return true;
}

void CTabWnd::LayoutPages() {
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i].page->setGeometry(rect());
        m_pages[i].page->setVisible(i == 0);
    }
    m_current = 0;
}

int CTabWnd::SelectPage(int i) {
    if (i < 0 || i >= PageCount()) {
        return -1;
    }
    const int previous = m_current;
    for (int k = 0; k < PageCount(); ++k) {
        m_pages[std::size_t(k)].page->setVisible(k == i);
    }
    m_current = i;
    return previous;
}

QWidget* CTabWnd::Page(int i) const {
    return (i >= 0 && i < PageCount()) ? m_pages[std::size_t(i)].page : nullptr;
}

int CTabWnd::TemplateId(int i) const {
    return (i >= 0 && i < PageCount()) ? m_pages[std::size_t(i)].templateId : -1;
}

void CTabWnd::resizeEvent(QResizeEvent* event) {
    // Pages always fill the container; which page shows does not change.
    for (const Entry& e : m_pages) {
        e.page->setGeometry(rect());
    }
    QWidget::resizeEvent(event);
}

} // namespace kv
