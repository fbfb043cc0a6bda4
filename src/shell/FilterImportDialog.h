#pragma once

#include "protocol/FilterImport.h"
#include "protocol/FilterText.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace kv {

class FilterPreviewCurve;

/// The preview of a filter file on one equaliser: the response now and after the import on
/// one plot, the bands that will change, and every filter converted, clamped, rounded or
/// dropped. Apply writes the changed bands (and the channel gain) through the normal write
/// path as one undo step; Cancel changes nothing.
class FilterImportDialog : public QDialog {
    Q_OBJECT
public:
    FilterImportDialog(int kind, FilterFile file, const QString& fileName,
                       QWidget* parent = nullptr);

    const ImportPlan& Plan() const { return m_plan; }
    QTableWidget* BandTable() const { return m_bands; }
    QListWidget* Report() const { return m_report; }
    QCheckBox* KeepUnused() const { return m_keep; }
    QPushButton* ApplyButton() const { return m_apply; }
    QPushButton* CancelButton() const { return m_cancel; }
    FilterPreviewCurve* Curve() const { return m_curve; }

private:
    /// Plans the import from the image as it is now and shows it.
    void Replan();
    void Apply();

    int m_kind;
    FilterFile m_file;
    ImportPlan m_plan;
    QLabel* m_summary;
    FilterPreviewCurve* m_curve;
    QTableWidget* m_bands;
    QListWidget* m_report;
    QCheckBox* m_keep;
    QPushButton* m_apply;
    QPushButton* m_cancel;
};

/// "Import filters…": asks for a file, refuses what is no filter file with the reason, and
/// shows the preview for the equaliser. True when the import was applied.
bool ImportFilters(QWidget* parent, int kind);
/// "Export filters…": asks for a file and writes the equaliser's bands in the format. False
/// when cancelled or the file could not be written (the user was told why).
bool ExportFilters(QWidget* parent, int kind, ExportFormat format);

} // namespace kv
