#pragma once

#include "image/MainFields.h"

#include <QObject>

namespace kv {

class CEqPanel;
class EqBandEditor;
class EqBandTable;
struct EqPanelBand;

/// Which equaliser a page edits.
struct EqTarget {
    int kind;                     ///< curve panel kind (0 mic A, 1 mic B, 2..5 effects, 6 music)
    int group;                    ///< band record group
    int firstBand;                ///< record band of panel band 0
    int bands;                    ///< panel bands
    const MainField* switchField; ///< the equaliser switch (1 = bypassed)
    int switchEntry;
};

/// The equaliser of a page: curve panel, band table and band editor kept in step, each band
/// edit stored and sent with its biquad (one undo step, a drag merged), copy and paste
/// between pages, the switch and the reset.
class EqSection : public QObject {
    Q_OBJECT
public:
    EqSection(CEqPanel* panel, EqBandTable* table, EqBandEditor* editor, QObject* parent);

    void SetTarget(const EqTarget& target);
    const EqTarget& Target() const { return m_target; }
    /// Loads the bands of the target from the image into the panel, the table and the editor;
    /// the selection is cleared.
    void Load();
    /// Band k selected as with a digit key (nothing for k outside the panel's bands).
    void SelectBand(int band);
    int Selected() const { return m_selected; }
    void ClearSelection();

    bool Bypassed() const;
    /// The switch set to its opposite through its setter.
    void ToggleSwitch();
    /// The equaliser's reset (flat bands at its default frequencies), then Load.
    void Reset();
    void SetLanguage(int language);

    /// The equaliser kind the last copy remembered, shared by every page (-1: none).
    static int& CopiedKind();

    /// Applies a type, gain, frequency or Q to a band with the panel's rules, then sends it.
    void ApplyType(int band, int type);
    void ApplyGain(int band, double db);
    void ApplyFreq(int band, double hz);
    void ApplyQ(int band, double q);

signals:
    /// The selection changed (-1: none).
    void selectionChanged(int band);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowBand(int band);
    void Send(int band);
    void Pick(int band);
    void CopyPaste(int action, int kind);
    void OnCellEdited(int row, int column, const QString& text);

    CEqPanel* m_panel;
    EqBandTable* m_table;
    EqBandEditor* m_editor;
    EqTarget m_target{};
    int m_selected = -1;
};

} // namespace kv
