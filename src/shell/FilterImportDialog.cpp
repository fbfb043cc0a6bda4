#include "shell/FilterImportDialog.h"

#include "image/AtomicFile.h"
#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "pages/EditHistory.h"
#include "protocol/Equaliser.h"
#include "protocol/FilterApply.h"
#include "shell/FilterPreviewCurve.h"
#include "shell/Language.h"
#include "shell/UiServices.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstring>

namespace kv {

namespace {

constexpr const char* kTypeNames[] = {"off", "PEQ", "LP", "HP", "LS", "HS"};

QString BandText(const EqBand& b) {
    const QString type = b.type >= 0 && b.type <= kFilterHighShelf
                             ? QString::fromLatin1(kTypeNames[b.type])
                             : Tr("分频", "crossover");
    return QStringLiteral("%1  %2dB  %3Hz  Q %4")
        .arg(type)
        .arg(b.gainDb, 0, 'f', 1)
        .arg(b.freqHz, 0, 'f', 0)
        .arg(b.q, 0, 'f', 3);
}

QString ActionText(ImportAction a) {
    switch (a) {
    case ImportAction::Converted:
        return Tr("已换算", "converted");
    case ImportAction::Clamped:
        return Tr("已限幅", "clamped");
    case ImportAction::Rounded:
        return Tr("已取整", "rounded");
    case ImportAction::Dropped:
        return Tr("未导入", "dropped");
    case ImportAction::Ignored:
        return Tr("已忽略", "ignored");
    case ImportAction::Kept:
        return Tr("保留", "kept");
    case ImportAction::Flattened:
        return Tr("置平", "set flat");
    }
    return {};
}

bool IsOutputKind(int kind) {
    return kind >= kFirstOutputEqKind && kind < kFirstOutputEqKind + kOutputChannels;
}

} // namespace

FilterImportDialog::FilterImportDialog(int kind, FilterFile file, const QString& fileName,
                                       QWidget* parent)
    : QDialog(parent), m_kind(kind), m_file(std::move(file)), m_summary(new QLabel(this)),
      m_curve(new FilterPreviewCurve(this)), m_bands(new QTableWidget(0, 3, this)),
      m_report(new QListWidget(this)), m_keep(new QCheckBox(this)) {
    setObjectName(QStringLiteral("filterImportDialog"));
    setWindowTitle(Tr("导入滤波器 - %1", "Import filters - %1")
                       .arg(QString::fromStdString(EqKindName(kind))));
    m_summary->setObjectName(QStringLiteral("importSummary"));
    m_summary->setWordWrap(true);
    m_summary->setProperty("fileName", fileName);
    m_bands->setObjectName(QStringLiteral("importBands"));
    m_bands->setHorizontalHeaderLabels(
        {Tr("频段", "Band"), Tr("当前", "Current"), Tr("导入后", "Imported")});
    m_bands->verticalHeader()->hide();
    m_bands->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_bands->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_bands->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_report->setObjectName(QStringLiteral("importReport"));
    m_keep->setObjectName(QStringLiteral("keepUnused"));
    m_keep->setText(Tr("保留文件未占用的频段", "Keep the bands the file does not fill"));
    auto* buttons = new QDialogButtonBox(this);
    m_apply = buttons->addButton(Tr("应用", "Apply"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(Tr("取消", "Cancel"), QDialogButtonBox::RejectRole);
    m_apply->setObjectName(QStringLiteral("applyImport"));
    m_cancel->setObjectName(QStringLiteral("cancelImport"));
    connect(m_apply, &QPushButton::clicked, this, &FilterImportDialog::Apply);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_keep, &QCheckBox::toggled, this, &FilterImportDialog::Replan);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_summary);
    column->addWidget(m_curve, 2);
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_bands, 3);
    lists->addWidget(m_report, 2);
    column->addLayout(lists, 1);
    column->addWidget(m_keep);
    column->addWidget(buttons);
    resize(960, 580);
    Replan();
}

