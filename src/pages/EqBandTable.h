#pragma once

#include "controls/EqPanelBand.h"

#include <QTableWidget>

namespace kv {

/// The band table of an equaliser page: one row per band with its number, type, gain,
/// frequency and Q. Type cells are edited with a combo of the five filter types, the others
/// as text; every finished edit is reported, the table itself changes no band.
class EqBandTable : public QTableWidget {
    Q_OBJECT
public:
    enum Column { kNumber, kType, kGain, kFreq, kQ, kColumns };

    EqBandTable(int rows, QWidget* parent = nullptr);

    /// Writes row `row` from a band, in the language (0 Chinese, 1 English).
    void ShowBand(int row, const EqPanelBand& band);
    void SetLanguage(int language);
    int Language() const { return m_language; }
    /// Header colours of the source shown.
    void SetHeaderColours(QColor background, QColor text);
    /// The table is as wide as its columns and as high as all its rows: layouts never
    /// hide a band behind a scroll bar.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int FullHeight() const;

signals:
    /// A cell of a band was edited: the type column gives the type number, the others text.
    void cellEdited(int row, int column, const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void FitToColumns();

    int m_language = 0;
    bool m_writing = false;
};

} // namespace kv
