#pragma once

#include <QIcon>
#include <QListWidget>

#include <vector>

namespace kv {

/// A list of large icons with a text under each: every item carries an image index into
/// the list's icons and a number of the owner's choosing. A left click and a right click on
/// an item are reported with that number; a click beside the items reports nothing.
class CIconListCtrl : public QListWidget {
    Q_OBJECT
public:
    explicit CIconListCtrl(QWidget* parent = nullptr, int iconSize = 48);

    /// The image list; an item's image index picks one (index 0 for an unknown index).
    void SetIcons(std::vector<QIcon> icons);
    /// The title above the list (the report view's column title).
    void SetColumnTitle(const QString& title);
    QString ColumnTitle() const { return m_title; }
    void AddItem(const QString& text, int image, int number);
    int ItemData(int row) const;
    int ItemImage(int row) const;
    /// The row of the item with that number, or -1.
    int RowOfData(int number) const;

signals:
    void itemClickedWithData(int number);
    void itemRightClickedWithData(int number);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::vector<QIcon> m_icons;
    QString m_title;
};

} // namespace kv