void FilterImportDialog::Replan() {
    m_plan = PlanImport(m_file, ImportTargetFromImage(GetParamImage(), m_kind), m_keep->isChecked());
    const QString file = QFileInfo(m_summary->property("fileName").toString()).fileName();
    const QString target = QString::fromStdString(EqKindName(m_kind));
    QString summary = m_plan.imported > 0
                          ? Tr("%1：%2 个滤波器导入到 %3", "%1: %2 filters onto %3")
                                .arg(file)
                                .arg(m_plan.imported)
                                .arg(target)
                          : Tr("%1：没有可导入到 %2 的滤波器", "%1: no filter can be imported onto %2")
                                .arg(file, target);
    if (m_plan.gainAfter && m_plan.gainAfter != m_plan.gainBefore) {
        summary += Tr("；通道增益 %1% → %2%", "; channel gain %1 % -> %2 %")
                       .arg(*m_plan.gainBefore)
                       .arg(*m_plan.gainAfter);
    }
    m_summary->setText(summary);
    m_curve->SetCurves(m_plan.before, m_plan.after);

    const auto changed = m_plan.ChangedBands();
    m_bands->setRowCount(static_cast<int>(changed.size()));
    for (int row = 0; row < static_cast<int>(changed.size()); ++row) {
        const auto b = static_cast<std::size_t>(changed[std::size_t(row)]);
        m_bands->setItem(row, 0, new QTableWidgetItem(QString::number(b + 1)));
        m_bands->setItem(row, 1, new QTableWidgetItem(BandText(m_plan.before[b])));
        m_bands->setItem(row, 2, new QTableWidgetItem(BandText(m_plan.after[b])));
    }
    m_report->clear();
    for (const auto& n : m_plan.notes) {
        m_report->addItem(QStringLiteral("%1 — %2: %3")
                              .arg(QString::fromStdString(n.subject), ActionText(n.action),
                                   QString::fromStdString(n.text)));
    }
    m_apply->setEnabled(m_plan.imported > 0);
}

void FilterImportDialog::Apply() {
    const auto k = EqKind(m_kind);
    if (!k || m_plan.imported == 0) {
        return;
    }
    {
        EditScope step;
        for (int b : m_plan.ChangedBands()) {
            EditBand(k->group, k->firstBand + b, m_plan.after[static_cast<std::size_t>(b)]);
        }
        if (m_plan.gainAfter && m_plan.gainAfter != m_plan.gainBefore && IsOutputKind(m_kind)) {
            EditField(fields::outGain, m_kind - kFirstOutputEqKind, *m_plan.gainAfter);
        }
    }
    accept();
}

bool ImportFilters(QWidget* parent, int kind) {
    const QString path = FileChooser().OpenFile(
        parent, Tr("滤波器文件 (*.txt *.cfg);;所有文件 (*)", "Filter files (*.txt *.cfg);;All files (*)"));
    if (path.isEmpty()) {
        return false;
    }
    const FilterFileResult r = ReadFilterFile(path.toStdString());
    if (!r.ok()) {
        ShowMessage(parent,
                    Tr("无法导入 %1：%2", "Cannot import %1: %2")
                        .arg(QFileInfo(path).fileName(), QString::fromStdString(r.error)),
                    QStringLiteral("提示"), BoxIcon::Warning);
        return false;
    }
    FilterImportDialog dialog(kind, *r.file, path, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool ExportFilters(QWidget* parent, int kind, ExportFormat format) {
    const QString name = QString::fromStdString(EqKindName(kind)) +
                         (format == ExportFormat::Rew ? QStringLiteral("-rew") : QString());
    const QString path = FileChooser().SaveFile(
        parent, name, QStringLiteral("txt"),
        format == ExportFormat::Rew ? Tr("REW 滤波器设置 (*.txt)", "REW filter settings (*.txt)")
                                    : Tr("Equalizer APO 配置 (*.txt)", "Equalizer APO configuration (*.txt)"));
    if (path.isEmpty()) {
        return false;
    }
    std::vector<std::string> skipped;
    const std::string text =
        ExportFilterText(ImportTargetFromImage(GetParamImage(), kind), format, skipped);
    AtomicFileWriter writer(path.toStdString());
    const int error =
        writer.Commit(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (error != 0) {
        ShowMessage(parent,
                    Tr("无法写入 %1：%2", "Cannot write %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(error))),
                    QStringLiteral("提示"), BoxIcon::Warning);
        return false;
    }
    return true;
}

} // namespace kv
