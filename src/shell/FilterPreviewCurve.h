#pragma once

#include "image/EqBand.h"

#include <QWidget>

#include <vector>

namespace kv {

/// The summed response of an equaliser's bands now and after an import, drawn on one plot
/// (20 Hz..20 kHz, logarithmic; -15..+15 dB), so the user sees what the import changes.
class FilterPreviewCurve : public QWidget {
    Q_OBJECT
public:
    explicit FilterPreviewCurve(QWidget* parent = nullptr);

    void SetCurves(const std::vector<EqBand>& current, const std::vector<EqBand>& imported);
    /// The summed response in dB at frequency hz (for tests and the read-out).
    static double SumDb(const std::vector<EqBand>& bands, double hz);

    QSize sizeHint() const override { return {520, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<EqBand> m_current;
    std::vector<EqBand> m_imported;
};

} // namespace kv
