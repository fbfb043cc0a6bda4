#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace kv {

/// The about box (dialog 100): product and version; with a processor connected its model,
/// MCU, communication and DSP versions. Ctrl+Shift+F11 reveals the model line and the
/// hidden "Peak" option that enables the status poll.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 100;
    static constexpr int kModelId = 1005;
    static constexpr int kDspId = 1006;
    static constexpr int kMcuId = 1007;
    static constexpr int kPeakId = 1045;

    explicit CAboutDlg(QWidget* parent);

    QCheckBox* PeakBox() const { return m_peak; }
    QLabel* ModelLine() const { return m_model; }
    QLabel* McuLine() const { return m_mcu; }
    QLabel* DspLine() const { return m_dsp; }

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QLabel* m_model;
    QLabel* m_mcu;
    QLabel* m_dsp;
    QCheckBox* m_peak;
};

} // namespace kv
