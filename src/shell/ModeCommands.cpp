#include "shell/ModeCommands.h"

#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "shell/AppSettings.h"
#include "shell/AppState.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/UiServices.h"

#include "link/DebugLog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <memory>

namespace kv {

namespace {

constexpr int kNoticeMs = 1100;
constexpr int kStoringNoticeMs = 2500;
constexpr auto kStorePause = std::chrono::milliseconds(20);
constexpr auto kStoreMenuPause = std::chrono::milliseconds(500);
constexpr auto kStoreKeyPause = std::chrono::milliseconds(1500);

/// Hub byte of the volume save mode; 1 keeps the volumes with each mode.
constexpr std::size_t kVolumeSaveModeHubByte = 536;
constexpr int kVolumesByMode = 1;

constexpr std::array<const char*, 4> kLabelsZh = {"一", "二", "三", "四"};
constexpr std::array<const char*, 4> kLabelsEn = {"1", "2", "3", "4"};
constexpr std::array<const char*, 4> kModesZh = {"M1（电视）", "M2（电影）", "M3（K歌）",
                                                 "M4（音乐）"};
constexpr std::array<const char*, 4> kModesEn = {"M1（TV）", "M2（Movie）", "M3（Karaoke）",
                                                 "M4（Music）"};

int LimitMode(int m) {
    return std::clamp(m, 0, 3);
}

QString ModeLabel(int m) {
    const auto i = static_cast<std::size_t>(LimitMode(m));
    return Tr(kLabelsZh[i], kLabelsEn[i]);
}

QString ModeQuestion(int m) {
    return ModeLabel(m) + QLatin1Char('?');
}

void ConnectNotice() {
    ShowInfo(Tr("请先连接设备!", "Please connect device!"), kNoticeMs);
}

void ReportReadFailure(QWidget* parent, const ModeFileResult& result) {
    if (result.status == ModeFileStatus::UnsupportedVersion) {
        ShowMessage(parent, QStringLiteral("Mode file version not support!"),
                    QStringLiteral("Info"), BoxIcon::Information);
    } else {
        ShowMessage(parent, QString::fromStdString(ModeFileMessage(result)),
                    QStringLiteral("Can't write to file"), BoxIcon::Warning);
    }
}

/// A file of a known version that ended early loaded what it had; the user learns how much
/// was missing and which parts of the image kept their old values.
void ReportTruncatedLoad(QWidget* parent, const ModeFileResult& result) {
    QStringList parts;
    for (const KeptBytes& k : result.kept) {
        QString part = QString::fromLatin1(k.block);
        if (k.from > 0) {
            part += QStringLiteral(" %1..%2").arg(k.from).arg(k.to - 1);
        }
        parts << part;
    }
    ShowMessage(parent,
                Tr("文件少了%1字节，以下部分保留原值：\n%2",
                   "The file ends %1 bytes early; these parts kept their old values:\n%2")
                    .arg(result.missingBytes)
                    .arg(parts.join(QStringLiteral(", "))),
                QStringLiteral("Info"), BoxIcon::Warning);
}

/// What a load did, including what became of the microphone and music volumes: the
/// write-all sends them only when the processor keeps its volumes with each mode.
QString LoadedMessage(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (GetParamImage().HubByte(kVolumeSaveModeHubByte) == kVolumesByMode) {
        return Tr("已载入 %1 并发送到机器；话筒和音乐音量已按文件逐步调整",
                  "Loaded %1 into the processor; the microphone and music volumes were brought "
                  "up to the file's values")
            .arg(name);
    }
    return Tr("已载入 %1 并发送到机器；话筒和音乐音量保持机器原来的值",
              "Loaded %1 into the processor; the microphone and music volumes were kept as the "
              "processor had them")
        .arg(name);
}

/// Loads a mode file into the image and starts the write-all behind the synchronisation
/// dialog. Returns false when the file was refused.
bool LoadAndSend(QWidget* parent, const QString& path) {
    // The file is checked now, on a scratch image, and taken into the image only once the
    // write-all has its turn: a read-all still running cannot overwrite it.
    const std::string name = QFile::encodeName(path).toStdString();
    std::vector<std::uint8_t> bytes;
    ModeFileResult result = ReadModeFileBytes(name, bytes);
    if (result.ok()) {
        ParamImage trial;
        result = LoadModeFileBytes(bytes, trial);
        result.path = name;
    }
    if (!result.ok()) {
        ReportReadFailure(parent, result);
        return false;
    }
    if (result.truncated()) {
        ReportTruncatedLoad(parent, result);
    }
    auto load = [bytes = std::move(bytes)] { LoadModeFileBytes(bytes, GetParamImage()); };
    DebugWrite("Start thread:SynchronizeData\n");
    const int synchronised = AcceptedSynchronisations();
    if (ILinkReceiver* receiver = ViewReceiver()) {
        device::StartWriteAll(receiver, std::move(load));
    } else {
        load();
    }
    RunSyncDialog(QString());
    // Only a write-all that ended with the processor accepted counts as loaded.
    ShowStatusMessage(AcceptedSynchronisations() > synchronised
                          ? LoadedMessage(path)
                          : Tr("%1 已读入，但机器没有确认收到", "%1 was read, but the processor "
                                                                "did not confirm that it took it")
                                .arg(QFileInfo(path).fileName()));
    return true;
}

} // namespace

QString ModeName(int language, int m) {
    const auto i = static_cast<std::size_t>(LimitMode(m));
    return TrFor(language, kModesZh[i], kModesEn[i]);
}

void RecallMode(int m) {
    g_nCurrentMode.store(LimitMode(m));
    device::SendCommand({5, g_nCurrentMode.load()});
}

bool StoreMode(int m, std::function<void(bool)> onAnswer) {
    g_nCurrentMode.store(LimitMode(m));
    const bool queued = device::SendCommandInTurn(
        {4, g_nCurrentMode.load()}, [onAnswer = std::move(onAnswer)](bool stored) {
            if (QCoreApplication* app = QCoreApplication::instance()) {
                QMetaObject::invokeMethod(
                    app, [onAnswer, stored] { onAnswer(stored); }, Qt::QueuedConnection);
            }
        });
    if (queued) {
        g_bParamChanged.store(0);
    }
    return queued;
}

void StoreModeAfterLoad(int m) {
    g_nCurrentMode.store(LimitMode(m));
    device::SendCommand({3, g_nCurrentMode.load()});
    device::PauseWrites(kStorePause);
    device::SendCommand({4, g_nCurrentMode.load()});
}

void RecallFactoryMode(int m) {
    if (!device::IsConnected()) {
        return;
    }
    g_nCurrentMode.store(LimitMode(m));
    device::SendCommand({6, g_nCurrentMode.load()});
    RunSyncDialog(QString());
}

void RecallModeCommand(QWidget* parent, int m) {
    if (!device::IsConnected()) {
        return;
    }
    if (g_bParamChanged.load() &&
        !AskYesNo(parent,
                  Tr("参数已更改，确定要直接载入模式", "Setting changed ! Are you sure load mode") +
                      ModeQuestion(m),
                  Tr("信息", "Information"))) {
        return;
    }
    const int synchronised = AcceptedSynchronisations();
    RecallMode(m);
    RunSyncDialog(QString());
    if (AcceptedSynchronisations() > synchronised) {
        ShowStatusMessage(Tr("已调用机器模式 %1", "Recalled mode %1 from the processor")
                              .arg(ModeName(LanguageIndex(), m)));
    }
}

void StoreModeCommand(QWidget* parent, int m, bool fromKey) {
    if (!device::IsConnected()) {
        return;
    }
    if (!AskYesNo(parent, Tr("确定要保存至机器模式", "Save to machine mode ") + ModeQuestion(m),
                  Tr("信息", "Information"))) {
        return;
    }
    // The window goes on at once; the status line says what happened once the processor
    // answered. The store takes every setting queued before it.
    const int changed = g_bParamChanged.load();
    const QString name = ModeName(LanguageIndex(), LimitMode(m));
    const auto reportStore = [name, changed](bool stored) {
        if (stored) {
            ShowStatusMessage(
                Tr("已保存至机器模式 %1", "Stored the current setting as mode %1").arg(name));
            return;
        }
        // The processor did not take the store: the changes still count as unsaved.
        if (changed) {
            g_bParamChanged.store(1);
        }
        ShowStatusMessage(Tr("未能保存至机器模式 %1：命令没有送达", "Mode %1 was not stored: "
                                                                    "the command did not reach "
                                                                    "the processor")
                              .arg(name));
    };
    if (!StoreMode(m, reportStore)) {
        reportStore(false);
        return;
    }
    // While the processor stores, the window's next commands wait in the queue; the window
    // itself goes on. From the menu the notice comes after the pause, from a key before it.
    const QString notice = Tr("正在储存模式%1,请稍等", "Saving Mode %1 ……").arg(ModeLabel(m));
    if (fromKey) {
        ShowInfo(notice, kStoringNoticeMs);
        device::PauseWrites(kStoreKeyPause);
    } else {
        device::PauseWrites(kStoreMenuPause);
        QTimer::singleShot(kStoreMenuPause, qApp, [notice] { ShowInfo(notice, kStoringNoticeMs); });
    }
}

int FileModeSlot(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const auto dot = name.lastIndexOf(QLatin1Char('.'));
    QString title = dot > 0 ? name.left(dot) : name;
    title = title.toLower();
    for (int m = 0; m < 4; ++m) {
        if (title.startsWith(QStringLiteral("m%1").arg(m + 1))) {
            return m;
        }
    }
    return -1;
}

void OpenModeFile(QWidget* parent) {
    if (!device::IsConnected()) {
        ConnectNotice();
        return;
    }
    const QString path = FileChooser().OpenFile(parent, ModeFileFilter());
    if (path.isEmpty()) {
        return;
    }
    GetAppState().fileModeSlot = FileModeSlot(path);
    if (LoadAndSend(parent, path)) {
        Settings().AddRecentFile(path);
    }
}

bool StoreAndWriteModeFile(QWidget* parent, const QString& path) {
    const int m = g_nCurrentMode.load();
    const int changed = g_bParamChanged.load();
    const QString name = QFileInfo(path).fileName();
    const QString mode = ModeName(LanguageIndex(), LimitMode(m));
    // The store's answer comes after the file was written (or refused); it is reported only
    // with a written file.
    auto written = std::make_shared<bool>(false);
    const auto reportStore = [written, name, mode](bool stored) {
        if (!*written) {
            return;
        }
        ShowStatusMessage(stored ? Tr("已保存 %1，并保存至机器模式 %2",
                                      "Saved %1 and stored the setting as mode %2")
                                       .arg(name, mode)
                                 : Tr("已保存 %1，但机器模式 %2 未保存：命令没有送达",
                                      "Saved %1, but mode %2 was not stored: the command did "
                                      "not reach the processor")
                                       .arg(name, mode));
    };
    // The processor stores its mode only once the file is known to be writable.
    ModeFileSave save(QFile::encodeName(path).toStdString());
    ModeFileResult result = save.Prepared();
    bool queued = false;
    if (result.ok()) {
        queued = StoreMode(m, reportStore);
        result = save.Write(GetParamImage());
    }
    if (!result.ok()) {
        // Without the file the changes still count as unsaved, so closing asks again.
        g_bParamChanged.store(changed);
        ShowMessage(parent, QString::fromStdString(ModeFileMessage(result)),
                    QStringLiteral("Can't write to file"), BoxIcon::Warning);
        return false;
    }
    *written = true;
    ShowStatusMessage(
        queued ? Tr("已保存 %1，正在保存至机器模式 %2", "Saved %1, storing the setting as mode %2")
                     .arg(name, mode)
               : Tr("已保存 %1（机器未连接，模式未保存）",
                    "Saved %1 (the processor is not connected: no mode stored)")
                     .arg(name));
    return true;
}

void SaveModeFile(QWidget* parent) {
    if (!device::IsConnected()) {
        ConnectNotice();
        return;
    }
    const QString path = FileChooser().SaveFile(parent, ProposedModeFileName(),
                                                QStringLiteral("amod"), ModeFileFilter());
    if (path.isEmpty()) {
        return;
    }
    if (StoreAndWriteModeFile(parent, path)) {
        Settings().AddRecentFile(path);
    }
}

QString ProposedModeFileName() {
    const int m = LimitMode(g_nCurrentMode.load());
    QString name = QString::fromStdU16String(GetParamImage().ModeName(m));
    // The name comes from the processor: keep letters, digits and a few harmless marks.
    name.removeIf([](QChar c) {
        return !(c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-') ||
                 c == QLatin1Char('_') || c == QLatin1Char('(') || c == QLatin1Char(')'));
    });
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("M%1").arg(m + 1) : name;
}

bool OpenRecentModeFile(QWidget* parent, const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        ShowMessage(nullptr, QStringLiteral("文件不存在！"), QStringLiteral("文件打开错误"),
                    BoxIcon::Information);
        return false;
    }
    if (info.suffix().compare(QLatin1String("amod"), Qt::CaseInsensitive) != 0) {
        return false;
    }
    if (device::IsConnected()) {
        LoadAndSend(parent, path);
    }
    return true;
}

} // namespace kv
