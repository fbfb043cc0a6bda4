#include "widgets/CIconListCtrl.h"

#include <QMouseEvent>

namespace kv {

namespace {

constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kDataRole = Qt::UserRole + 2;

} // namespace

CIconListCtrl::CIconListCtrl(QWidget* parent, int iconSize) : QListWidget(parent) {
    setViewMode(QListView::IconMode);
    setIconSize(QSize(iconSize, iconSize));
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setWordWrap(true);
    setSpacing(8);
    setGridSize(QSize(iconSize * 2, iconSize + 40));
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void CIconListCtrl::SetIcons(std::vector<QIcon> icons) {
    m_icons = std::move(icons);
}

void CIconListCtrl::SetColumnTitle(const QString& title) {
    m_title = title;
    setAccessibleName(title);
    setToolTip(title);
}

void CIconListCtrl::AddItem(const QString& text, int image, int number) {
    auto* item = new QListWidgetItem(text, this);
    const bool known = image >= 0 && static_cast<std::size_t>(image) < m_icons.size();
    if (!m_icons.empty()) {
        item->setIcon(m_icons[known ? static_cast<std::size_t>(image) : 0]);
    }
    item->setData(kImageRole, known ? image : 0);
    item->setData(kDataRole, number);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

int CIconListCtrl::ItemData(int row) const {
    const QListWidgetItem* it = item(row);
    return it ? it->data(kDataRole).toInt() : 0;
}

int CIconListCtrl::ItemImage(int row) const {
    const QListWidgetItem* it = item(row);
    return it ? it->data(kImageRole).toInt() : 0;
}

int CIconListCtrl::RowOfData(int number) const {
    for (int row = 0; row < count(); ++row) {
        if (ItemData(row) == number) {
            return row;
        }
    }
    return -1;
}

void CIconListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    QListWidgetItem* hit = itemAt(event->position().toPoint());
    if (!hit) {
        return;
    }
    const int number = hit->data(kDataRole).toInt();
    if (event->button() == Qt::LeftButton) {
        emit itemClickedWithData(number);
    } else if (event->button() == Qt::RightButton) {
        emit itemRightClickedWithData(number);
    }
}

} // namespace kv
