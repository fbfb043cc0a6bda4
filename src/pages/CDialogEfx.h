#pragma once

#include "shell/IPage.h"

#include <QWidget>

class QLabel;
class QStackedWidget;

namespace kv {

class CEqPanel;
class CGdipButton;
class EqBandEditor;
class EqBandTable;
class EqSection;

/// The effects page (dialog 421): one of the four 7-band equalisers of the microphone effects
/// (reverb A, reverb B, echo A, echo B), with its curve panel, a band list that gives way to
/// the band editor while a band is selected, a picture naming the equaliser and a button back
/// to the main page.
class CDialogEfx : public QWidget, public IPage {
    Q_OBJECT
public:
    static constexpr int kDialog = 421;

    CDialogEfx(int selection, QWidget* parent = nullptr);

    // --- IPage ---------------------------------------------------------------------------
    PageKind Kind() const override { return PageKind::Effects; }
    QWidget* Widget() override { return this; }
    void SetPageArgument(int selection) override { SelectEq(selection); }
    void RefreshFromImage() override { LoadEq(); }
    void ApplyLanguage() override;
    bool HasEq() const override { return true; }
    int ShownEqKind() const override;
    bool IsEqBypassed() const override;
    void SelectBand(int band) override;
    void ToggleEqSwitch() override;
    void ResetEq() override;

    /// Shows another of the four equalisers (0 reverb A, 1 reverb B, 2 echo A, 3 echo B).
    void SelectEq(int selection);
    int Selection() const { return m_selection; }
    /// Loads the selection's bands into the panel and the list.
    void LoadEq();
    /// Back to the main page on the channel it last showed.
    void Back();

    CEqPanel* Panel() const { return m_panel; }
    EqBandTable* BandList() const { return m_list; }
    EqBandEditor* BandEditor() const { return m_editor; }
    QLabel* Picture() const { return m_picture; }
    CGdipButton* BackButton() const { return m_back; }
    /// True while the band editor is shown in place of the list.
    bool EditorShown() const;

private:
    void DrawPicture();
    /// Gives the band list and editor area the height of the taller of the two.
    void FitStack();

    int m_selection = 0;
    CEqPanel* m_panel;
    EqBandTable* m_list;
    EqBandEditor* m_editor;
    EqSection* m_eq;
    QStackedWidget* m_stack;
    QLabel* m_picture;
    CGdipButton* m_back;
};

} // namespace kv
