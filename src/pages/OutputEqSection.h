#pragma once

#include <QObject>

#include <array>

class QComboBox;
class QLabel;
class QWidget;

namespace kv {

class CEqPanel;
class EqBandEditor;
class EqBandTable;

/// The equaliser of the output page: bands 0..8, the crossover band 9 with its hidden
/// sections 10..12 and slope, on the curve panel, the band list and the band editor. Every
/// band edit is written to the current channel and to the channel linked to it; the crossover
/// writes all four of its sections.
class OutputEqSection : public QObject {
    Q_OBJECT
public:
    static constexpr int kBands = 13;
    static constexpr int kListRows = 10;
    static constexpr int kCrossoverBand = 9;

    OutputEqSection(CEqPanel* panel, EqBandTable* table, EqBandEditor* editor, QComboBox* slope,
                    QLabel* slopeLabel, QObject* parent);

    void SetChannel(int channel);
    int Channel() const { return m_channel; }
    void SetLanguage(int language);

    /// Loads bands 0..12 of the channel into the panel and the list; the list is shown.
    void Load();
    /// Selects band k as a digit key does (without sending).
    void SelectBand(int band);
    int Selected() const { return m_selected; }
    void Deselect();

    bool Bypassed() const;
    /// The equaliser switch set to its opposite on the channel and its linked partner.
    void ToggleSwitch();
    /// Flat bands on the channel and its linked partner, then Load.
    void Reset();

    /// Writes band b (the crossover: bands 9..12) to every linked channel.
    void SendBand(int band);
    /// The type change of the radio buttons and the list's type column.
    void ChangeBandType(int band, int type);
    /// The slope combo's choice for the list's selected band.
    void ChooseSlope(int slope);

signals:
    /// The band list or the band editor is to be shown.
    void editorShown(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnBandChanged(int band, bool send);
    void ShowBand(int band);
    /// The type column of row b; for the crossover its family, with the slope combo set.
    /// Returns the family when band b is a low- or high-pass crossover, else 0.
    int ShowTypeColumn(int band);
    void SetSlopeShown(bool shown);
    void OnCellEdited(int row, int column, const QString& text);
    void OnRowClicked(int row);
    void CopyPaste(int action, int kind);
    void ApplyEdit(int band);

    CEqPanel* m_panel;
    EqBandTable* m_table;
    EqBandEditor* m_editor;
    QComboBox* m_slope;
    QLabel* m_slopeLabel;
    int m_channel = 0;
    int m_selected = -1;
    int m_language = 0;
};

} // namespace kv
