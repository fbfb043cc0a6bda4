#include "pages/EqBandTable.h"

#include "pages/PageTexts.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QStyledItemDelegate>

#include <array>

namespace kv {

namespace {

constexpr std::array<int, EqBandTable::kColumns> kWidths = {30, 55, 60, 68, 50};
constexpr int kFirstEditableType = kFilterPeq;
constexpr int kLastEditableType = kFilterHighShelf;

/// The in-place editor of the type column: types 1..5 by name.
class TypeDelegate : public QStyledItemDelegate {
public:
    TypeDelegate(EqBandTable* table) : QStyledItemDelegate(table), m_table(table) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("bandTypeCombo"));
        for (int t = kFirstEditableType; t <= kLastEditableType; ++t) {
            combo->addItem(pagetext::TypeName(t, m_table->Language()), t);
        }
        return combo;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* combo = static_cast<QComboBox*>(editor);
        const int i = combo->findText(index.data().toString());
        combo->setCurrentIndex(i < 0 ? 0 : i);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* combo = static_cast<QComboBox*>(editor);
        model->setData(index, combo->currentText());
    }

private:
    EqBandTable* m_table;
};

} // namespace

EqBandTable::EqBandTable(int rows, QWidget* parent) : QTableWidget(rows, kColumns, parent) {
    setObjectName(QStringLiteral("bandTable"));
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int c = 0; c < kColumns; ++c) {
        setColumnWidth(c, kWidths[static_cast<std::size_t>(c)]);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
    FitToColumns();
    setItemDelegateForColumn(kType, new TypeDelegate(this));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            if (c == kNumber) {
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                item->setText(QString::number(r + 1));
            }
            setItem(r, c, item);
        }
    }
    SetLanguage(0);
    connect(this, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (m_writing || column == kNumber) {
            return;
        }
        QString text = item(row, column)->text();
        if (column == kType) {
            int type = -1;
            for (int t = 0; t <= kLastEditableType; ++t) {
                if (text.compare(pagetext::TypeName(t, 0), Qt::CaseInsensitive) == 0 ||
                    text.compare(pagetext::TypeName(t, 1), Qt::CaseInsensitive) == 0) {
                    type = t;
                }
            }
            text = QString::number(type);
        }
        emit cellEdited(row, column, text);
    });
}

void EqBandTable::SetLanguage(int language) {
    m_language = language;
    const bool en = language == 1;
    setHorizontalHeaderLabels({QStringLiteral("#"),
                               en ? QStringLiteral("Type") : QStringLiteral("类型"),
                               en ? QStringLiteral("Gain") : QStringLiteral("增益"),
                               en ? QStringLiteral("Freq") : QStringLiteral("频率"),
                               en ? QStringLiteral("Q") : QStringLiteral("Q值")});
}

void EqBandTable::SetHeaderColours(QColor background, QColor text) {
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: %2; border: 0px;"
                       " border-right: 1px solid rgb(200, 200, 200); padding: 2px; }")
            .arg(background.name(), text.name()));
}

QSize EqBandTable::sizeHint() const {
    int columns = 0;
    for (int w : kWidths) {
        columns += w;
    }
    return {columns + 2 * frameWidth(), FullHeight()};
}

QSize EqBandTable::minimumSizeHint() const {
    return sizeHint();
}

void EqBandTable::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::StyleChange) {
        FitToColumns(); // a style sheet may change the frame
    }
}

void EqBandTable::FitToColumns() {
    // A limit, not only a hint: a stacked area wider than the table must not stretch it.
    setFixedWidth(sizeHint().width());
}

int EqBandTable::FullHeight() const {
    // Every band row shown, none behind a scroll bar.
    return horizontalHeader()->sizeHint().height() + verticalHeader()->length() + 2 * frameWidth();
}

void EqBandTable::ShowBand(int row, const EqPanelBand& band) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    m_writing = true;
    item(row, kType)->setText(pagetext::TypeName(band.type, m_language));
    item(row, kGain)->setText(pagetext::SignedDb(band.gainDb));
    item(row, kFreq)->setText(pagetext::Hz(band.freqHz));
    item(row, kQ)->setText(pagetext::Q(band.q));
    m_writing = false;
}

} // namespace kv
