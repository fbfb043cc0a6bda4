#pragma once

#include "protocol/DeviceQueue.h"
#include "shell/IPage.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QRadioButton;
class QTableWidget;

namespace kv {

class CEqPanel;
class CGdipButton;
class CPeakMeterCtrl;
class CSmallEqPanel;
class CXBmpSlider;
class EqBandEditor;
class EqBandTable;
class EqSection;
class FieldBinder;
struct FieldBinding;
struct MainField;

/// The main page (dialog 313): microphone channel A, channel B or the music input, one at a
/// time, with its 10-band equaliser, the echo and reverb parameters of the channel in a table
/// sharing one slider, the microphone volumes, noise gates and routing, the music source's
/// level, the two effect equaliser thumbnails that open the effects page, six meters and the
/// incoming stream's format.
class CDialogMusic : public QWidget, public IPage {
    Q_OBJECT
public:
    static constexpr int kDialog = 313;
    static constexpr int kParamRows = 9;

    CDialogMusic(int source, QWidget* parent = nullptr);
    ~CDialogMusic() override;

    // --- IPage ---------------------------------------------------------------------------
    PageKind Kind() const override { return PageKind::Main; }
    QWidget* Widget() override { return this; }
    void SetPageArgument(int source) override;
    void RefreshFromImage() override;
    void ApplyLanguage() override;
    bool HasEq() const override { return true; }
    int ShownEqKind() const override;
    bool IsEqBypassed() const override;
    void SelectBand(int band) override;
    void ToggleEqSwitch() override;
    void ResetEq() override;

    int Source() const { return m_source; }
    /// Selects parameter row r (0..8): name, slider range and position, value text.
    void SelectRow(int row);
    int SelectedRow() const { return m_row; }
    /// Reads the status record: meters and stream format.
    void PollStatus();
    /// Shows a status record: meters and stream format.
    void ShowStatus(const StatusBytes& bytes);

    CEqPanel* Panel() const { return m_panel; }
    EqBandTable* BandTable() const { return m_bandTable; }
    EqBandEditor* BandEditor() const { return m_editor; }
    QTableWidget* ParamTable() const { return m_paramTable; }
    CXBmpSlider* ParamSlider() const { return m_paramSlider; }
    CSmallEqPanel* ReverbThumb() const { return m_reverbThumb; }
    CSmallEqPanel* EchoThumb() const { return m_echoThumb; }
    CPeakMeterCtrl* Meter(int control) const;
    QLabel* StreamFormat() const { return m_format; }
    FieldBinder* Binder() const { return m_binder; }

private:
    void Build();
    QWidget* BuildParameters();
    QWidget* BuildMicrophones();
    QWidget* BuildThumbs();
    QWidget* BuildMeters();
    void SetSource(int source);
    const FieldBinding& Row(int row) const;
    void ShowRow(int row);
    void ShowThumbs();
    void ShowSourceLevel();
    int SourceLevelIndex() const;
    void OpenEffects(bool reverb);

    int m_source = 0;
    int m_row = 0;
    FieldBinder* m_binder = nullptr;
    EqSection* m_eq = nullptr;
    CEqPanel* m_panel = nullptr;
    EqBandTable* m_bandTable = nullptr;
    EqBandEditor* m_editor = nullptr;
    QTableWidget* m_paramTable = nullptr;
    CXBmpSlider* m_paramSlider = nullptr;
    QLineEdit* m_paramValue = nullptr;
    QLabel* m_paramName = nullptr;
    std::array<CGdipButton*, 3> m_sources{};
    CSmallEqPanel* m_reverbThumb = nullptr;
    CSmallEqPanel* m_echoThumb = nullptr;
    std::array<CPeakMeterCtrl*, 6> m_meters{};
    QLabel* m_format = nullptr;
    CXBmpSlider* m_sourceLevel = nullptr;
    QLabel* m_sourceLevelText = nullptr;
    QLabel* m_sourceLevelName = nullptr;
};

} // namespace kv
